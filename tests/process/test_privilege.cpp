// Privileges, the working set and locked pages on the real system. On Linux the kernel's own reports
// are the reference (capability sets, pagemap frame numbers, the locked amount, the address space),
// and a child that dropped a capability shows the refusals. On Windows (and wine) the account
// decides: each result must come with exactly the messages that belong to it.
#include <gtest/gtest.h>

#include <algorithm>
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

class RealSystem : public LogCapture {
protected:
    Lines since(size_t before) const
    {
        const Lines all = texts();
        return Lines(all.begin() + std::ptrdiff_t(before), all.end());
    }
};

TEST_F(RealSystem, UnknownPrivilegeName) // the platform's lookup refuses it (null is refused before)
{
    EXPECT_EQ(0u, VyrUtilAdjustProcessPrivilege("SeNoSuchPrivilege", 1));
    EXPECT_EQ(Lines({"VyrUtilAdjustProcessPrivilege => Cannot get privilege value for SeNoSuchPrivilege"}),
              texts());
}

#if defined(_WIN32)

// Whatever the account holds: 1 and silence, or 0 and the policy message.
TEST_F(RealSystem, EachPrivilegeResultComesWithItsMessage)
{
    for (const char* name : {"SeLockMemoryPrivilege", "SeIncreaseQuotaPrivilege", "SeChangeNotifyPrivilege"}) {
        for (uint32_t enable : {1u, 0u}) {
            const size_t before = texts().size();
            const bool held = VyrUtilAdjustProcessPrivilege(name, enable) == 1;
            EXPECT_EQ(held ? Lines() : Lines({policy(enable ? "enable" : "disable", name)}), since(before));
        }
    }
    EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("SeChangeNotifyPrivilege", 1)); // every account, enabled
    const bool quota = VyrUtilAdjustProcessPrivilege("SeIncreaseQuotaPrivilege", 1) == 1;
    const size_t before = texts().size();
    EXPECT_EQ(quota, VyrUtilAdjustProcessWorkingSet(16u << 20, 64u << 20) != 0);
    EXPECT_EQ(quota ? Lines() : Lines({kQuotaPolicy}), since(before));
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
        EXPECT_EQ(10000u, size);
        return;
    }
    EXPECT_TRUE(size == 10000 || size == 8192 || size == 4096) << size;
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
long lockedKilobytes() { return long(status("VmLck", 10)); }

bool dropCapability(int capability, bool permittedToo)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    if (permittedToo)
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

bool stillReserved(void* address, size_t bytes)
{
    void* p = mmap(address, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p != MAP_FAILED)
        munmap(p, bytes);
    return p == MAP_FAILED && errno == EEXIST;
}

// Answers "<result>|<log line>|..." for each command.
VYR_CHILD_MAIN(system)
{
    collectChildLog();
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb, name;
        uint64_t a = 0, b = 0;
        in >> verb;
        std::string out;
        if (verb == "drop" || verb == "lower") { // from every set, or from the effective one
            in >> a;
            out = dropCapability(int(a), verb == "drop") ? "1" : "0";
        } else if (verb == "adjust") {
            in >> name >> a;
            out = std::to_string(VyrUtilAdjustProcessPrivilege(name.c_str(), uint32_t(a)));
        } else if (verb == "effective") {
            in >> a;
            out = has("CapEff", int(a)) ? "1" : "0";
        } else if (verb == "workingset") {
            in >> a >> b;
            out = std::to_string(VyrUtilAdjustProcessWorkingSet(uint32_t(a), uint32_t(b)));
        } else if (verb == "setlimit") { // the platform's step alone
            in >> a >> b;
            uint32_t error = 0;
            const int32_t r = os::platform().setWorkingSet(a, b, &error);
            out = std::to_string(r) + " " + std::to_string(error);
        } else if (verb == "limit") {
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            out = std::to_string(limit.rlim_cur) + " " + std::to_string(limit.rlim_max);
        } else if (verb == "lockable") { // locked memory this process may add, in pages
            in >> a;
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            limit.rlim_cur = rlim_t(lockedKilobytes() * 1024 + long(a) * 4096);
            out = setrlimit(RLIMIT_MEMLOCK, &limit) == 0 ? "1" : std::to_string(errno);
        } else if (verb == "platform") { // the platform's page allocation alone
            in >> a;
            std::vector<os::FrameNumber> frames(a);
            uintptr_t count = a;
            uint32_t error = 0;
            const int32_t r = os::platform().allocatePhysicalPages(&count, frames.data(), &error);
            out = std::to_string(r) + " " + std::to_string(r ? count : error);
            if (r)
                os::platform().freePhysicalPages(&count, frames.data(), &error);
        } else if (verb == "alloc") {
            in >> a;
            UserBuffer* buffer = nullptr;
            const uint32_t r = VyrUtilAllocUserBuffer(&a, &buffer);
            out = std::to_string(r) + " " + std::to_string(a);
            if (r)
                VyrUtilFreeUserBuffer(buffer);
        }
        replyLogged(out);
    }
    return 0;
}

