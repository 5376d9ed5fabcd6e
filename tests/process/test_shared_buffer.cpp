// Shared buffers between real processes: one creator among racing allocators, data through views at
// offsets, the lock's timeouts, recursion and owner, an owner killed while holding it, and the
// objects' end with their last handle and view. Names carry the pid, so parallel runs never meet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "VyrLog.h"
#include "VyrUtility.h"
#include "child_process.h"
#include "log_capture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

#if defined(_WIN32)
uint64_t processId() { return GetCurrentProcessId(); }
// View offsets must be multiples of this.
uint64_t granularity()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}
#else
uint64_t processId() { return uint64_t(getpid()); }
uint64_t granularity() { return uint64_t(sysconf(_SC_PAGESIZE)); }
// The object's file, or "" when it does not exist; else its mode.
std::string shmFile(const std::string& posixName)
{
    struct stat st;
    if (stat(("/dev/shm/" + posixName).c_str(), &st) != 0)
        return "";
    std::ostringstream mode;
    mode << std::oct << (st.st_mode & 0777);
    return mode.str();
}
#endif

std::string uniqueName(const std::string& tag) { return "VyrTest." + std::to_string(processId()) + "." + tag; }

// The pattern written and checked: byte k of the buffer for a seed.
uint8_t pattern(uint64_t k, uint32_t seed) { return uint8_t((k * 2654435761u + seed * 40503u) >> 11); }

std::string firstDifference(const uint8_t* p, uint64_t from, uint64_t length, uint32_t seed)
{
    for (uint64_t i = 0; i < length; ++i) {
        if (p[i] != pattern(from + i, seed))
            return "differs at " + std::to_string(from + i);
    }
    return "same";
}

uint64_t zeroBytes(const uint8_t* p, uint64_t length)
{
    uint64_t n = 0;
    while (n < length && p[n] == 0)
        ++n;
    return n;
}

std::vector<std::string> g_childLog;
void collect(void*, int32_t, const char*, int32_t, const char* text) { g_childLog.push_back(text); }

// One buffer and one view at a time. Replies are "<result>" followed by "|<log line>" for each line.
VYR_CHILD_MAIN(buffer)
{
    VyrLogSetHandler(collect, nullptr);
    SharedBuffer* buffer = nullptr;
    SharedBufferMap* map = nullptr;
    uint8_t* view = nullptr;
    uint64_t viewOffset = 0;
    while (auto command = nextCommand()) {
        std::istringstream in(*command);
        std::string verb, name;
        uint64_t a = 0, b = 0, c = 0;
        in >> verb;
        g_childLog.clear();
        std::string out;
        if (verb == "alloc") {
            in >> a >> name;
            const uint32_t r = VyrUtilAllocSharedBuffer(a, name.c_str(), &buffer);
            out = std::to_string(r) + (r ? " " + std::to_string(VyrUtilHasCreatedSharedBuffer(buffer)) : "");
        } else if (verb == "open") {
            in >> name;
            out = std::to_string(VyrUtilOpenSharedBuffer(name.c_str(), &buffer));
        } else if (verb == "map") {
            in >> viewOffset >> a;
            view = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(buffer, viewOffset, a, &map));
            out = view ? "1" : "0";
        } else if (verb == "check" || verb == "fill") {
            in >> a >> b >> c;
            uint8_t* p = view + (a - viewOffset);
            for (uint64_t i = 0; verb == "fill" && i < b; ++i)
                p[i] = pattern(a + i, uint32_t(c));
            out = firstDifference(p, a, b, uint32_t(c));
        } else if (verb == "lock") {
            in >> a;
            out = std::to_string(VyrUtilLockSharedBuffer(buffer, uint32_t(a)));
        } else if (verb == "unlock") {
            out = std::to_string(VyrUtilUnlockSharedBuffer(buffer));
        } else if (verb == "unmap") {
            out = std::to_string(VyrUtilUnmapSharedBuffer(map));
        } else if (verb == "free") {
            out = std::to_string(VyrUtilFreeSharedBuffer(buffer));
#if !defined(_WIN32)
        } else if (verb == "umask") {
            umask(077);
            out = "1";
#endif
        }
        for (const std::string& line : g_childLog)
            out += "|" + line;
        reply(out);
    }
    return 0;
}

