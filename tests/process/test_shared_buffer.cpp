// Shared buffers between real processes: one creator among racing allocators, data through views at
// offsets, the lock's timeouts, recursion and owner, an owner killed while holding it, and the
// objects' end with their last handle. Names carry the pid, so parallel runs never meet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

using Lines = std::vector<std::string>;

#if defined(_WIN32)
uint64_t processId() { return GetCurrentProcessId(); }
uint64_t granularity() // view offsets must be multiples of this
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}
bool fileOf(const std::string&) { return false; }
#else
uint64_t processId() { return uint64_t(getpid()); }
uint64_t granularity() { return uint64_t(sysconf(_SC_PAGESIZE)); }
bool fileOf(const std::string& name)
{
    struct stat st;
    return stat(("/dev/shm/" + name).c_str(), &st) == 0;
}
#endif

std::string uniqueName(const std::string& tag)
{
    return "VyrTest." + std::to_string(processId()) + "." + tag;
}
std::string n(uint64_t value) { return std::to_string(value) + " "; }

uint8_t pattern(uint64_t k, uint32_t seed) { return uint8_t((k * 2654435761u + seed * 40503u) >> 11); }

// One buffer and one view at a time, driven by command lines; offsets are the buffer's. Children run
// it on their input, this process directly.
class Session {
public:
    std::string run(const std::string& command)
    {
        std::istringstream in(command);
        std::string verb, name;
        in >> verb;
        std::vector<std::string> words;
        for (std::string word; in >> word;)
            words.push_back(word);
        const auto number = [&](size_t i) {
            return i < words.size() ? std::strtoull(words[i].c_str(), nullptr, 10) : 0ull;
        };
        const uint64_t a = number(0), b = number(1), c = number(2);
        if (verb == "alloc") {
            name = words.size() > 1 ? words[1] : "";
            const uint32_t r = VyrUtilAllocSharedBuffer(a, name.c_str(), &buffer_);
            return std::to_string(r) +
                   (r ? " " + std::to_string(VyrUtilHasCreatedSharedBuffer(buffer_)) : "");
        }
        if (verb == "open")
            return std::to_string(VyrUtilOpenSharedBuffer(words.at(0).c_str(), &buffer_));
        if (verb == "gone") { // opening fails; on Linux " +memory", " +lock" tell the files left
            SharedBuffer* other = nullptr;
            name = words.at(0);
            const uint32_t r = VyrUtilOpenSharedBuffer(name.c_str(), &other);
            return std::to_string(r) + (other ? " +object" : "") + (fileOf(name) ? " +memory" : "") +
                   (fileOf(name + "_LOCK") ? " +lock" : "");
        }
        if (verb == "map") { // "1 @<the pointer's offset in its page>"
            viewOffset_ = a;
            view_ = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(buffer_, a, b, &map_));
            return view_ ? "1 @" + std::to_string(uintptr_t(view_) % 4096) : "0";
        }
        if (verb == "check" || verb == "fill" || verb == "zero") { // at a, b bytes, pattern c
            uint8_t* p = view_ + (a - viewOffset_);
            for (uint64_t i = 0; verb == "fill" && i < b; ++i)
                p[i] = pattern(a + i, uint32_t(c));
            for (uint64_t i = 0; i < b; ++i) {
                if (p[i] != (verb == "zero" ? 0 : pattern(a + i, uint32_t(c))))
                    return "differs at " + std::to_string(a + i);
            }
            return "same";
        }
        if (verb == "lock") { // " after timeout" when a refusal took the whole timeout
            const auto start = std::chrono::steady_clock::now();
            const uint32_t r = VyrUtilLockSharedBuffer(buffer_, uint32_t(a));
            const auto ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
            // A timer tick may end it a little early on Windows.
            return std::to_string(r) + (!r && a && ms.count() >= 0.8 * double(a) ? " after timeout" : "");
        }
        if (verb == "threadlock") { // from another thread of this process
            uint32_t r = 2;
            std::thread([&] { r = VyrUtilLockSharedBuffer(buffer_, uint32_t(a)); }).join();
            return std::to_string(r);
        }
        if (verb == "unlock")
            return std::to_string(VyrUtilUnlockSharedBuffer(buffer_));
        if (verb == "unmap")
            return std::to_string(VyrUtilUnmapSharedBuffer(map_));
        if (verb == "free")
            return std::to_string(VyrUtilFreeSharedBuffer(buffer_));
#if !defined(_WIN32)
        if (verb == "umask") {
            umask(077);
            return "1";
        }
        if (verb == "fork") { // a forked child frees its copy (a = 1) or leaves it at its exit
            const pid_t pid = fork();
            if (pid == 0) {
                if (a)
                    VyrUtilFreeSharedBuffer(buffer_);
                std::exit(0);
            }
            return std::to_string(waitpid(pid, nullptr, 0) == pid);
        }
#endif
        return "unknown " + verb;
    }

