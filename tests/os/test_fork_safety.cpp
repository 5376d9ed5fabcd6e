// fork() while other threads are inside the library: the child, whose only thread is the one that
// forked, must find no lock of the library held for ever.
#include <gtest/gtest.h>

#if defined(_WIN32)

TEST(ForkedChild, NeverInheritsAHeldLock) { GTEST_SKIP() << "fork is a POSIX call"; }

#else

#include <atomic>
#include <chrono>
#include <csignal>
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

// What the child does with each lock: a view (the view list), a buffer of a name of its own (the
// named-handle list and the lock object), a log line (the logging library's lock), the monitor's
// stop (its start-stop lock, and the parent's thread it must not wait for), unmapping a reserved
// range (the page pool's lock). Its exit code tells the first step that failed.
// The step it is in goes to a page shared with the parent, which names it if the child hangs.
int childSteps(SharedBuffer* buffer, const std::string& name, void* range, volatile int* step)
{
    *step = 1;
    SharedBufferMap* view = nullptr;
    if (!VyrUtilMapSharedBuffer(buffer, 0, 0, &view) || VyrUtilUnmapSharedBuffer(view) != 1)
        return 1;
    *step = 2;
    SharedBuffer* own = nullptr;
    if (!VyrUtilAllocSharedBuffer(4096, name.c_str(), &own) || VyrUtilFreeSharedBuffer(own) != 1)
        return 2;
    *step = 3;
    if (VyrUtilUnmapSharedBuffer(nullptr) != 1)
        return 3;
    *step = 4;
    if (VyrUtilLeaveCpuUsage() != 1)
        return 4;
    *step = 5;
    uint32_t error = 0;
    if (os::platform().mapPhysicalPages(range, 1, nullptr, &error) != 1)
        return 5;
    *step = 6;
    return 0;
}

// Threads map and unmap views, allocate and free buffers, log, start and stop the monitor and unmap
// pages, each in a loop, while the test forks; every child must be done at once. Without locks held
// across fork(), a child inherits one now and then held by a thread that does not exist there.
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
    threads.emplace_back([&] {
        while (!stop) {
            SharedBufferMap* view = nullptr;
            if (VyrUtilMapSharedBuffer(buffer, 4096, 4096, &view))
                VyrUtilUnmapSharedBuffer(view);
        }
    });
    threads.emplace_back([&] {
        const std::string own = name + ".thread";
        for (SharedBuffer* b = nullptr; !stop;) {
            if (VyrUtilAllocSharedBuffer(4096, own.c_str(), &b))
                VyrUtilFreeSharedBuffer(b);
        }
    });
    threads.emplace_back([&] {
        while (!stop)
            VyrUtilUnmapSharedBuffer(nullptr); // logs
    });
    threads.emplace_back([&] {
        while (!stop) {
            VyrUtilEnterCpuUsage(1, 4);
            VyrUtilLeaveCpuUsage();
        }
    });
    threads.emplace_back([&] {
        uint32_t error = 0;
        while (!stop)
            os::platform().mapPhysicalPages(range, 1, nullptr, &error);
    });

    auto* step = static_cast<volatile int*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, (void*)step);
    int hung = 0;
    for (int i = 0; i < kForks; ++i) {
        *step = 0;
        const pid_t child = fork();
        if (child == 0)
            _exit(childSteps(buffer, name + ".child" + std::to_string(i), range, step));
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
