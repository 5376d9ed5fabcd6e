// User-buffer rules on a fake page provider whose frame numbers, shortages and refusals the test chooses.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <numeric>
#include <set>

#include "OS/user_buffer.h"
#include "buffer_rules.h"

namespace vyr::test {
namespace {

using Frame = os::FrameNumber;
using Frames = std::vector<Frame>;
constexpr Frame kHigh = 0x100000; // the first frame at 4 GB

// The fake page provider: it hands out the supply in order and frees only frames it handed out.
struct Fake {
    bool available = true, privilege = true, allocate = true, map = true, unmap = true, reserve = true,
         release = true;
    size_t freeRefusedAt = SIZE_MAX, grantLimit = SIZE_MAX; // pages freed before a refusal; most granted
    uint32_t error = 0;
    std::deque<Frame> supply;
    std::set<Frame> owned;
};
Fake g;
uint8_t* const kRange = reinterpret_cast<uint8_t*>(uintptr_t(0x40000000)); // never touched

std::string where(void* address) { return std::to_string(static_cast<uint8_t*>(address) - kRange); }

Frames run(size_t count, Frame first)
{
    Frames out(count);
    std::iota(out.begin(), out.end(), first);
    return out;
}

class UserBufferRules : public BufferRules {
protected:
    UserBufferRules() : BufferRules("..\\..\\OS\\Windows\\userBuffer") {}
    void SetUp() override
    {
        BufferRules::SetUp();
        g = Fake();
        p_.openProcessToken = [](os::Handle* t) { return int32_t(*t = 1); };
        p_.lookupPrivilege = [](const char*, uint64_t* id) { return int32_t(*id = 1); };
        p_.adjustPrivilege = [](os::Handle, uint64_t, bool, uint32_t* e) -> int32_t {
            *e = g.privilege ? 0 : 1300; // not held by the account
            return 1;
        };
        p_.closeToken = [](os::Handle) {};
        p_.physicalPagesAvailable = [] { return g.available; };
        p_.allocatePhysicalPages = [](uintptr_t* count, Frame* frames, uint32_t* e) -> int32_t {
            record("allocate " + std::to_string(*count));
            *e = g.error;
            const size_t n = std::min<size_t>({*count, g.grantLimit, g.supply.size()});
            if (!g.allocate || n == 0)
                return 0;
            for (size_t i = 0; i < n; ++i, g.supply.pop_front())
                g.owned.insert(frames[i] = g.supply.front());
            *count = n;
            return 1;
        };
        p_.freePhysicalPages = [](uintptr_t* count, Frame* frames, uint32_t*) -> int32_t {
            record("free " + std::to_string(*count));
            uintptr_t freed = 0;
            while (freed < *count && freed != g.freeRefusedAt && g.owned.erase(frames[freed]) == 1)
                ++freed;
            std::swap(freed, *count);
            return freed == *count;
        };
        p_.mapPhysicalPages = [](void* at, uintptr_t count, const Frame* frames, uint32_t* e) -> int32_t {
            std::string call = (frames ? "map " : "unmap ") + where(at) + " " + std::to_string(count);
            for (uintptr_t i = 0; frames && i < count; ++i)
                call += " " + std::to_string(frames[i]);
            record(call);
            *e = g.error;
            return frames ? g.map : g.unmap;
        };
        p_.reservePhysicalRange = [](size_t bytes, uint32_t*) -> void* {
            record("reserve " + std::to_string(bytes));
            return g.reserve ? kRange : nullptr;
        };
        p_.releasePhysicalRange = [](void* address, size_t bytes, uint32_t*) -> int32_t {
            record("release " + where(address) + " " + std::to_string(bytes));
            return g.release;
        };
    }
    void TearDown() override
    {
        EXPECT_TRUE(g.owned.empty()) << g.owned.size() << " pages left";
        BufferRules::TearDown();
    }
    // A buffer of the given frames, through the allocation.
    UserBuffer* buffer(const Frames& frames, uint64_t size)
    {
        g.supply.assign(frames.begin(), frames.end());
        UserBuffer* b = nullptr;
        EXPECT_EQ(1u, os::user_buffer::allocate(p_, &size, &b));
        calls();
        return b;
    }
    Frames frames(const UserBuffer* b) { return {b->pfnArray, b->pfnArray + b->numberOfPages}; }
};

TEST_F(UserBufferRules, AllocationAndFree)
{
    for (size_t limit : {size_t(3), size_t(2)}) {
        g.grantLimit = limit;
        g.supply = {11, 12, 13};
        uint64_t size = 10000;
        UserBuffer* b = nullptr;
        ASSERT_EQ(1u, os::user_buffer::allocate(p_, &size, &b));
        EXPECT_EQ(limit == 3 ? 10000u : 8192u, size); // written back only when fewer are granted
        EXPECT_EQ(size, b->bufSize);
        EXPECT_EQ(limit == 3 ? Frames({11, 12, 13}) : Frames({11, 12}), frames(b));
        EXPECT_EQ(1u, os::user_buffer::release(p_, b));
        EXPECT_EQ(Lines({"allocate 3", "free " + std::to_string(limit)}), calls());
    }
    UserBuffer* out = nullptr;
    uint64_t size = 5 * 1048576 + 1, zero = 0;
    g.available = false;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, nullptr, nullptr)); // checked before the arguments
    g.available = true;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &size, nullptr));
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, nullptr, &out));
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &zero, &out));
    g_recorder.heapRefusedIn = 0;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &size, &out));
    g_recorder.heapRefusedIn = 1;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &size, &out));
    g.privilege = false;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &size, &out));
    g.privilege = true;
    g.error = 0x5AF;
    g.allocate = false;
    EXPECT_EQ(0u, os::user_buffer::allocate(p_, &size, &out));
    EXPECT_EQ(Lines({"allocate 1281"}), calls());
    EXPECT_EQ(nullptr, out);
    // A refused free keeps the pages not freed, for a second try.
    g = Fake();
    UserBuffer* b = buffer({21, 22, 23, 24}, 16384);
    g.freeRefusedAt = 1;
    EXPECT_EQ(0u, os::user_buffer::release(p_, b));
    EXPECT_EQ(Frames({22, 23, 24}), frames(b));
    g.freeRefusedAt = SIZE_MAX;
    g_recorder.releaseRefused = true;
    EXPECT_EQ(0u, os::user_buffer::release(p_, b));
    g_recorder.releaseRefused = false;
    EXPECT_EQ(Lines({"free 4", "free 3"}), calls());
    EXPECT_EQ(0u, os::user_buffer::release(p_, nullptr));
    const std::string alloc = "VyrUtilAllocUserBuffer=> ", invalid = alloc + "Argument invalid ( ",
                      spaced = "VyrUtilAllocUserBuffer => ", free = "VyrUtilFreeUserBuffer=> ";
    const std::string arrayBytes = std::to_string(1281 * sizeof(uintptr_t)); // frame numbers are pointer-wide
    EXPECT_EQ(
        Lines({alloc + "Not available", invalid + "pBufObject == NULL)", invalid + "bufSize == NULL)",
               invalid + "*bufSize == 0)", alloc + "Unable to allocate internal storage",
               spaced + "Cannot allocate the user PFN array ( 1281 pages == " + arrayBytes + " Bytes)",
               "VyrUtilAdjustProcessPrivilege => Cannot enable \"SeLockMemoryPrivilege\" privilege, "
               "please check the local policy",
               spaced + "Cannot allocate physical memory ( 1281 pages ==> 5 MBytes)",
               spaced + "lastError: 0x5af", free + "Cannot free physical memory ( 1 pages)",
               free + "Cannot free the user PFN array", free + "Argument invalid ( pBufObject == NULL)"}),
        logged());
    // The pages are back: the array and object go without the platform.
    EXPECT_EQ(1u, os::user_buffer::release(p_, b));
    EXPECT_TRUE(calls().empty());
}