private:
    SharedBuffer* buffer_ = nullptr;
    SharedBufferMap* map_ = nullptr;
    uint8_t* view_ = nullptr;
    uint64_t viewOffset_ = 0;
};

VYR_CHILD_MAIN(buffer)
{
    collectChildLog();
    Session session;
    while (auto command = nextCommand())
        replyLogged(session.run(*command));
    return 0;
}

const std::string kGone =
    "0|VyrUtilOpenSharedBuffer => Unable to create synchronization object (lastError: 0x2)";

// Actors: P and Q are sessions of this process, A, B and C child processes.
enum Actor { P, Q, A, B, C };
struct Step {
    Actor who;
    std::string command, reply; // replies carry "|<log line>" for each line logged
};

class SharedBuffers : public LogCapture {
protected:
    // A child's "(end)" closes its input and answers its exit code; "(kill)" ends it at once first.
    std::string at(Actor who, const std::string& command)
    {
        if (who >= A) {
            auto& child = children_[who - A];
            if (!child)
                child = std::make_unique<ChildProcess>("buffer");
            if (command == "(kill)")
                child->kill();
            if (command[0] == '(')
                return std::to_string(child->wait());
            return child->request(command).value_or("none");
        }
        std::string out = here_[who].run(command);
        const Lines all = texts();
        for (size_t i = seen_; i < all.size(); ++i)
            out += "|" + all[i];
        seen_ = all.size();
        return out;
    }
    void play(const std::vector<Step>& steps)
    {
        for (const Step& s : steps)
            ASSERT_EQ(s.reply, at(s.who, s.command)) << "actor "
                                                     << "PQABC"[s.who] << ": " << s.command;
    }

    Session here_[2];
    std::unique_ptr<ChildProcess> children_[3];
    size_t seen_ = 0;
};

// Steps that belong together share a line.
// clang-format off
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
        play({{P, "alloc 8192 " + name, "1 0"}, {P, "free", "1"}}); // a later allocation finds it too
        for (auto& child : children)
            EXPECT_EQ("1", child->request("free"));
        play({{P, "gone " + name, kGone}});
    }
}

TEST_F(SharedBuffers, DataThroughViewsAtOffsets)
{
    const uint64_t g = granularity(), size = 3 * g + 100;
    const std::string name = uniqueName("data");
    play({{P, "alloc " + n(size) + name, "1 1"}, {P, "map 0 0", "1 @0"}, {P, "zero 0 " + n(size), "same"},
          {P, "fill 0 " + n(size) + "1", "same"},
          // Asked for more, it gets the memory that exists.
          {A, "alloc " + n(2 * size) + name, "1 0"}, {A, "map " + n(g + 904) + n(g), "1 @904"},
          {A, "check " + n(g + 904) + n(g) + "1", "same"}, {A, "fill " + n(g + 904) + "100 2", "same"},
          {A, "unmap", "1"}, {A, "map " + n(2 * g + 17) + "0", "1 @17"},
          {A, "check " + n(2 * g + 17) + n(g + 83) + "1", "same"},
          {B, "open " + name, "1"}, {B, "map 0 0", "1 @0"},
          {B, "check " + n(g + 1004) + n(2 * g - 904) + "1", "same"},
          {B, "check " + n(g + 904) + "100 2", "same"},
          {P, "check 0 " + n(g + 904) + "1", "same"}, {P, "check " + n(g + 904) + "100 2", "same"},
          {A, "free", "1"}, {B, "free", "1"}, {P, "unmap", "1"}, {P, "free", "1"},
          {P, "gone " + name, kGone}});
}

