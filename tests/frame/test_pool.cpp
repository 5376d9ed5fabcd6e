// The threads behind VyrFrameConvert: started once and reused, shared by callers converting at the
// same time, and made anew in a child of fork().
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "frame_images.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include "proc_files.h"
#endif

namespace vyr::test {
namespace {

// Malvar's frame: enough work per line that bands really run side by side.
struct Job {
    static constexpr uint32_t kWidth = 301, kHeight = 97;
    TestImage src{VYR_FRAME_BAYER8, kWidth, kHeight, kWidth + 3, Flush::Back, 11};

    std::vector<uint8_t> convert(uint32_t threads) const
    {
        TestImage dst(VYR_FRAME_RGBP8, kWidth, kHeight, kWidth + 1, Flush::Back, 12);
        const VyrFrameImage in = src.image(), out = dst.image();
        const VyrFrameOptions options = {0, VYR_FRAME_PATTERN_GBRG, VYR_FRAME_METHOD_MALVAR, 0, threads};
        EXPECT_EQ(VYR_FRAME_OK, VyrFrameConvert(&in, &out, &options)) << VyrFrameLastMessage();
        return dst.bytes();
    }
};

TEST(Pool, StartsItsThreadsOnceAndReusesThem)
{
#ifdef _WIN32
    GTEST_SKIP() << "threads are counted through /proc";
#else
    const Job job;
    const std::vector<uint8_t> alone = job.convert(1);
    // A runtime may start a helper of its own with the first thread (ThreadSanitizer does).
    std::thread([] {}).join();
    const size_t before = entriesOf("/proc/self/task");
    ASSERT_GT(before, 0u);
    EXPECT_EQ(alone, job.convert(4));
    const size_t started = entriesOf("/proc/self/task") - before;
    EXPECT_LE(started, 3u); // the caller converts too
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(alone, job.convert(i % 2 ? 4 : 2));
    EXPECT_EQ(before + started, entriesOf("/proc/self/task")) << "a frame started threads of its own";
#endif
}

TEST(Pool, CallersConvertingAtOnceShareIt)
{
    const Job job;
    const std::vector<uint8_t> alone = job.convert(1);
    std::vector<std::thread> callers;
    std::vector<int> mismatches(4, 0);
    for (unsigned c = 0; c < mismatches.size(); ++c) {
        callers.emplace_back([&, c] {
            for (int i = 0; i < 8; ++i)
                mismatches[c] += job.convert(2 + c) != alone;
        });
    }
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(std::vector<int>(4, 0), mismatches);
    EXPECT_EQ(alone, job.convert(0)); // one per processor
}

#if defined(__SANITIZE_THREAD__)
#define VYR_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VYR_THREAD_SANITIZER 1
#endif
#endif

TEST(Pool, AChildOfForkConvertsWithThreadsOfItsOwn)
{
#if defined(_WIN32)
    GTEST_SKIP() << "no fork() on Windows";
#elif defined(VYR_THREAD_SANITIZER)
    GTEST_SKIP() << "ThreadSanitizer ends a child of a threaded fork() that starts threads";
#else
    const Job job;
    const std::vector<uint8_t> alone = job.convert(1);
    ASSERT_EQ(alone, job.convert(3)); // the parent's pool exists before the fork
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0)
        _exit(job.convert(3) == alone && job.convert(2) == alone ? 0 : 1);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

} // namespace
} // namespace vyr::test
