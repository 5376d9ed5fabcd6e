// User buffers on real locked pages. On Linux the kernel's own reports are the reference: the frame
// numbers /proc/self/pagemap shows for a mapped range, the locked amount in /proc/self/status, and
// what the address space holds after an unmap. A child without the capabilities shows the
// refusals. On Windows (and wine, which may refuse physical pages) each result must come with
// exactly the messages that belong to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "OS/os.h"
#include "OS/userBuffer.h"
#include "VyrLog.h"
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
const std::string kPolicy =
    "VyrUtilAdjustProcessPrivilege => Cannot enable \"SeLockMemoryPrivilege\" privilege, please check the local policy";

class UserPages : public LogCapture {};

#if defined(_WIN32)

// Wine may have no physical pages; Windows needs the lock-memory privilege in the account.
TEST_F(UserPages, RealPagesOrTheirRefusal)
{
    uint64_t size = 10000;
    UserBuffer* b = nullptr;
    if (!VyrUtilAllocUserBuffer(&size, &b)) {
        const Lines got = texts();
        const bool known = got == Lines({"VyrUtilAllocUserBuffer=> Not available"}) || got == Lines({kPolicy}) ||
                           (got.size() == 2 &&
                            got[0] == "VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 3 pages ==> 0 MBytes)" &&
                            got[1].rfind("VyrUtilAllocUserBuffer => lastError: 0x", 0) == 0);
        EXPECT_TRUE(known) << (got.empty() ? "(no message)" : got[0]);
        EXPECT_EQ(nullptr, b);
        EXPECT_EQ(10000u, size);
        std::printf("physical pages refused here: %s\n", got.empty() ? "" : got.back().c_str());
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

// The locked memory of this process in kB.
long lockedKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "VmLck:") {
            status >> value;
            break;
        }
    }
    return value;
}

// Frame numbers of the pages mapped at address, as the kernel reports them (0 where it hides them).
std::vector<uint64_t> framesAt(const void* address, size_t pages)
{
    std::vector<uint64_t> entries(pages);
    const int fd = open("/proc/self/pagemap", O_RDONLY);
    if (fd < 0 || pread(fd, entries.data(), pages * 8, off_t(uintptr_t(address) / 4096 * 8)) != ssize_t(pages * 8))
        entries.assign(pages, 0);
    if (fd >= 0)
        close(fd);
    for (uint64_t& e : entries)
        e = (e >> 63) ? e & ((1ull << 55) - 1) : 0;
    return entries;
}

// The kernel shows frame numbers to this process, for its own addresses (an emulator's guest
// addresses are not the kernel's): a new page has none until it is touched, and then one.
bool frameNumbersVisible()
{
    auto* page = static_cast<volatile uint8_t*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    const uint64_t untouched = framesAt(const_cast<uint8_t*>(page), 1)[0];
    page[0] = 1;
    const uint64_t touched = framesAt(const_cast<uint8_t*>(page), 1)[0];
    munmap(const_cast<uint8_t*>(page), 4096);
    return untouched == 0 && touched != 0;
}

bool stillReserved(void* address, size_t bytes)
{
    void* p = mmap(address, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p != MAP_FAILED)
        munmap(p, bytes);
    return p == MAP_FAILED && errno == EEXIST;
}

TEST_F(UserPages, RealLockedPages)
{
    ASSERT_EQ(4096, sysconf(_SC_PAGESIZE));
    const long lockedBefore = lockedKilobytes();
    uint64_t size = 10000;
    UserBuffer* b = nullptr;
    if (!frameNumbersVisible()) {
        // The kernel (or an emulator) hides frame numbers: no page may be handed out without one.
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
    // The list and the 4 GB test against those frames.
    UserBufferSgEntry entries[3] = {};
    size_t low = 0;
    while (low < 3 && frames[low] < 0x100000)
        ++low;
    EXPECT_EQ(low == 3 ? 1u : 0u, VyrUtilGetPagesUserBuffer(b, entries, 3));
    EXPECT_EQ(low == 3 ? 1u : 0u, VyrUtilIsAllPagesBelow4GUserBuffer(b));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(i < low ? uint32_t(frames[i] * 4096) : 0u, entries[i].physicalAddress) << i;
        EXPECT_EQ(i < low ? 4096u : 0u, entries[i].length) << i;
    }
    // A range across pages 1 and 2 is the same memory.
    auto* some = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 5000, 4000, &part));
    ASSERT_NE(nullptr, some);
    EXPECT_EQ(904u, uintptr_t(some) % 4096);
    for (int i = 0; i < 4000; ++i)
        some[i] = uint8_t(i * 7 + 1);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(uint8_t(i * 7 + 1), all[5000 + i]) << i;
    void* reserved = part->address;
    EXPECT_EQ(1u, VyrUtilUnmapUserBuffer(part));
    EXPECT_FALSE(stillReserved(reserved, 8192)); // the library's range is released
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
    EXPECT_EQ(low == 3 ? Lines() : Lines(1, "VyrUtilGetPagesUserBuffer=> At least one page is above 4 GBytes"),
              texts());
}

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