std::string ask(ChildProcess& child, const std::string& command) { return child.request(command).value_or("none"); }
std::string cap(const char* verb, int capability) { return std::string(verb) + " " + std::to_string(capability); }

TEST_F(RealSystem, LockMemoryFollowsThePermittedCapability)
{
    const bool wasEffective = has("CapEff", CAP_IPC_LOCK);
    const char* name = "SeLockMemoryPrivilege";
    if (has("CapPrm", CAP_IPC_LOCK)) {
        EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege(name, 0));
        EXPECT_FALSE(has("CapEff", CAP_IPC_LOCK));
        EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("selockmemoryprivilege", 1)); // names ignore case
        EXPECT_TRUE(has("CapEff", CAP_IPC_LOCK));
        EXPECT_TRUE(texts().empty());
    } else {
        EXPECT_EQ(0u, VyrUtilAdjustProcessPrivilege(name, 1));
        EXPECT_EQ(Lines({kLockPolicy}), texts());
    }
    VyrUtilAdjustProcessPrivilege(name, wasEffective);
}

TEST_F(RealSystem, ChildWithoutTheCapabilitiesGetsThePolicyMessages)
{
    ChildProcess child("system");
    ASSERT_EQ("1", ask(child, cap("drop", CAP_IPC_LOCK)));
    EXPECT_EQ("0|" + kLockPolicy, ask(child, "adjust SeLockMemoryPrivilege 1"));
    EXPECT_EQ("0", ask(child, cap("effective", CAP_IPC_LOCK)));
    EXPECT_EQ("1", ask(child, "adjust SeLockMemoryPrivilege 0")); // disabling what is not held
    const std::string before = ask(child, "limit");
    if (has("CapPrm", CAP_SYS_RESOURCE)) {
        EXPECT_EQ("1", ask(child, "workingset 1048576 2097152"));
        EXPECT_EQ("1048576 2097152", ask(child, "limit"));
        EXPECT_EQ("0|VyrUtilAdjustWorkingSet => Cannot change size of working set (lastError: 0x16 min: 8192 "
                  "max: 4096 )",
                  ask(child, "workingset 8192 4096"));
    } else {
        EXPECT_EQ("0|" + kQuotaPolicy, ask(child, "workingset 1048576 2097152"));
        EXPECT_EQ(before, ask(child, "limit")); // not tried
    }
    ASSERT_EQ("1", ask(child, cap("drop", CAP_SYS_RESOURCE)));
    EXPECT_EQ("0|" + kQuotaPolicy, ask(child, "workingset 1048576 2097152"));
    // Within the hard limit the platform's step needs no capability.
    std::istringstream limit(ask(child, "limit"));
    unsigned long long soft = 0, hard = 0;
    limit >> soft >> hard;
    const std::string lower = std::to_string(std::min<unsigned long long>(hard, 1u << 20) / 2) + " " +
                              std::to_string(hard);
    EXPECT_EQ("1 0", ask(child, "setlimit " + lower));
    EXPECT_EQ(lower, ask(child, "limit"));
    EXPECT_EQ("0 22", ask(child, "setlimit 8192 4096")); // EINVAL: minimum above maximum
}

