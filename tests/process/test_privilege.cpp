// Privileges and the working set on the real system: on Linux against the kernel's own reports, in a
// child that drops capabilities; on Windows (and wine) each result with exactly its messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "OS/os.h"
#include "OS/user_buffer.h"
#include "VyrUtility.h"
#include "bytes.h"
#include "child_process.h"
#include "log_capture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "OS/Linux/services.h"
#include "proc_files.h"
#endif

namespace vyr::test {
namespace {

std::string policy(const char* verb, const std::string& name)
{
    return "VyrUtilAdjustProcessPrivilege => Cannot " + std::string(verb) + " \"" + name +
           "\" privilege, please check the local policy";
}
const std::string kLockPolicy = policy("enable", "SeLockMemoryPrivilege");

using RealSystem = LogCapture;

#if defined(_WIN32)

// Whatever the account holds: 1 and silence, or 0 and the policy message.
TEST_F(RealSystem, EachPrivilegeResultComesWithItsMessage)
{
    for (const char* name :
         {"SeLockMemoryPrivilege", "SeIncreaseQuotaPrivilege", "SeChangeNotifyPrivilege"}) {
        for (uint32_t enable : {1u, 0u}) {
            const bool held = VyrUtilAdjustProcessPrivilege(name, enable) == 1;
            EXPECT_EQ(held ? Lines() : Lines({policy(enable ? "enable" : "disable", name)}), logged());
        }
    }
    EXPECT_EQ(1u, VyrUtilAdjustProcessPrivilege("SeChangeNotifyPrivilege", 1)); // every account, enabled
    const bool quota = VyrUtilAdjustProcessPrivilege("SeIncreaseQuotaPrivilege", 1) == 1;
    EXPECT_EQ(quota, VyrUtilAdjustProcessWorkingSet(16u << 20, 64u << 20) != 0);
}

#else

bool has(const std::string& set, int capability) // in a capability set of /proc/self/status
{
    return (procValue("/proc/self/status", set + ":", 16) >> capability) & 1;
}

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

VYR_CHILD_MAIN(system)
{
    return serveLogged([](const std::string& command) {
        std::istringstream in(command);
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
        } else if (verb == "userbuffer") { // allocates a bytes, answers "<result> <size> <pages>", frees
            uint64_t size = a;
            UserBuffer* buffer = nullptr;
            out = std::to_string(VyrUtilAllocUserBuffer(&size, &buffer));
            if (buffer) {
                out += " " + std::to_string(size) + " " + std::to_string(buffer->numberOfPages);
                VyrUtilFreeUserBuffer(buffer);
            }
        } else if (verb == "locked") { // kB
            out = std::to_string(procValue("/proc/self/status", "VmLck:"));
        } else if (verb == "lockable") {
            out = std::to_string(os::linux_services::lockablePages());
        }
        return out;
    });
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
    ASSERT_EQ("1", ask("drop " + lock));
    EXPECT_EQ("0|" + kLockPolicy, ask("adjust 1 SeLockMemoryPrivilege"));
    EXPECT_EQ("1", ask("adjust 0 SeLockMemoryPrivilege")); // disabling what is not held
    ASSERT_EQ("1", ask("drop " + resource));
    const std::string before = ask("limit");
    EXPECT_EQ("0|" + policy("enable", "SeIncreaseQuotaPrivilege"), ask("workingset 8192 16384"));
    EXPECT_EQ(before, ask("limit")); // not tried
    // The sizes become the locked-memory limits; within the hard limit no capability is needed.
    const std::string lower = "4096" + before.substr(before.find(' '));
    EXPECT_EQ("1 0", ask("setlimit " + lower));
    EXPECT_EQ(lower, ask("limit"));
    EXPECT_EQ("0 22", ask("setlimit 8192 4096")); // EINVAL: minimum above maximum
}

// The lock limit binds before anything is locked, a privileged process too, and without a limit no
// more is locked than the memory available: 64 MB asked for under a limit of 1 MB are fewer pages
// granted, not 64 MB locked.
TEST_F(RealSystem, LockedPagesStayWithinTheLockLimitAndTheMemoryAvailable)
{
    ChildProcess child("system");
    const auto ask = [&](const std::string& command) { return child.request(command).value_or("none"); };
    ASSERT_EQ("1 0", ask("setlimit 1048576 1048576"));
    const uint64_t before = std::stoull(ask("locked"));
    std::istringstream got(ask("userbuffer 67108864"));
    uint64_t result = 0, size = 0, pages = 0;
    got >> result >> size >> pages;
    if (!result)
        GTEST_SKIP() << "this process gets no locked pages: " << got.str();
    EXPECT_GT(pages, 0u);
    EXPECT_LE(pages * 4, 1024 - before) << "pages locked beyond the limit";
    EXPECT_EQ(pages * 4096, size); // fewer granted: the size got is written back
    EXPECT_EQ(before, std::stoull(ask("locked")));
    const std::string unlimited = std::to_string(SIZE_MAX);
    if (ask("setlimit " + unlimited + " " + unlimited) != "1 0")
        return; // raising the hard limit takes a capability this process lacks
    const uint64_t lockable = std::stoull(ask("lockable"));
    EXPECT_GT(lockable, 0u);
    EXPECT_LE(lockable * 4, procValue("/proc/meminfo", "MemAvailable:"));
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

// An emulator's guest addresses are not the kernel's: a page touched shows no frame there.
bool frameNumbersVisible()
{
    auto* page = static_cast<uint8_t*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    *static_cast<volatile uint8_t*>(page) = 1;
    const uint64_t touched = framesAt(page, 1)[0];
    munmap(page, 4096);
    return touched != 0;
}

// 0 when nothing is mapped over [address, address + bytes), else why a mapping there failed.
int mappedOver(void* address, size_t bytes)
{
    void* p = mmap(address, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED)
        return errno;
    munmap(p, bytes);
    return p == address ? 0 : -1;
}

#endif

// 10,000 bytes are three locked pages: their frames are the kernel's, a view across pages 1 and 2
// is the same memory, and a caller's range stays reserved. Wine, an account without the privilege
// or an emulator hiding frame numbers refuse them with their messages.
TEST_F(RealSystem, LockedPagesOrTheirRefusal)
{
    uint64_t size = 10000;
    UserBuffer* b = nullptr;
    if (!VyrUtilAllocUserBuffer(&size, &b)) {
        const Lines got = texts();
        const bool known =
            got == Lines({"VyrUtilAllocUserBuffer=> Not available"}) || got == Lines({kLockPolicy}) ||
            (got.size() == 2 &&
             got[0] == "VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 3 pages ==> 0 MBytes)" &&
             got[1].rfind("VyrUtilAllocUserBuffer => lastError: 0x", 0) == 0);
        EXPECT_TRUE(known) << (got.empty() ? "(no message)" : got[0]);
        EXPECT_TRUE(b == nullptr && size == 10000) << size;
#if !defined(_WIN32)
        EXPECT_FALSE(frameNumbersVisible()) << "pages refused where the kernel shows their frames";
#endif
        return;
    }
    const uint32_t pages = b->numberOfPages;
    EXPECT_TRUE(size == 10000 ? pages == 3 : size == pages * 4096u) << size; // fewer granted: written back
    UserBufferMap *whole = nullptr, *part = nullptr;
    auto* all = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 0, size, &whole));
    ASSERT_NE(nullptr, all);
    const uint64_t at = std::min<uint64_t>(5000, size - 4000);
    auto* some = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, at, 4000, &part));
    ASSERT_NE(nullptr, some);
    EXPECT_EQ(at % 4096, uintptr_t(some) % 4096);
    fillRandom(some, 4000, 7);
    ASSERT_TRUE(sameBytes(some, all + at, 4000));
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
#if !defined(_WIN32)
    ASSERT_EQ(3u, pages);
    const std::vector<uint64_t> frames = framesAt(all, 3);
    EXPECT_EQ(frames, std::vector<uint64_t>(b->pfnArray, b->pfnArray + 3));
    const bool low = std::all_of(frames.begin(), frames.end(), [](uint64_t f) { return f < 0x100000; });
    EXPECT_EQ(low ? 1u : 0u, VyrUtilIsAllPagesBelow4GUserBuffer(b));
    void* range = mmap(nullptr, 3 * 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, range);
    EXPECT_EQ(static_cast<uint8_t*>(range) + 904, VyrUtilMapUserBufferEx(b, 5000, 4000, range, &part));
    EXPECT_EQ(frames[1], framesAt(range, 1)[0]);
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    EXPECT_EQ(EEXIST, mappedOver(range, 3 * 4096)); // still reserved
    munmap(range, 3 * 4096);