std::string ask(ChildProcess& child, const std::string& command) { return child.request(command).value_or("none"); }

const std::string kNotFound = "VyrUtilOpenSharedBuffer => Unable to create synchronization object (lastError: 0x2)";

class SharedBuffers : public LogCapture {
protected:
    // Open must fail as for a name nobody allocated; on Linux the files are gone too, unless a killed
    // process left them (they go when the name is next used).
    void expectGone(const std::string& name, bool filesGone = true)
    {
        SharedBuffer* b = nullptr;
        const size_t before = texts().size();
        EXPECT_EQ(0u, VyrUtilOpenSharedBuffer(name.c_str(), &b)) << name;
        EXPECT_EQ(nullptr, b);
        const auto all = texts();
        EXPECT_EQ(std::vector<std::string>({kNotFound}), std::vector<std::string>(all.begin() + before, all.end()));
#if !defined(_WIN32)
        EXPECT_TRUE(!filesGone || shmFile(name) == "") << name;
        EXPECT_EQ("", shmFile(name + "_LOCK"));
#else
        (void)filesGone;
#endif
    }
};

TEST_F(SharedBuffers, OneCreatorAmongRacingAllocators)
{
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < 8; ++i)
        children.push_back(std::make_unique<ChildProcess>("buffer"));
    for (int round = 0; round < 3; ++round) {
        const std::string name = uniqueName("race" + std::to_string(round));
        for (auto& child : children)
            ASSERT_TRUE(child->send("alloc 8192 " + name));
        int created = 0;
        for (auto& child : children) {
            const std::string got = child->readLine().value_or("none");
            EXPECT_TRUE(got == "1 0" || got == "1 1") << got;
            created += got == "1 1";
        }
        EXPECT_EQ(1, created) << "round " << round;
        // A second allocation in this process finds it too.
        SharedBuffer* mine = nullptr;
        ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(8192, name.c_str(), &mine));
        EXPECT_EQ(0u, VyrUtilHasCreatedSharedBuffer(mine));
        VyrUtilFreeSharedBuffer(mine);
        for (auto& child : children)
            EXPECT_EQ("1", ask(*child, "free"));
        expectGone(name);
    }
}

TEST_F(SharedBuffers, DataThroughViewsAtOffsets)
{
    const uint64_t g = granularity(), size = 3 * g + 100;
    const std::string name = uniqueName("data");
    SharedBuffer* buffer = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(size, name.c_str(), &buffer));
    EXPECT_EQ(1u, VyrUtilHasCreatedSharedBuffer(buffer));
    SharedBufferMap* map = nullptr;
    auto* whole = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(buffer, 0, 0, &map));
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(size, zeroBytes(whole, size)); // fresh memory is zeroed
    for (uint64_t k = 0; k < size; ++k)
        whole[k] = pattern(k, 1);
    {
        ChildProcess allocating("buffer"), opening("buffer");
        // Asked for more, it gets the memory that exists, with its own size.
        EXPECT_EQ("1 0", ask(allocating, "alloc " + std::to_string(2 * size) + " " + name));
        EXPECT_EQ("1", ask(allocating, "map " + std::to_string(g + 904) + " " + std::to_string(g)));
        EXPECT_EQ("same", ask(allocating, "check " + std::to_string(g + 904) + " " + std::to_string(g) + " 1"));
        EXPECT_EQ("same", ask(allocating, "fill " + std::to_string(g + 904) + " 100 2"));
        EXPECT_EQ("1", ask(allocating, "unmap"));
        EXPECT_EQ("1", ask(allocating, "map " + std::to_string(2 * g + 17) + " 0"));
        EXPECT_EQ("same", ask(allocating, "check " + std::to_string(2 * g + 17) + " " + std::to_string(g + 83) + " 1"));
        EXPECT_EQ("1", ask(opening, "open " + name));
        EXPECT_EQ("1", ask(opening, "map 0 0"));
        EXPECT_EQ("same", ask(opening, "check " + std::to_string(g + 1004) + " " + std::to_string(2 * g - 904) + " 1"));
        EXPECT_EQ("same", ask(opening, "check " + std::to_string(g + 904) + " 100 2"));
    }
    EXPECT_EQ("same", firstDifference(whole, 0, g + 904, 1));
    EXPECT_EQ("same", firstDifference(whole + g + 904, g + 904, 100, 2));
    EXPECT_EQ(1u, VyrUtilUnmapSharedBuffer(map));
    EXPECT_EQ(1u, VyrUtilFreeSharedBuffer(buffer));
    EXPECT_TRUE(texts().empty());
    expectGone(name);
}

