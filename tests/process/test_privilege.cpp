// Privileges, the working set and locked pages on the real system. On Linux the kernel's own reports
// are the reference, and a child that dropped a capability shows the refusals; on Windows (and wine)
// the account decides, and each result must come with exactly the messages that belong to it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "OS/os.h"
#include "OS/userBuffer.h"
#include "VyrUtility.h"
#include "child_process.h"
#include "log_capture.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <fstream>
#include <linux/capability.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

using Lines = std::vector<std::string>;

std::string policy(const char* verb, const std::string& name)
{
    return "VyrUtilAdjustProcessPrivilege => Cannot " + std::string(verb) + " \"" + name +
           "\" privilege, please check the local policy";
}
const std::string kLockPolicy = policy("enable", "SeLockMemoryPrivilege");
const std::string kQuotaPolicy = policy("enable", "SeIncreaseQuotaPrivilege");

using RealSystem = LogCapture;

#if defined(_WIN32)

// Whatever the account holds: 1 and silence, or 0 and the policy message.
TEST_F(RealSystem, EachPrivilegeResultComesWithItsMessage)
{
    for (const char* name : {"SeLockMemoryPrivilege", "SeIncreaseQuotaPrivilege", "SeChangeNotifyPrivilege"}) {
        for (uint32_t enable : {1u, 0u}) {
            const size_t before = texts().size();
            const bool held = VyrUtilAdjustProcessPrivilege(name, enable) == 1;
            const Lines all = texts();
            EXPECT_EQ(held ? Lines() : Lines({policy(enable ? "enable" : "disable", name)}),
                      Lines(all.begin() + std::ptrdiff_t(before), all.end()));
        }
    }
    EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("SeChangeNotifyPrivilege", 1)); // every account, enabled
    const bool quota = VyrUtilAdjustProcessPrivilege("SeIncreaseQuotaPrivilege", 1) == 1;
    EXPECT_EQ(quota, VyrUtilAdjustProcessWorkingSet(16u << 20, 64u << 20) != 0);
}

// Wine may have no physical pages; Windows needs the lock-memory privilege in the account.
TEST_F(RealSystem, LockedPagesOrTheirRefusal)
{
    uint64_t size = 10000;
    UserBuffer* b = nullptr;
    if (!VyrUtilAllocUserBuffer(&size, &b)) {
        const Lines got = texts();
        const bool known = got == Lines({"VyrUtilAllocUserBuffer=> Not available"}) || got == Lines({kLockPolicy}) ||
                           (got.size() == 2 &&
                            got[0] == "VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 3 pages ==> 0 MBytes)" &&
                            got[1].rfind("VyrUtilAllocUserBuffer => lastError: 0x", 0) == 0);
        EXPECT_TRUE(known) << (got.empty() ? "(no message)" : got[0]);
        EXPECT_EQ(nullptr, b);
        return;
    }
    UserBufferMap *whole = nullptr, *part = nullptr;
    auto* all = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 0, size, &whole));
    auto* some = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 5000 % size, 10, &part));
    ASSERT_TRUE(all && some);
    some[0] = 0x5A;
    EXPECT_EQ(0x5A, all[5000 % size]);
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(whole));
    EXPECT_EQ(1u, VyrUtilFreeUserBuffer(b));
}

#else

// A field of /proc/self/status (capability sets in hex, amounts in kB).
uint64_t status(const std::string& key, int base)
{
    std::ifstream in("/proc/self/status");
    std::string word;
    while (in >> word) {
        if (word == key + ":" && in >> word)
            return std::stoull(word, nullptr, base);
    }
    return 0;
}
bool has(const char* set, int capability) { return (status(set, 16) >> capability) & 1; }

