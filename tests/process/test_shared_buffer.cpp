// Shared buffers between real processes. Names carry the pid, so parallel runs never meet.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

// Windows has no such directory.
bool fileOf(const std::string& name) { return std::filesystem::exists("/dev/shm/" + name); }

std::string n(uint64_t value) { return " " + std::to_string(value); }

uint8_t pattern(uint64_t k, uint32_t seed) { return uint8_t((k * 2654435761u + seed * 40503u) >> 11); }

// One buffer and one view, driven by command lines; offsets are the buffer's. Children run it on their input.
class Session {
public:
    std::string run(const std::string& command)
    {
        std::istringstream in(command);
        std::string verb, name;
        uint64_t a = 0, b = 0, c = 0;
        in >> verb;
        if (verb == "alloc" || verb == "open" || verb == "gone")
            in >> name;
        in >> a >> b >> c;
        if (verb == "alloc") {
            const uint32_t r = VyrUtilAllocSharedBuffer(a, name.c_str(), &buffer_);
            const std::string created = r ? " " + std::to_string(VyrUtilHasCreatedSharedBuffer(buffer_)) : "";
            return std::to_string(r) + created;
        }
        if (verb == "open")
            return std::to_string(VyrUtilOpenSharedBuffer(name.c_str(), &buffer_));
        if (verb == "gone") { // opening fails; on Linux " +memory", " +lock" tell the files left
            SharedBuffer* other = nullptr;
            const uint32_t r = VyrUtilOpenSharedBuffer(name.c_str(), &other);
            return std::to_string(r) + (fileOf(name) ? " +memory" : "") +
                   (fileOf(name + "_LOCK") ? " +lock" : "");
        }
        if (verb == "map") { // "1 @<the pointer's offset in its page>"
            viewOffset_ = a;
            view_ = static_cast<uint8_t*>(VyrUtilMapSharedBuffer(buffer_, a, b, &map_));
            return view_ ? "1 @" + std::to_string(uintptr_t(view_) % 4096) : "0";
        }
        if (verb == "check" || verb == "fill") { // at a, b bytes, pattern c
            uint8_t* p = view_ + (a - viewOffset_);
            for (uint64_t i = 0; verb == "fill" && i < b; ++i)
                p[i] = pattern(a + i, uint32_t(c));
            for (uint64_t i = 0; i < b; ++i) {
                if (p[i] != pattern(a + i, uint32_t(c)))
                    return "differs at " + std::to_string(a + i);
            }
            return "same";
        }
        if (verb == "lock") { // " after timeout" when a refusal took the timeout (a tick less on Windows)
            const auto start = std::chrono::steady_clock::now();
            const uint32_t r = VyrUtilLockSharedBuffer(buffer_, uint32_t(a));
            const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
            return std::to_string(r) + (!r && a && ms.count() >= 0.8 * double(a) ? " after timeout" : "");
        }
        if (verb == "unlock")
            return std::to_string(VyrUtilUnlockSharedBuffer(buffer_));
        if (verb == "unmap")
            return std::to_string(VyrUtilUnmapSharedBuffer(map_));
        if (verb == "free")
            return std::to_string(VyrUtilFreeSharedBuffer(buffer_));
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
    Session session;
    return serveLogged([&session](const std::string& command) { return session.run(command); });
}

const std::string kGone =
    "0|VyrUtilOpenSharedBuffer => Unable to create synchronization object (lastError: 0x2)";

// Actors: P and Q are sessions of this process, A and B child processes.
enum Actor { P, Q, A, B };
using Step = std::tuple<Actor, std::string, std::string>; // who, the command, the reply

class SharedBuffers : public LogCapture {
protected:
    // The reply carries "|<line>" for each line logged.
    std::string at(Actor who, const std::string& command)
    {
        if (who >= A)
            return (who == A ? a_ : b_).request(command).value_or("none");
        std::string out = here_[who].run(command);
        for (const std::string& line : logged())
            out += "|" + line;
        return out;
    }
    void play(const std::vector<Step>& steps)
    {
        for (const auto& [who, command, reply] : steps)
            ASSERT_EQ(reply, at(who, command)) << "actor "
                                               << "PQAB"[who] << ": " << command;
    }

    Session here_[2];
    ChildProcess a_{"buffer"}, b_{"buffer"};
};

// clang-format off
TEST_F(SharedBuffers, OneCreatorAmongRacingAllocators)
{
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < 8; ++i)
        children.push_back(std::make_unique<ChildProcess>("buffer"));
    for (int round = 0; round < 3; ++round) {
        const std::string name = uniqueName("race" + std::to_string(round));
        for (auto& child : children)
            ASSERT_TRUE(child->send("alloc " + name + " 8192"));
        int created = 0;
        for (auto& child : children) {
            const std::string got = child->readLine().value_or("none");
            EXPECT_TRUE(got == "1 0" || got == "1 1") << got;
            created += got == "1 1";
        }
        EXPECT_EQ(1, created) << "round " << round;
        for (auto& child : children)
            EXPECT_EQ("1", child->request("free"));
        play({{P, "gone " + name, kGone}});
    }
}

