// fork() while other threads are inside the library: the child, whose only thread is the one that
// forked, must find no lock of the library held for ever.
#include <gtest/gtest.h>

#if defined(_WIN32)

TEST(ForkedChild, NeverInheritsAHeldLock) { GTEST_SKIP() << "fork is a POSIX call"; }

#else

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "OS/os.h"
#include "VyrLog.h"
#include "VyrUtility.h"
#include "child_process.h"

namespace vyr::test {
namespace {

std::atomic<int> g_logged{0};
void VYRLOG_CDECL countLine(void*, int32_t, const char*, int32_t, const char*) { ++g_logged; }

#if defined(__SANITIZE_ADDRESS__) || defined(VYR_THREAD_SANITIZER)
constexpr int kForks = 100;
#else
constexpr int kForks = 200;
#endif

// One use of each lock: a view (the view list), a buffer of a name of its own (the named-handle list
// and the lock object), a log line (the logging library's lock), the monitor's stop (its start-stop
// lock; a child must not wait for the parent's thread), unmapping a reserved range (the page pool's
// lock). Each says whether it succeeded; threads run them in a loop, a child once each.
std::vector<std::function<bool()>> lockUses(SharedBuffer* buffer, uint64_t at, const std::string& own,
                                            void* range, bool inChild)
{
    return {[=] {
                SharedBufferMap* view = nullptr;
                return VyrUtilMapSharedBuffer(buffer, at, at, &view) && VyrUtilUnmapSharedBuffer(view) == 1;
            },
            [=] {
                SharedBuffer* b = nullptr;
                return VyrUtilAllocSharedBuffer(4096, own.c_str(), &b) && VyrUtilFreeSharedBuffer(b) == 1;
            },
            [] { return VyrUtilUnmapSharedBuffer(nullptr) == 1; }, // logs
            [=] {
                if (!inChild)
                    VyrUtilEnterCpuUsage(1, 4);
                return VyrUtilLeaveCpuUsage() == 1;
            },
            [=] {
                uint32_t error = 0;
                return os::platform().mapPhysicalPages(range, 1, nullptr, &error) == 1;
            }};
}

// Threads use every lock in a loop while the test forks; every child must be done at once. Without
// locks held across fork(), a child inherits one now and then held by a thread that does not exist
// there. A child's exit code tells the first use that failed; the use it is in goes to a page shared
// with the parent, which names it if the child hangs.
TEST(ForkedChild, NeverInheritsAHeldLock)
{
    VyrLogSetHandler(countLine, nullptr);
    const std::string name = uniqueName("fork");
    SharedBuffer* buffer = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(65536, name.c_str(), &buffer));
    void* range = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, range);

    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (const auto& use : lockUses(buffer, 4096, name + ".thread", range, false))
        threads.emplace_back([&stop, use] {
            while (!stop)
                use();
        });

    auto* step = static_cast<volatile int*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, (void*)step);
    int hung = 0;
    for (int i = 0; i < kForks; ++i) {
        const auto uses = lockUses(buffer, 0, name + ".child" + std::to_string(i), range, true);
        *step = 1;
        const pid_t child = fork();
        if (child == 0) {
            while (*step <= int(uses.size()) && uses[*step - 1]())
                ++*step;
            _exit(*step <= int(uses.size()) ? *step : 0);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ++hung;
                ADD_FAILURE() << "child " << i << " hung in step " << *step;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "child " << i << (WIFEXITED(status) ? " failed step " : " ended by signal ")
            << (WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    }
    stop = true;
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(0, hung) << "children that hung, of " << kForks;
    EXPECT_EQ(1u, VyrUtilFreeSharedBuffer(buffer));
    munmap(range, 4096);
    munmap((void*)step, 4096);
    VyrLogSetHandler(nullptr, nullptr);
    EXPECT_GT(g_logged.load(), 0);
}

} // namespace
} // namespace vyr::test

#endif