bool dropCapability(int capability) // from the permitted and effective sets
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[capability / 32].permitted &= ~(1u << (capability % 32));
    data[capability / 32].effective &= ~(1u << (capability % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

// Frame numbers of the pages mapped at address, as the kernel reports them (0 where it hides them).
std::vector<uint64_t> framesAt(const void* address, size_t pages)
{
    std::vector<uint64_t> entries(pages);
    const int fd = open("/proc/self/pagemap", O_RDONLY);
    if (pread(fd, entries.data(), pages * 8, off_t(uintptr_t(address) / 4096 * 8)) != ssize_t(pages * 8))
        entries.assign(pages, 0);
    close(fd);
    for (uint64_t& e : entries)
        e = (e >> 63) ? e & ((1ull << 55) - 1) : 0;
    return entries;
}

// Whether the kernel shows this process frame numbers for its own addresses (an emulator's guest
// addresses are not the kernel's): a new page has none until it is touched, and then one.
bool frameNumbersVisible()
{
    auto* page = static_cast<uint8_t*>(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    const uint64_t untouched = framesAt(page, 1)[0];
    *static_cast<volatile uint8_t*>(page) = 1;
    const uint64_t touched = framesAt(page, 1)[0];
    munmap(page, 4096);
    return untouched == 0 && touched != 0;
}

// Answers "<result>|<log line>|..." for each command.
VYR_CHILD_MAIN(system)
{
    collectChildLog();
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb, name;
        uint64_t a = 0, b = 0;
        in >> verb >> a;
        std::string out;
        if (verb == "drop") {
            out = dropCapability(int(a)) ? "1" : "0";
        } else if (verb == "adjust") { // adjust <enable> <name>
            in >> name;
            out = std::to_string(VyrUtilAdjustProcessPrivilege(name.c_str(), uint32_t(a)));
        } else if (verb == "effective") {
            out = has("CapEff", int(a)) ? "1" : "0";
        } else if (verb == "workingset" && in >> b) {
            out = std::to_string(VyrUtilAdjustProcessWorkingSet(uint32_t(a), uint32_t(b)));
        } else if (verb == "setlimit" && in >> b) { // the platform's step alone
            uint32_t error = 0;
            out = std::to_string(os::platform().setWorkingSet(a, b, &error));
            out += " " + std::to_string(error);
        } else if (verb == "limit") {
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            out = std::to_string(limit.rlim_cur) + " " + std::to_string(limit.rlim_max);
        }
        replyLogged(out);
    }
    return 0;
}

TEST_F(RealSystem, CapabilitiesHeldAndDroppedInAChild)
{
    ChildProcess child("system");
    const auto ask = [&](const std::string& command) { return child.request(command).value_or("none"); };
    const std::string lock = std::to_string(CAP_IPC_LOCK), resource = std::to_string(CAP_SYS_RESOURCE);
    if (has("CapPrm", CAP_IPC_LOCK)) {
        EXPECT_EQ("1", ask("adjust 0 SeLockMemoryPrivilege"));
        EXPECT_EQ("0", ask("effective " + lock));
        EXPECT_EQ("1", ask("adjust 1 selockmemoryprivilege")); // names ignore case
        EXPECT_EQ("1", ask("effective " + lock));
    }
    if (has("CapPrm", CAP_SYS_RESOURCE)) { // the sizes become the locked-memory limits
        EXPECT_EQ("1", ask("workingset 1048576 2097152"));
        EXPECT_EQ("1048576 2097152", ask("limit"));
    }
    ASSERT_EQ("1", ask("drop " + lock));
    EXPECT_EQ("0|" + kLockPolicy, ask("adjust 1 SeLockMemoryPrivilege"));
    EXPECT_EQ("0", ask("effective " + lock));
    EXPECT_EQ("1", ask("adjust 0 SeLockMemoryPrivilege")); // disabling what is not held
    ASSERT_EQ("1", ask("drop " + resource));
    const std::string before = ask("limit");
    EXPECT_EQ("0|" + kQuotaPolicy, ask("workingset 8192 16384"));
    EXPECT_EQ(before, ask("limit")); // not tried
    // Within the hard limit the platform's step needs no capability.
    const unsigned long long hard = std::stoull(before.substr(before.find(' ') + 1));
    const std::string lower = std::to_string(std::min(hard, 1ull << 20) / 2) + " " + std::to_string(hard);
    EXPECT_EQ("1 0", ask("setlimit " + lower));
    EXPECT_EQ(lower, ask("limit"));
    EXPECT_EQ("0 22", ask("setlimit 8192 4096")); // EINVAL: minimum above maximum
}

TEST_F(RealSystem, LockedPages)
{
    ASSERT_EQ(4096, sysconf(_SC_PAGESIZE));
    const uint64_t lockedBefore = status("VmLck", 10);
    uint64_t size = 10000;
    UserBuffer* b = nullptr;
    if (!frameNumbersVisible()) { // no page may be handed out without its frame number
        EXPECT_EQ(0u, VyrUtilAllocUserBuffer(&size, &b));
        EXPECT_EQ(Lines({"VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 3 pages ==> 0 MBytes)",
                         "VyrUtilAllocUserBuffer => lastError: 0x1"}),
                  texts());
        GTEST_SKIP() << "frame numbers are hidden here; the refusal was checked";
    }
    ASSERT_EQ(1u, VyrUtilAllocUserBuffer(&size, &b));
    ASSERT_EQ(3u, b->numberOfPages);
    EXPECT_EQ(lockedBefore + 12, status("VmLck", 10));
    UserBufferMap *whole = nullptr, *part = nullptr;
    auto* all = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 0, 10000, &whole));
    ASSERT_NE(nullptr, all);
    EXPECT_EQ(framesAt(all, 3), std::vector<uint64_t>(b->pfnArray, b->pfnArray + 3));
    // Into a range of the caller's: the same memory.
    void* range = mmap(nullptr, 3 * 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, range);
    auto* some = static_cast<uint8_t*>(VyrUtilMapUserBufferEx(b, 5000, 4000, range, &part));
    ASSERT_EQ(static_cast<uint8_t*>(range) + 904, some);
    for (int i = 0; i < 4000; ++i)
        some[i] = uint8_t(i * 7 + 1);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(uint8_t(i * 7 + 1), all[5000 + i]) << i;
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    munmap(range, 3 * 4096);
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(whole));
    EXPECT_EQ(1u, VyrUtilFreeUserBuffer(b));
    EXPECT_EQ(lockedBefore, status("VmLck", 10));
    EXPECT_TRUE(texts().empty());
}

#endif

} // namespace
} // namespace vyr::test