TEST_F(SharedBuffers, LockTimeoutsRecursionAndOwner)
{
    const std::string name = uniqueName("lock");
    play({{P, "alloc 4096 " + name, "1 1"}, {A, "alloc 4096 " + name, "1 0"},
          {A, "lock 0", "1"}, {P, "lock 0", "0"}, {P, "lock 50", "0 after timeout"},
          {P, "unlock", "1"}, {P, "lock 0", "0"}, // not the owner: reports 1, releases nothing
          {A, "unlock", "1"}, {P, "lock 50", "1"},
          {P, "lock 4294967295", "1"}, {P, "unlock", "1"}, {A, "lock 0", "0"}, // recursion: one take left
          {P, "threadlock 0", "0"}, // another thread of the owner's process waits like any other
          {P, "unlock", "1"}, {A, "lock 0", "1"}, {A, "unlock", "1"}, {A, "free", "1"}, {P, "free", "1"}});
}

TEST_F(SharedBuffers, OwnerKilledWhileHoldingTheLock)
{
#if !defined(_WIN32)
    void* head = nullptr;
    size_t length = 0;
    if (syscall(SYS_get_robust_list, 0, &head, &length) != 0) // qemu-user has no robust futexes
        GTEST_SKIP() << "this system cannot tell waiters that a lock's owner died";
#endif
    const std::string name = uniqueName("killed");
    play({{P, "alloc 4096 " + name, "1 1"}, {A, "alloc 4096 " + name, "1 0"}, {A, "lock 4294967295", "1"}});
    std::string waited;
    std::thread waiter([&] {
        waited = here_[Q].run("open " + name);
        waited += here_[Q].run("lock 20000");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto killed = std::chrono::steady_clock::now();
    play({{A, "(kill)", "137"}});
    waiter.join();
    EXPECT_EQ("11", waited);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(15));
    // It is the waiter's now; once released, nothing stays held.
    play({{Q, "unlock", "1"}, {Q, "free", "1"}, {B, "open " + name, "1"}, {B, "lock 0", "1"},
          {B, "unlock", "1"}, {B, "free", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone}});
}

// A name lives while a handle of it does; a view keeps its memory, not the name.
TEST_F(SharedBuffers, ObjectsEndWithTheLastHandle)
{
    const std::string name = uniqueName("end");
    play({{P, "alloc 8192 " + name, "1 1"}, {A, "open " + name, "1"}, {P, "free", "1"},
          {P, "open " + name, "1"}, {P, "free", "1"}, // the child still holds it
          // The last handle goes with a view of its process left: a new buffer is fresh memory.
          {A, "map 0 0", "1 @0"}, {A, "fill 0 8192 3", "same"}, {A, "free", "1"}, {P, "gone " + name, kGone},
          {P, "alloc 8192 " + name, "1 1"}, {P, "map 0 0", "1 @0"}, {P, "zero 0 8192", "same"},
          {A, "check 0 8192 3", "same"}, {A, "unmap", "1"},
          // The last handle goes with a view of another process left.
          {B, "open " + name, "1"}, {B, "map 0 0", "1 @0"}, {B, "fill 0 8192 5", "same"}, {B, "free", "1"},
          {P, "unmap", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone},
          {P, "alloc 8192 " + name, "1 1"}, {P, "map 0 0", "1 @0"}, {P, "zero 0 8192", "same"},
          {B, "check 0 8192 5", "same"}, {P, "unmap", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone},
          // A process that ends with its handles open closes them.
          {B, "alloc 8192 " + name, "1 1"}, {B, "(end)", "0"}, {P, "gone " + name, kGone}});
#if !defined(_WIN32)
    // A forked child's copies of the handles remove nothing, freed or left at its exit.
    play({{P, "alloc 8192 " + name, "1 1"}, {P, "fork 1", "1"}, {P, "fork 0", "1"},
          {Q, "open " + name, "1"}, {Q, "free", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone}});
#endif
    // Killed holding the only handle: nothing can be opened (on Linux the memory's file stays until
    // the name is next used).
    play({{C, "alloc 8192 " + name, "1 1"}, {C, "map 0 0", "1 @0"}, {C, "fill 0 8192 4", "same"},
          {C, "(kill)", "137"}});
    const std::string gone = at(P, "gone " + name);
    EXPECT_TRUE(gone == kGone || gone == "0 +memory" + kGone.substr(1)) << gone;
    play({{P, "alloc 8192 " + name, "1 1"}, {P, "map 0 0", "1 @0"}, {P, "zero 0 8192", "same"},
          {P, "unmap", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone}});
}

std::string mapRefused(uint32_t error)
{
    char text[96];
    std::snprintf(text, sizeof text, "0|VyrUtilMapSharedBuffer => Unable to map view of file (%#08x)\n",
                  error);
    return text;
}

TEST_F(SharedBuffers, BoundsOnRealObjects)
{
    const std::string name = uniqueName("bounds");
    const uint64_t g = granularity();
    play({{P, "alloc " + n(2 * g) + name, "1 1"}, {Q, "open " + name, "1"},
          {P, "map " + n(g) + n(g), "1 @0"}, {P, "fill " + n(2 * g - 1) + "1 5", "same"}, {P, "unmap", "1"},
          {P, "map " + n(g) + n(g + 1),
           "0|VyrUtilMapSharedBuffer => Invalid argument (bufOffset + bufMapSize > bufSize)"}});
#if defined(_WIN32)
    // What Windows says about a view past the end and off its granularity, asked directly.
    const HANDLE h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(nullptr, h);
    const uint32_t pastEnd = MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 2 * g + 4096) ? 0 : GetLastError();
    void* direct = MapViewOfFile(h, FILE_MAP_WRITE, 0, 4096, 10);
    const uint32_t misaligned = direct ? 0 : GetLastError();
    if (direct)
        UnmapViewOfFile(direct);
    CloseHandle(h);
#else
    const uint32_t pastEnd = 6, misaligned = 0; // ENXIO; any page offset maps
#endif
    // The opened object has no size to test against: the platform refuses bytes past the end.
    play({{Q, "map 0 " + n(2 * g + 4096), mapRefused(pastEnd)},
          {Q, "map 4101 10", misaligned ? mapRefused(misaligned) : "1 @5"},
          {Q, "free", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone}});
}