TEST_F(RealSystem, LockedPages)
{
    ASSERT_EQ(4096, sysconf(_SC_PAGESIZE));
    const long lockedBefore = lockedKilobytes();
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
    EXPECT_EQ(10000u, size);
    ASSERT_EQ(3u, b->numberOfPages);
    EXPECT_EQ(lockedBefore + 12, lockedKilobytes());
    UserBufferMap *whole = nullptr, *part = nullptr;
    auto* all = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 0, 10000, &whole));
    ASSERT_NE(nullptr, all);
    const std::vector<uint64_t> frames = framesAt(all, 3);
    EXPECT_EQ(frames, std::vector<uint64_t>(b->pfnArray, b->pfnArray + 3));
    // The list and the 4 GB test against those frames: entries up to the first high page.
    UserBufferSgEntry entries[3] = {};
    const size_t low = size_t(std::find_if(frames.begin(), frames.end(), [](uint64_t f) { return f >= 0x100000; }) -
                              frames.begin());
    EXPECT_EQ(low == 3 ? 1u : 0u, VyrUtilGetPagesUserBuffer(b, entries, 3));
    EXPECT_EQ(low == 3 ? 1u : 0u, VyrUtilIsAllPagesBelow4GUserBuffer(b));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(i < low ? uint32_t(frames[i] * 4096) : 0u, entries[i].physicalAddress) << i;
        EXPECT_EQ(i < low ? 4096u : 0u, entries[i].length) << i;
    }
    // A range across pages 1 and 2 is the same memory; the library's range goes with the unmap.
    auto* some = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 5000, 4000, &part));
    ASSERT_NE(nullptr, some);
    EXPECT_EQ(904u, uintptr_t(some) % 4096);
    for (int i = 0; i < 4000; ++i)
        some[i] = uint8_t(i * 7 + 1);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(uint8_t(i * 7 + 1), all[5000 + i]) << i;
    void* reserved = part->address;
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    EXPECT_FALSE(stillReserved(reserved, 8192));
    // Into a range of the caller's, which stays reserved afterwards.
    void* range = mmap(nullptr, 3 * 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, range);
    EXPECT_EQ(static_cast<uint8_t*>(range) + 904, VyrUtilMapUserBufferEx(b, 5000, 4000, range, &part));
    EXPECT_EQ(frames[1], framesAt(range, 1)[0]);
    EXPECT_EQ(uint8_t(1), static_cast<uint8_t*>(range)[904]);
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    EXPECT_TRUE(stillReserved(range, 3 * 4096));
    munmap(range, 3 * 4096);
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(whole));
    EXPECT_EQ(1u, VyrUtilFreeUserBuffer(b));
    EXPECT_EQ(lockedBefore, lockedKilobytes());
    EXPECT_EQ(low == 3 ? Lines() : Lines({"VyrUtilGetPagesUserBuffer=> At least one page is above 4 GBytes"}),
              texts());
}

TEST_F(RealSystem, ChildPageGrantsAndRefusals)
{
    if (!frameNumbersVisible())
        GTEST_SKIP() << "frame numbers are hidden here";
    ChildProcess child("system");
    // Without the capability in effect, the lock limit decides how many pages are granted.
    ASSERT_EQ("1", ask(child, cap("lower", CAP_IPC_LOCK)));
    ASSERT_EQ("1", ask(child, "lockable 2"));
    EXPECT_EQ("1 2", ask(child, "platform 5"));
    ASSERT_EQ("1", ask(child, "lockable 0"));
    EXPECT_EQ("0 1", ask(child, "platform 1")); // EPERM: no locking at all
    EXPECT_EQ("1 20000", ask(child, "alloc 20000")); // the allocation raises the capability first
    ASSERT_EQ("1", ask(child, cap("drop", CAP_SYS_ADMIN))); // no frame numbers to show: no pages
    EXPECT_EQ("0 4096|VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 1 pages ==> 0 MBytes)"
              "|VyrUtilAllocUserBuffer => lastError: 0x1",
              ask(child, "alloc 4096"));
    ASSERT_EQ("1", ask(child, cap("drop", CAP_IPC_LOCK)));
    EXPECT_EQ("0 4096|" + kLockPolicy, ask(child, "alloc 4096"));
}

#endif

} // namespace
} // namespace vyr::test