// How long a lock call took, and its result.
struct Timed {
    uint32_t result;
    double ms;
};
Timed timedLock(SharedBuffer* buffer, uint32_t timeout)
{
    const auto start = std::chrono::steady_clock::now();
    const uint32_t r = VyrUtilLockSharedBuffer(buffer, timeout);
    return {r, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count()};
}

// A buffer this process creates and the child allocates too.
SharedBuffer* shareWith(ChildProcess& child, const std::string& name)
{
    SharedBuffer* buffer = nullptr;
    EXPECT_EQ(1u, VyrUtilAllocSharedBuffer(4096, name.c_str(), &buffer));
    EXPECT_EQ(1u, VyrUtilHasCreatedSharedBuffer(buffer));
    EXPECT_EQ("1 0", ask(child, "alloc 4096 " + name));
    return buffer;
}

TEST_F(SharedBuffers, LockTimeoutsRecursionAndOwner)
{
    ChildProcess child("buffer");
    SharedBuffer* buffer = shareWith(child, uniqueName("lock"));
    EXPECT_EQ("1", ask(child, "lock 0"));
    const Timed now = timedLock(buffer, 0), later = timedLock(buffer, 50);
    EXPECT_EQ(0u, now.result);
    EXPECT_EQ(0u, later.result);
    EXPECT_GE(later.ms, 40.0); // a timer tick may end it a little early on Windows
    EXPECT_EQ(1u, VyrUtilUnlockSharedBuffer(buffer)); // not the owner: reports 1, releases nothing
    EXPECT_EQ(0u, VyrUtilLockSharedBuffer(buffer, 0));
    EXPECT_EQ("1", ask(child, "unlock"));
    EXPECT_EQ(1u, timedLock(buffer, 50).result);
    EXPECT_EQ(1u, VyrUtilLockSharedBuffer(buffer, 0xFFFFFFFFu)); // again, by the owner
    EXPECT_EQ(1u, VyrUtilUnlockSharedBuffer(buffer));
    EXPECT_EQ("0", ask(child, "lock 0")); // one take is still held
    // Another thread of the owner's process waits like any other.
    uint32_t fromThread = 2;
    std::thread([&] { fromThread = VyrUtilLockSharedBuffer(buffer, 0); }).join();
    EXPECT_EQ(0u, fromThread);
    EXPECT_EQ(1u, VyrUtilUnlockSharedBuffer(buffer));
    EXPECT_EQ("1", ask(child, "lock 0"));
    EXPECT_EQ("1", ask(child, "unlock"));
    EXPECT_EQ("1", ask(child, "free"));
    VyrUtilFreeSharedBuffer(buffer);
    EXPECT_TRUE(texts().empty());
}

#if !defined(_WIN32)
// Under an emulator without robust futexes (qemu-user) the kernel cannot mark a dead owner.
bool robustLocksWork()
{
    void* head = nullptr;
    size_t length = 0;
    return syscall(SYS_get_robust_list, 0, &head, &length) == 0;
}
#else
bool robustLocksWork() { return true; }
#endif

