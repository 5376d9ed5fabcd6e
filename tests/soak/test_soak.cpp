// Soak runs (label soak, built with -DVYR_SOAK=ON): the services that processes and threads share,
// round after round, with processes killed at random. Each run prints its figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "VyrUtility.h"
#include "child_process.h"
#include "proc_files.h"

namespace vyr::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWorkers = 8;
constexpr uint64_t kRounds = 100000;
constexpr int kKills = 24;
constexpr int kSlots = kWorkers + kKills;

// The shared buffer's contents: the increments of all processes, and those of the process in each slot.
struct Tally {
    uint64_t total;
    uint64_t bySlot[kSlots];
};

// Puts the total right after a process that was killed between its two writes; true when it had to.
bool repair(Tally* t)
{
    const uint64_t sum = std::accumulate(std::begin(t->bySlot), std::end(t->bySlot), uint64_t(0));
    return std::exchange(t->total, sum) != sum;
}

// "<name> <slot> <rounds>": opens the buffer and answers "ready"; at "go", round after round takes the
// lock, repairs, counts one in its slot and in the total, and lets go. Answers "done <repairs>". Now
// and then it sleeps between the two writes, so that others wait for the lock and a kill may find
// the holder there.
VYR_CHILD_MAIN(counter)
{
    std::istringstream in(nextCommand().value_or(""));
    std::string name;
    int slot = 0;
    uint64_t rounds = 0, repairs = 0;
    in >> name >> slot >> rounds;
    SharedBuffer* buffer = nullptr;
    SharedBufferMap* view = nullptr;
    auto* t = VyrUtilOpenSharedBuffer(name.c_str(), &buffer)
                  ? static_cast<Tally*>(VyrUtilMapSharedBuffer(buffer, 0, sizeof(Tally), &view))
                  : nullptr;
    reply(t ? "ready" : "cannot open " + name);
    if (!t || nextCommand() != "go")
        return 1;
    uint64_t r = 0;
    for (; r < rounds && VyrUtilLockSharedBuffer(buffer, 0xFFFFFFFF) == 1; ++r) {
        repairs += repair(t);
        ++t->bySlot[slot];
        if (r % 256 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        ++t->total;
        VyrUtilUnlockSharedBuffer(buffer);
    }
    VyrUtilUnmapSharedBuffer(view);
    VyrUtilFreeSharedBuffer(buffer);
    reply(r == rounds ? "done " + std::to_string(repairs) : "lock refused");
    return r == rounds ? 0 : 1;
}

// 8 processes count 10^5 rounds each under the buffer's lock while others, started in their place,
// are killed at random (often holding the lock): every round of every process that lived is counted,
// the total agrees with the slots, and no object is left in /dev/shm.
TEST(Soak, LockedCountersOfLivingAndKilledProcesses)
{
    const std::string prefix = "VyrSoak." + std::to_string(getpid()), name = prefix + ".tally";
    SharedBuffer* buffer = nullptr;
    SharedBufferMap* view = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocSharedBuffer(sizeof(Tally), name.c_str(), &buffer));
    auto* t = static_cast<Tally*>(VyrUtilMapSharedBuffer(buffer, 0, 0, &view));
    ASSERT_NE(nullptr, t);

    const unsigned seed = unsigned(Clock::now().time_since_epoch().count());
    std::mt19937 random(seed);
    std::vector<std::unique_ptr<ChildProcess>> workers; // the process of each slot
    std::vector<size_t> running;                        // their slots
    std::vector<bool> killed;
    const auto start = [&] {
        const std::string slot = std::to_string(workers.size());
        workers.push_back(std::make_unique<ChildProcess>("counter"));
        killed.push_back(false);
        ASSERT_EQ("ready", workers.back()->request(name + " " + slot + " " + std::to_string(kRounds)));
        running.push_back(workers.size() - 1);
    };
    for (int slot = 0; slot < kWorkers; ++slot)
        start();
    for (size_t slot : running)
        ASSERT_TRUE(workers[slot]->send("go"));
    uint64_t repairs = 0;
    const auto began = Clock::now();
    auto nextKill = began + std::chrono::milliseconds(random() % 40);
    while (!running.empty()) {
        for (size_t i = 0; i < running.size(); ++i) {
            if (const auto line = workers[running[i]]->readLine(5)) {
                ASSERT_EQ(0u, line->rfind("done ", 0)) << "slot " << running[i] << ": " << *line;
                repairs += std::stoull(line->substr(5));
                running.erase(running.begin() + std::ptrdiff_t(i--));
            }
        }
        if (workers.size() < kSlots && !running.empty() && Clock::now() >= nextKill) {
            const size_t at = random() % running.size(), victim = running[at];
            workers[victim]->kill();
            workers[victim]->wait();
            killed[victim] = true;
            running.erase(running.begin() + std::ptrdiff_t(at));
            start(); // another process takes its place
            ASSERT_TRUE(workers.back()->send("go"));
            nextKill = Clock::now() + std::chrono::milliseconds(random() % 40);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();

    ASSERT_EQ(1u, VyrUtilLockSharedBuffer(buffer, 0xFFFFFFFF));
    repairs += repair(t);
    const Tally tally = *t;
    VyrUtilUnlockSharedBuffer(buffer);
    uint64_t lost = 0, killedRounds = 0;
    for (size_t slot = 0; slot < workers.size(); ++slot) {
        const uint64_t got = tally.bySlot[slot];
        killedRounds += killed[slot] ? got : 0;
        lost += killed[slot] ? 0 : kRounds - std::min(kRounds, got);
        EXPECT_TRUE(killed[slot] ? got <= kRounds : got == kRounds) << "slot " << slot << ": " << got;
    }
    workers.clear();
    EXPECT_EQ(1u, VyrUtilUnmapSharedBuffer(view));
    EXPECT_EQ(1u, VyrUtilFreeSharedBuffer(buffer));
    const size_t left = entriesOf("/dev/shm", prefix.c_str());
    EXPECT_EQ(0u, left) << "objects named " << prefix << "* left";
    std::cout << "shared buffer: " << kWorkers << " survivors x " << kRounds << " rounds, "
              << killed.size() - kWorkers << " kills (their rounds counted: " << killedRounds << "), total "
              << tally.total << ", " << repairs << " totals repaired after a kill, lost updates " << lost
              << ", leftover objects " << left << ", " << seconds << " s, seed " << seed << std::endl;
}

// Two threads allocate user buffers of random sizes, map them where the library chooses and into a
// range of their own, write and read through both, unmap and free, 10^4 times in all: every step
// succeeds, and afterwards nothing is locked or mapped.
TEST(Soak, UserBuffersAllocatedMappedAndFreed)
{
    uint64_t probe = 4096;
    UserBuffer* first = nullptr;
    if (!VyrUtilAllocUserBuffer(&probe, &first))
        GTEST_SKIP() << "this process gets no locked pages";
    VyrUtilFreeUserBuffer(first);
    const uint64_t locked = procValue("/proc/self/status", "VmLck:");
    std::atomic<int> failures{0};
    const auto began = Clock::now();
    std::vector<std::thread> churners;
    for (int c = 0; c < 2; ++c) {
        churners.emplace_back([&failures, c] {
            std::mt19937 random(unsigned(c + 1));
            for (int i = 0; i < 5000; ++i) {
                uint64_t size = 1 + random() % (64 * 4096);
                UserBuffer* b = nullptr;
                if (!VyrUtilAllocUserBuffer(&size, &b)) {
                    ++failures;
                    continue;
                }
                const size_t pages = size_t((size + 4095) / 4096);
                void* range = mmap(nullptr, pages * 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                UserBufferMap *ours = nullptr, *theirs = nullptr;
                auto* a = static_cast<uint8_t*>(VyrUtilMapUserBuffer(b, 0, size, &ours));
                auto* r = static_cast<uint8_t*>(VyrUtilMapUserBufferEx(b, 0, size, range, &theirs));
                bool same = a && r;
                for (size_t p = 0; same && p < pages; ++p) {
                    a[p * 4096] = uint8_t(i + p);
                    same = r[p * 4096] == uint8_t(i + p);
                }
                failures += !same;
                failures += a && VyrUtilUnmapUserBuffer(ours) != 1;
                failures += r && VyrUtilUnmapUserBuffer(theirs) != 1;
                munmap(range, pages * 4096);
                failures += VyrUtilFreeUserBuffer(b) != 1;
            }
        });
    }
    for (std::thread& c : churners)
        c.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(locked, procValue("/proc/self/status", "VmLck:"));
    std::ifstream maps("/proc/self/maps");
    const std::string all((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::string::npos, all.find("VyrUtility user pages")) << "pool pages still mapped";
    std::cout << "user buffers: 10000 allocate/map/unmap/free cycles from 2 threads, " << failures
              << " failures, " << seconds << " s" << std::endl;
}

} // namespace
} // namespace vyr::test