// High pages are swapped in order for the low pages of a spare buffer of at least 8192 pages; while
// some stay high, the next level takes a spare buffer of its own, until a spare buffer falls short.
TEST_F(UserBufferRules, PagesAbove4GAndTheirReplacement)
{
    const auto high = [](Frames frames, std::vector<size_t> at) {
        for (size_t i : at)
            frames[i] = kHigh + i;
        return frames;
    };
    const Frames big = high(run(9000, 100), {0, 4000, 8999});
    const Frames levels = run(8999, kHigh + 10000) + Frames{20000} + run(9000, kHigh + 30000);
    const Lines three = {"allocate 9000", "allocate 9000", "allocate 9000"};
    // The target, the spare supply, the result, the calls, and the pages swapped in.
    const std::tuple<Frames, Frames, uint32_t, Lines, std::map<size_t, Frame>> cases[] = {
        {high(run(100, 1000), {3, 50, 99}),
         run(2, kHigh + 500) + run(8190, 7000),
         1,
         {"allocate 8192", "free 8192"},
         {{3, 7000}, {50, 7001}, {99, 7002}}},
        {big,
         levels + run(9000, 50000),
         1,
         three + Lines{"free 9000", "free 9000", "free 9000"},
         {{0, 20000}, {4000, 50000}, {8999, 50001}}},
        {big,
         levels + run(8999, 50000),
         0,
         three + Lines{"free 8999", "free 9000", "free 9000"},
         {{0, 20000}}},
    };
    for (const auto& [target, spares, result, made, swapped] : cases) {
        UserBuffer* b = buffer(target, target.size() * 4096);
        g.supply.insert(g.supply.end(), spares.begin(), spares.end());
        EXPECT_EQ(result, os::user_buffer::replaceAbove4G(p_, b));
        EXPECT_EQ(made, calls());
        Frames want = target;
        for (const auto& [i, frame] : swapped)
            want[i] = frame;
        EXPECT_EQ(want, frames(b));
        EXPECT_EQ(1u, os::user_buffer::release(p_, b));
        calls();
    }
    // The scatter-gather list holds the pages below 4 GB only.
    UserBuffer* b = buffer({5, kHigh - 1, 0x7FFFF}, 12288);
    UserBufferSgEntry entries[3] = {};
    EXPECT_EQ(0u, os::user_buffer::pages(p_, b, entries, 2));
    ASSERT_EQ(1u, os::user_buffer::pages(p_, b, entries, 3));
    const std::pair<uint32_t, uint32_t> want[3] = {{0x5000, 4096}, {0xFFFFF000, 4096}, {0x7FFFF000, 4096}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(want[i], std::make_pair(entries[i].physicalAddress, entries[i].length)) << i;
    EXPECT_EQ(1u, os::user_buffer::allBelow4G(b));
    b->pfnArray[2] = kHigh;
    EXPECT_EQ(0u, os::user_buffer::pages(p_, b, entries, 3));
    EXPECT_EQ(0u, os::user_buffer::allBelow4G(b));
    EXPECT_EQ(0u, os::user_buffer::allBelow4G(nullptr));
    EXPECT_EQ(0u, os::user_buffer::pages(p_, nullptr, entries, 3));
    g_recorder.heapRefusedIn = 0;
    EXPECT_EQ(0u, os::user_buffer::replaceAbove4G(p_, b));
    EXPECT_EQ(0u, os::user_buffer::replaceAbove4G(p_, nullptr));
    EXPECT_EQ(Lines({"VyrUtilGetSegUserBuffer=> Argument invalid ( nSgEntry < numberOfPages)",
                     "VyrUtilGetPagesUserBuffer=> At least one page is above 4 GBytes",
                     "VyrUtilIsPagesBelow4GUserBuffer=> Argument invalid ( pBufObject == NULL)",
                     "VyrUtilGetSegUserBuffer=> Argument invalid ( pBufObject == NULL)",
                     "VyrUtilReplacePagesAbove4GUserBuffer=> Cannot allocate internal data structure",
                     "VyrUtilReplacePagesAbove4GUserBuffer=> Argument invalid (pBufObject == NULL)"}),
              logged());
    EXPECT_TRUE(calls().empty());
    b->pfnArray[2] = 0x7FFFF;
    os::user_buffer::release(p_, b);
}

TEST_F(UserBufferRules, MappingRangesAndRefusals)
{
    UserBuffer* b = buffer({31, 32, 33}, 10000);
    // Where the pointer lands in the range, then the calls of the mapping and unmapping.
    const auto mapped = [&](uint64_t offset, uint64_t size, void* address) {
        UserBufferMap* m = nullptr;
        const std::string at = where(os::user_buffer::map(p_, b, offset, size, address, &m));
        EXPECT_EQ(1u, os::user_buffer::unmap(p_, m));
        return Lines{at} + calls();
    };
    EXPECT_EQ(Lines({"904", "reserve 8192", "map 0 2 32 33", "unmap 0 2", "release 0 8192"}),
              mapped(5000, 4000, nullptr));
    EXPECT_EQ(Lines({"1048577", "map 1048576 1 33", "unmap 1048576 1"}), // the caller's range stays reserved
              mapped(8193, 1, kRange + 0x100000));
    UserBufferMap* m = nullptr;
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, b, 9999, 2, nullptr, &m));
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, nullptr, 0, 1, nullptr, &m));
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, b, 0, 1, nullptr, nullptr));
    EXPECT_EQ(0u, os::user_buffer::unmap(p_, nullptr));
    g_recorder.heapRefusedIn = 0;
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, b, 0, 1, nullptr, &m));
    g.reserve = false;
    g.error = 0x57;
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, b, 5000, 4000, nullptr, &m));
    g.reserve = true;
    g.map = false;
    g.release = false;
    EXPECT_EQ(nullptr, os::user_buffer::map(p_, b, 5000, 4000, nullptr, &m));
    EXPECT_EQ(nullptr,
              os::user_buffer::map(p_, b, 5000, 4000, kRange, &m)); // the caller's range is not released
    g.map = true;
    g.unmap = false;
    ASSERT_NE(nullptr, os::user_buffer::map(p_, b, 0, 1, nullptr, &m));
    EXPECT_EQ(0u, os::user_buffer::unmap(p_, m)); // unmapping goes on after a refusal
    EXPECT_EQ(Lines({"reserve 8192", "reserve 8192", "map 0 2 32 33", "release 0 8192", "map 0 2 32 33",
                     "reserve 4096", "map 0 1 31", "unmap 0 1", "release 0 4096"}),
              calls());
    const std::string map = "VyrUtilMapUserBufferEx=> ", unmap = "VyrUtilUnmapUserBuffer => ",
                      invalid = map + "Argument invalid ( ";
    const std::string error = map + "lastError= 0x57", denied = map + "Cannot map physical memory ( 2 pages)";
    EXPECT_EQ(
        Lines({map + "Argument out of range ( bufOffset + bufMapSize > bufSize)",
               invalid + "pBufObject == NULL)", invalid + "ppBufMapObject == NULL)",
               "VyrUtilUnmapUserBuffer=> Argument invalid ( pBufMapObject == NULL)",
               map + "Unable to allocate internal storage", map + "Cannot reserve virtual memory ( 8 KBytes)",
               denied, error, "VyrUtilMapUserBufferEx => Cannot free virtual memory ( 2 pages)", denied,
               error, unmap + "Cannot unmap physical memory ( 1 pages)", unmap + "lastError= 0x57",
               unmap + "Cannot free virtual memory ( 1 pages)"}),
        logged());
    os::user_buffer::release(p_, b);
}

} // namespace
} // namespace vyr::test