Lines g_childLines;
void collect(void*, int32_t, const char*, int32_t, const char* text) { g_childLines.push_back(text); }

// Answers "<result> <size or count>|<log line>|..." for each command.
VYR_CHILD_MAIN(pages)
{
    VyrLogSetHandler(collect, nullptr);
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb;
        uint64_t a = 0;
        in >> verb >> a;
        g_childLines.clear();
        std::string out;
        if (verb == "drop" || verb == "lower") { // a capability from every set, or from the effective one
            out = dropCapability(int(a), verb == "drop") ? "1" : "0";
        } else if (verb == "limit") { // locked memory this process may add, in pages
            rlimit limit;
            getrlimit(RLIMIT_MEMLOCK, &limit);
            limit.rlim_cur = rlim_t(lockedKilobytes() * 1024 + a * 4096);
            out = setrlimit(RLIMIT_MEMLOCK, &limit) == 0 ? "1" : std::to_string(errno);
        } else if (verb == "platform") { // the platform's allocation alone
            std::vector<os::FrameNumber> frames(a);
            uintptr_t count = a;
            uint32_t error = 0;
            const int32_t r = os::platform().allocatePhysicalPages(&count, frames.data(), &error);
            out = std::to_string(r) + " " + std::to_string(r ? count : error);
            if (r)
                os::platform().freePhysicalPages(&count, frames.data(), &error);
        } else if (verb == "alloc") {
            UserBuffer* b = nullptr;
            const uint32_t r = VyrUtilAllocUserBuffer(&a, &b);
            out = std::to_string(r) + " " + std::to_string(a);
            if (r)
                VyrUtilFreeUserBuffer(b);
        }
        for (const std::string& line : g_childLines)
            out += "|" + line;
        reply(out);
    }
    return 0;
}

TEST_F(UserPages, GrantsRefusalsAndPrivileges)
{
    if (!frameNumbersVisible())
        GTEST_SKIP() << "frame numbers are hidden here";
    ChildProcess child("pages");
    auto ask = [&](const std::string& command) { return child.request(command).value_or("none"); };
    // Without the capability in effect, the lock limit decides how many pages are granted.
    ASSERT_EQ("1", ask("lower " + std::to_string(CAP_IPC_LOCK)));
    ASSERT_EQ("1", ask("limit 2"));
    EXPECT_EQ("1 2", ask("platform 5"));
    ASSERT_EQ("1", ask("limit 0"));
    EXPECT_EQ("0 1", ask("platform 1")); // EPERM: no locking at all
    // The allocation raises the capability first, so all are granted.
    EXPECT_EQ("1 20000", ask("alloc 20000"));
    // Without frame numbers to show, no pages.
    ASSERT_EQ("1", ask("drop " + std::to_string(CAP_SYS_ADMIN)));
    EXPECT_EQ("0 4096|VyrUtilAllocUserBuffer => Cannot allocate physical memory ( 1 pages ==> 0 MBytes)"
              "|VyrUtilAllocUserBuffer => lastError: 0x1",
              ask("alloc 4096"));
    // Without the capability in the account, the privilege message.
    ASSERT_EQ("1", ask("drop " + std::to_string(CAP_IPC_LOCK)));
    EXPECT_EQ("0 4096|" + kPolicy, ask("alloc 4096"));
}

#endif

} // namespace
} // namespace vyr::test