TEST_F(SharedBuffers, OwnerKilledWhileHoldingTheLock)
{
    if (!robustLocksWork())
        GTEST_SKIP() << "this system cannot tell waiters that a lock's owner died (no robust futexes)";
    const std::string name = uniqueName("killed");
    ChildProcess owner("buffer");
    SharedBuffer* buffer = shareWith(owner, name);
    EXPECT_EQ("1", ask(owner, "lock 4294967295"));
    Timed waited = {2, 0};
    std::thread waiter([&] {
        waited = timedLock(buffer, 20000);
        if (waited.result)
            VyrUtilUnlockSharedBuffer(buffer);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    owner.kill();
    EXPECT_EQ(137, owner.wait());
    waiter.join();
    EXPECT_EQ(1u, waited.result);
    EXPECT_LT(waited.ms, 15000.0);
    // Nothing stays held: another process takes it at once.
    ChildProcess next("buffer");
    EXPECT_EQ("1", ask(next, "open " + name));
    EXPECT_EQ("1", ask(next, "lock 0"));
    EXPECT_EQ("1", ask(next, "unlock"));
    EXPECT_EQ("1", ask(next, "free"));
    VyrUtilFreeSharedBuffer(buffer);
    EXPECT_TRUE(texts().empty());
}

// Allocates the name anew: this call must create it, and it must start zeroed.
SharedBuffer* allocateFresh(const std::string& name, SharedBufferMap** map)
{
    SharedBuffer* buffer = nullptr;
    EXPECT_EQ(1u, VyrUtilAllocSharedBuffer(8192, name.c_str(), &buffer));
    EXPECT_EQ(1u, VyrUtilHasCreatedSharedBuffer(buffer));
    auto* p = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(buffer, 0, 0, map));
    EXPECT_EQ(8192u, p ? zeroBytes(p, 8192) : 0);
    return buffer;
}

TEST_F(SharedBuffers, ObjectsEndWithTheLastHandle)
{
    const std::string name = uniqueName("end");
    expectGone(name);
    SharedBuffer *mine = nullptr, *again = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(8192, name.c_str(), &mine));
    {
        ChildProcess child("buffer");
        EXPECT_EQ("1", ask(child, "open " + name));
        EXPECT_EQ(1u, VyrUtilFreeSharedBuffer(mine));
        ASSERT_EQ(1u, VyrUtilOpenSharedBuffer(name.c_str(), &again)); // the child still holds it
        EXPECT_EQ(1u, VyrUtilFreeSharedBuffer(again));
        EXPECT_EQ("1", ask(child, "map 0 0"));
        EXPECT_EQ("same", ask(child, "fill 0 8192 3"));
        EXPECT_EQ("1", ask(child, "free"));
        // The name went with the last handle; the view keeps its memory, apart from any new buffer.
        expectGone(name);
        SharedBufferMap* map = nullptr;
        again = allocateFresh(name, &map);
        EXPECT_EQ("same", ask(child, "check 0 8192 3"));
        VyrUtilUnmapSharedBuffer(map);
        VyrUtilFreeSharedBuffer(again);
        EXPECT_EQ("1", ask(child, "unmap"));
    }
    expectGone(name);
    // A process that ends with its handles open closes them.
    {
        ChildProcess child("buffer");
        EXPECT_EQ("1 1", ask(child, "alloc 8192 " + name));
        EXPECT_EQ(0, child.wait());
    }
    expectGone(name);
#if !defined(_WIN32)
    // A forked child's copies of the handles remove nothing, freed or left at its exit.
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(8192, name.c_str(), &mine));
    for (bool freed : {true, false}) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (freed)
                VyrUtilFreeSharedBuffer(mine);
            std::exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_EQ(1u, VyrUtilOpenSharedBuffer(name.c_str(), &again));
        VyrUtilFreeSharedBuffer(again);
    }
    VyrUtilFreeSharedBuffer(mine);
    expectGone(name);
#endif
    // A process killed while holding the only handle leaves nothing that can be opened.
    {
        ChildProcess child("buffer");
        EXPECT_EQ("1 1", ask(child, "alloc 8192 " + name));
        EXPECT_EQ("1", ask(child, "map 0 0"));
        EXPECT_EQ("same", ask(child, "fill 0 8192 4"));
        child.kill();
        child.wait();
    }
    expectGone(name, false);
    SharedBufferMap* map = nullptr;
    mine = allocateFresh(name, &map);
    VyrUtilUnmapSharedBuffer(map);
    VyrUtilFreeSharedBuffer(mine);
    expectGone(name);
}

TEST_F(SharedBuffers, BoundsOnRealObjects)
{
    const std::string name = uniqueName("bounds");
    SharedBuffer *allocated = nullptr, *opened = nullptr;
    const uint64_t g = granularity(), size = 2 * g;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(size, name.c_str(), &allocated));
    ASSERT_EQ(1u, VyrUtilOpenSharedBuffer(name.c_str(), &opened));
    SharedBufferMap* map = nullptr;
    auto* p = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(allocated, g, size - g, &map));
    ASSERT_NE(nullptr, p);
    p[size - g - 1] = 1; // the last byte is there
    VyrUtilUnmapSharedBuffer(map);
    EXPECT_EQ(nullptr, VyrUtilMapSharedBuffer(allocated, g, size - g + 1, &map));
    // The opened object has no size to test against; the platform refuses bytes past the end.
    EXPECT_EQ(nullptr, VyrUtilMapSharedBuffer(opened, 0, size + 4096, &map));