// Every name has objects of its own: one that is another buffer's lock is refused, and one without
// a name is private to its allocation.
TEST_F(SharedBuffers, NamesOfTheirOwn)
{
    const std::string name = uniqueName("a/b%c"), escaped = uniqueName("a%2Fb%25c");
#if !defined(_WIN32)
    const uint32_t inUse = 17; // EEXIST
    play({{A, "umask", "1"}, {A, "alloc 4096 " + name, "1 1"}});
    for (const std::string& file : {escaped, escaped + "_LOCK"}) { // every user, whatever the umask
        struct stat st;
        ASSERT_EQ(0, stat(("/dev/shm/" + file).c_str(), &st)) << file;
        EXPECT_EQ(0666u, st.st_mode & 0777) << file;
    }
#else
    const uint32_t inUse = 6; // ERROR_INVALID_HANDLE: a mutex holds the name
    play({{A, "alloc 4096 " + name, "1 1"}});
#endif
    char refused[128];
    std::snprintf(refused, sizeof refused,
                  "0|VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= %#08x)", inUse);
    play({{P, "alloc 4096 " + escaped, "1 1"}, {Q, "alloc 4096 " + name + "_LOCK", refused},
          {A, "free", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone}, {P, "gone " + escaped, kGone},
          {P, "gone " + name + "_LOCK", kGone},
          {P, "alloc 4096 ", "1 1"}, {Q, "alloc 4096 ", "1 1"},
          {P, "map 0 0", "1 @0"}, {Q, "map 0 0", "1 @0"},
          {P, "fill 0 1 7", "same"}, {Q, "zero 0 4096", "same"},
          {P, "unmap", "1"}, {Q, "unmap", "1"}, {P, "free", "1"}, {Q, "free", "1"}});
}
// clang-format on

} // namespace
} // namespace vyr::test