#endif
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(whole));
    EXPECT_EQ(Lines(), logged());

    // Pages go only into a range reserved for them: the caller's data, read-only memory, a range
    // reserved only in part and a range with nothing in it are each refused with the two messages of
    // a refused mapping, and stay as they were.
    constexpr size_t kPage = 4096;
    // Pages 0-1 read-write, 2-3 read-only, 4 inaccessible but not reserved for pages on Windows (an
    // inaccessible private range is a reservation on Linux: page 5 makes that range a mixed one
    // there), 5 read-write, 6-7 nothing.
#if defined(_WIN32)
    auto* area =
        static_cast<uint8_t*>(VirtualAlloc(nullptr, 6 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, area);
    const auto protect = [](uint8_t* at, size_t pages, DWORD access) {
        DWORD old;
        VirtualProtect(at, pages * kPage, access, &old);
    };
    const std::vector<uint8_t*> refused = {area, area + 2 * kPage, area + 4 * kPage};
#else
    auto* area = static_cast<uint8_t*>(
        mmap(nullptr, 8 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, static_cast<void*>(area));
    munmap(area + 6 * kPage, 2 * kPage);
    const auto protect = [](uint8_t* at, size_t pages, int access) { mprotect(at, pages * kPage, access); };
    const std::vector<uint8_t*> refused = {area, area + 2 * kPage, area + 4 * kPage, area + 6 * kPage};
    const int PAGE_READONLY = PROT_READ, PAGE_NOACCESS = PROT_NONE, PAGE_READWRITE = PROT_READ | PROT_WRITE;
#endif
    fillRandom(area, 6 * kPage, 13);
    protect(area + 2 * kPage, 2, PAGE_READONLY);
    protect(area + 4 * kPage, 1, PAGE_NOACCESS);
    for (uint8_t* at : refused) {
        UserBufferMap* m = nullptr;
        EXPECT_EQ(nullptr, VyrUtilMapUserBufferEx(b, 0, 2 * kPage, at, &m))
            << "at page " << (at - area) / kPage;
        EXPECT_EQ(nullptr, m);
        const Lines got = logged();
        ASSERT_EQ(2u, got.size());
        EXPECT_EQ("VyrUtilMapUserBufferEx=> Cannot map physical memory ( 2 pages)", got[0]);
#if defined(_WIN32)
        EXPECT_EQ(0u, got[1].rfind("VyrUtilMapUserBufferEx=> lastError= 0x", 0)) << got[1];
#else
        EXPECT_EQ("VyrUtilMapUserBufferEx=> lastError= 0x16", got[1]); // EINVAL
#endif
    }
    protect(area + 2 * kPage, 3, PAGE_READWRITE);
    ASSERT_TRUE(sameBytes(randomBytes(6 * kPage, 13).data(), area, 6 * kPage));
    area[0] = 1; // still the caller's writable memory
#if defined(_WIN32)
    VirtualFree(area, 0, MEM_RELEASE);
#else
    EXPECT_EQ(0, mappedOver(area + 6 * kPage, 2 * kPage));             // nor into the empty pages
    munmap(area, 8 * kPage);
#endif
    EXPECT_EQ(1u, VyrUtilFreeUserBuffer(b));
}

} // namespace
} // namespace vyr::test