TEST_F(SharedBuffers, DataThroughViewsAtOffsets)
{
    const uint64_t g = 65536, size = 3 * g + 100; // Windows' view offsets are multiples of g
    const std::string name = uniqueName("da/ta%"), escaped = uniqueName("da%2Fta%");
#if !defined(_WIN32)
    const mode_t mask = umask(077);
    play({{P, "alloc " + name + n(size), "1 1"}});
    umask(mask);
    for (const std::string& file : {uniqueName("da%2Fta%25"), uniqueName("da%2Fta%25_LOCK")}) {
        struct stat st; // open to every user, whatever the umask
        EXPECT_TRUE(stat(("/dev/shm/" + file).c_str(), &st) == 0 && (st.st_mode & 0777) == 0666) << file;
    }
#else
    play({{P, "alloc " + name + n(size), "1 1"}});
#endif
    play({{P, "map 0 0", "1 @0"},
          {P, "fill 0" + n(size) + " 1", "same"},
          // Asked for more, it gets the memory that exists.
          {A, "alloc " + name + n(2 * size), "1 0"}, {A, "map" + n(g + 904) + n(g), "1 @904"},
          {A, "check" + n(g + 904) + n(g) + " 1", "same"}, {A, "fill" + n(g + 904) + " 100 2", "same"},
          {B, "open " + name, "1"}, {B, "map" + n(2 * g + 17) + " 0", "1 @17"}, // 0: to the end
          {B, "check" + n(2 * g + 17) + n(g + 83) + " 1", "same"},
          // '/' and '%' are the name's own characters: its spelling with '/' escaped is another buffer.
          {Q, "alloc " + escaped + n(size), "1 1"}, {Q, "free", "1"}, {Q, "open " + name, "1"}});
    // An opened buffer has no size to test against: the platform refuses a view past the end.
    const std::string pastEnd = at(Q, "map 0" + n(size + 4096));
    EXPECT_EQ(0u, pastEnd.rfind("0|VyrUtilMapSharedBuffer => Unable to map view of file (0x", 0)) << pastEnd;
    // The last handle goes with a view left: the name with it, the memory with the view.
    play({{Q, "free", "1"}, {A, "free", "1"}, {B, "free", "1"}, {P, "free", "1"}, {P, "gone " + name, kGone},
          {P, "gone " + escaped, kGone}, {P, "check" + n(g + 904) + " 100 2", "same"}, {P, "unmap", "1"}});
}

// Sizes no system can back are refused when allocated, not when mapped, with the allocation's failure
// message, and leave no name behind.
TEST_F(SharedBuffers, SizesNoSystemCanBackAreRefusedAtOnce)
{
#if defined(_WIN32)
    if (GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version"))
        GTEST_SKIP() << "wine backs a mapping of any size with a sparse file; Windows commits it or refuses";
#endif
    const std::string refused = "0|VyrUtilAllocSharedBuffer => Unable to create file mapping (lastError= 0x";
    for (uint64_t size : {uint64_t(1) << 40, (uint64_t(1) << 63) - 1, ~uint64_t(0)}) {
        const std::string name = uniqueName("huge"), got = at(P, "alloc " + name + n(size));
        EXPECT_EQ(0u, got.rfind(refused, 0)) << size << ": " << got;
        play({{P, "gone " + name, kGone}});
    }
#if !defined(_WIN32)
    // One byte more than the shared-memory file system has free once the buffer's lock has taken its
    // block; taken only where other processes freed some meanwhile, and then tried again.
    for (int attempt = 1;; ++attempt) {
        struct statvfs fs;
        ASSERT_EQ(0, statvfs("/dev/shm", &fs));
        const std::string name = uniqueName("free");
        const std::string got = at(P, "alloc " + name + n((uint64_t(fs.f_bavail) - 1) * fs.f_frsize + 1));
        if (got.rfind(refused, 0) == 0)
            return play({{P, "gone " + name, kGone}});
        play({{P, "free", "1"}});
        ASSERT_LT(attempt, 5) << got;
    }
#endif
}

TEST_F(SharedBuffers, LockTimeoutsRecursionAndOwner)
{
    const std::string name = uniqueName("lock");
    play({{P, "alloc " + name + " 4096", "1 1"}, {A, "alloc " + name + " 4096", "1 0"},
          {A, "lock 0", "1"}, {P, "lock 0", "0"}, {P, "lock 50", "0 after timeout"},
          {P, "unlock", "1"}, {P, "lock 0", "0"}, // not the owner: reports 1, releases nothing
          {A, "unlock", "1"}, {P, "lock 50", "1"},
          {P, "lock 4294967295", "1"}, {P, "unlock", "1"}, {A, "lock 0", "0"}, // recursion: one take left
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
    play({{P, "alloc " + name + " 4096", "1 1"}, {A, "alloc " + name + " 4096", "1 0"},
          {A, "lock 4294967295", "1"}, {B, "open " + name, "1"}});
    ASSERT_TRUE(b_.send("lock 20000")); // B waits
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    a_.kill();
    EXPECT_EQ(137, a_.wait());
    EXPECT_EQ("1", b_.readLine().value_or("none")); // the waiter has it now
    // Once released, nothing stays held.
    play({{B, "unlock", "1"}, {P, "lock 0", "1"}, {P, "unlock", "1"}, {B, "free", "1"}, {P, "free", "1"},
          {P, "gone " + name, kGone}});
}
// clang-format on

} // namespace
} // namespace vyr::test