#if defined(_WIN32)
    // What Windows says about a view past the end and at an offset off its granularity, asked directly.
    const HANDLE h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(nullptr, h);
    uint32_t pastEnd = 0, misaligned = 0;
    if (!MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, size + 4096))
        pastEnd = GetLastError();
    void* direct = MapViewOfFile(h, FILE_MAP_WRITE, 0, 4096, 10);
    if (!direct)
        misaligned = GetLastError();
    else
        UnmapViewOfFile(direct);
    CloseHandle(h);
#else
    const uint32_t pastEnd = 6, misaligned = 0; // ENXIO; any page offset maps
#endif
    char expected[128];
    std::snprintf(expected, sizeof expected, "VyrUtilMapSharedBuffer => Unable to map view of file (%#08x)\n",
                  unsigned(pastEnd));
    const std::vector<std::string> bounds = {
        "VyrUtilMapSharedBuffer => Invalid argument (bufOffset + bufMapSize > bufSize)", expected};
    EXPECT_EQ(bounds, texts());
    p = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(opened, 4096 + 5, 10, &map));
    EXPECT_EQ(misaligned == 0, p != nullptr);
    if (p) {
        EXPECT_EQ(5u, uintptr_t(p) % 4096);
        VyrUtilUnmapSharedBuffer(map);
    } else {
        std::snprintf(expected, sizeof expected, "VyrUtilMapSharedBuffer => Unable to map view of file (%#08x)\n",
                      unsigned(misaligned));
        EXPECT_EQ(expected, texts().back());
    }
    VyrUtilFreeSharedBuffer(opened);
    VyrUtilFreeSharedBuffer(allocated);
    expectGone(name);
}

// Every name has objects of its own: one that is another buffer's lock is refused, and one without
// a name is private to its allocation.
TEST_F(SharedBuffers, NamesOfTheirOwn)
{
    const std::string name = uniqueName("a/b%c"), escaped = uniqueName("a%2Fb%25c");
    ChildProcess child("buffer");
#if !defined(_WIN32)
    EXPECT_EQ("1", ask(child, "umask"));
#endif
    EXPECT_EQ("1 1", ask(child, "alloc 4096 " + name));
#if !defined(_WIN32)
    EXPECT_EQ("666", shmFile(escaped)); // every user, whatever the creator's umask
    EXPECT_EQ("666", shmFile(escaped + "_LOCK"));
    const uint32_t inUse = 17; // EEXIST
#else
    const uint32_t inUse = 6; // ERROR_INVALID_HANDLE: a mutex holds the name
#endif
    SharedBuffer *other = nullptr, *lockName = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(4096, escaped.c_str(), &other));
    EXPECT_EQ(1u, VyrUtilHasCreatedSharedBuffer(other));
    EXPECT_EQ(0u, VyrUtilAllocSharedBuffer(4096, (name + "_LOCK").c_str(), &lockName));
    char expected[128];
    std::snprintf(expected, sizeof expected, "VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= %#08x)",
                  unsigned(inUse));
    EXPECT_EQ(std::vector<std::string>({expected}), texts());
    EXPECT_EQ(nullptr, lockName);
    EXPECT_EQ("1", ask(child, "free"));
    VyrUtilFreeSharedBuffer(other);
    expectGone(name);
    expectGone(escaped);
    expectGone(name + "_LOCK");

    SharedBuffer *first = nullptr, *second = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(4096, "", &first));
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(4096, "", &second));
    EXPECT_EQ(1u, VyrUtilHasCreatedSharedBuffer(second));
    SharedBufferMap *m1 = nullptr, *m2 = nullptr;
    auto* p1 = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(first, 0, 0, &m1));
    auto* p2 = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(second, 0, 0, &m2));
    ASSERT_TRUE(p1 && p2);
    p1[0] = 1;
    EXPECT_EQ(0, p2[0]);
    VyrUtilUnmapSharedBuffer(m1);
    VyrUtilUnmapSharedBuffer(m2);
    VyrUtilFreeSharedBuffer(first);
    VyrUtilFreeSharedBuffer(second);
}

} // namespace
} // namespace vyr::test
