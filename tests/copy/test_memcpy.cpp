// The fast copy on each of its paths: the source's bytes at every size and offset, nothing touched
// outside the destination, and the head, body and tail of each path as its rules lay them out.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "VyrUtility.h"
#include "bytes.h"
#include "copy/memcpy.h"
#include "guarded_buffer.h"

namespace vyr::test {
namespace {

using PathCase = std::pair<const char*, copy::Path>;

void viaExport(const copy::Moves&, uint8_t* dst, const uint8_t* src, uint32_t size, bool alignOnSrc)
{
    if (VyrUtilMemcpy(dst, src, size, alignOnSrc ? 0x301u : 0x100u) != dst) // only the low byte counts
        ADD_FAILURE() << "result is not dst";
}

// The paths this processor runs, and the export.
std::vector<PathCase> runnablePaths()
{
    std::vector<PathCase> out = {{"scalar", copy::scalarPath}, {"export", viaExport}};
    if (VyrUtilIsMMX())
        out.push_back({"mmx", copy::mmxPath});
    if (VyrUtilIsSSE())
        out.push_back({"sse", copy::ssePath});
    return out;
}

// Two guarded pages for the source and two for the destination. A run sits at the front (flush
// against the leading guard at offset 0) or at the back (ending less than 32 bytes before the
// trailing guard), always at the given offset modulo 32.
class Arena {
public:
    static constexpr size_t kBytes = 8192;

    Arena() : src_(kBytes, {Flush::Front, 0}), dst_(kBytes, {Flush::Front, 0}), canary_(randomBytes(kBytes, 2))
    {
        fillRandom(src_.data(), kBytes, 1);
        src_.makeReadOnly();
        std::memcpy(dst_.data(), canary_.data(), kBytes);
    }

    // Copies through the path and checks the run and 32 bytes on each side of it.
    ::testing::AssertionResult check(copy::Path path, size_t size, size_t srcOff, size_t dstOff, bool onSrc,
                                     bool back)
    {
        const auto place = [&](size_t at) { return back ? ((kBytes - size - at) & ~size_t(31)) + at : at; };
        const size_t s = place(srcOff), d = place(dstOff);
        path(copy::processorMoves(), dst_.data() + d, src_.data() + s, uint32_t(size), onSrc);
        const size_t lo = d < 32 ? 0 : d - 32, hi = std::min(kBytes, d + size + 32);
        const bool same = std::memcmp(dst_.data() + d, src_.data() + s, size) == 0;
        const bool around = std::memcmp(dst_.data() + lo, canary_.data() + lo, d - lo) == 0 &&
                            std::memcmp(dst_.data() + d + size, canary_.data() + d + size, hi - d - size) == 0;
        std::memcpy(dst_.data() + d, canary_.data() + d, size);
        if (same && around)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << (same ? "wrote outside the destination" : "wrong bytes")
                                             << ": size " << size << ", offsets " << srcOff << "/" << dstOff
                                             << ", alignOnSrc " << onSrc << (back ? ", at the back" : "");
    }

    bool untouched() const { return std::memcmp(dst_.data(), canary_.data(), kBytes) == 0; }

private:
    GuardedBuffer src_, dst_;
    std::vector<uint8_t> canary_;
};

TEST(FastCopy, EveryPathCopiesEverySizeAtEveryOffsetPair)
{
    for (auto [name, path] : runnablePaths()) {
        Arena arena;
        for (size_t size = 0; size <= 300; ++size) {
            for (size_t srcOff = 0; srcOff < 32; ++srcOff)
                for (size_t dstOff = 0; dstOff < 32; ++dstOff)
                    for (bool onSrc : {false, true})
                        for (bool back : {false, true})
                            ASSERT_TRUE(arena.check(path, size, srcOff, dstOff, onSrc, back)) << name;
            ASSERT_TRUE(arena.untouched()) << name << " wrote far outside at size " << size;
        }
    }
}

TEST(FastCopy, LargeCopiesOnEveryPath)
{
    for (size_t size : {size_t(1) << 20, size_t(64) << 20}) {
        const std::vector<uint8_t> source = randomBytes(size + 32, uint32_t(size >> 16));
        const std::pair<size_t, size_t> offsets[] = {{0, 0}, {4, 0}, {0, 4}, {3, 17}};
        for (auto [name, path] : runnablePaths()) {
            for (size_t i = 0; i < (size > (1u << 20) ? 2 : 4); ++i) { // 64 MiB: aligned and not
                const auto [srcOff, dstOff] = offsets[i];
                GuardedBuffer src(size, {Flush::Back, (32 - srcOff) % 32});
                GuardedBuffer dst(size, {Flush::Back, (32 - dstOff) % 32});
                std::memcpy(src.data(), source.data() + srcOff, size);
                src.makeReadOnly();
                for (bool onSrc : {false, true}) {
                    std::memset(dst.data(), 0x5A, size);
                    path(copy::processorMoves(), dst.data(), src.data(), uint32_t(size), onSrc);
                    if (std::memcmp(source.data() + srcOff, dst.data(), size) != 0) // quick first
                        ADD_FAILURE() << name << ", size " << size << ", offsets " << srcOff << "/" << dstOff
                                      << sameBytes(source.data() + srcOff, dst.data(), size).message();
                    EXPECT_TRUE(dst.surroundingsIntact()) << name << ", size " << size;
                }
            }
        }
    }
}

// ---- The structure: which kind of move copies which bytes --------------------------------------

struct Move {
    char kind; // b bytes, w words, p pairs, s streaming
    size_t at; // offset in the run
    size_t n;
    bool operator==(const Move& o) const { return kind == o.kind && at == o.at && n == o.n; }
};

std::vector<Move> g_recorded;
const uint8_t* g_runDst = nullptr;

template <char Kind>
void record(uint8_t* dst, const uint8_t*, size_t n)
{
    if (n)
        g_recorded.push_back({Kind, size_t(dst - g_runDst), n});
}
const copy::Moves kRecorder = {record<'b'>, record<'w'>, record<'p'>, record<'s'>};

// The layout the rules give, from the addresses alone.
struct Layout {
    std::vector<Move> moves;
    void add(char kind, size_t at, size_t n)
    {
        if (n)
            moves.push_back({kind, at, n});
    }
    static size_t headTo(uintptr_t base, size_t k) { return (k - base % k) % k; }

    void scalar(uintptr_t d, uintptr_t s, size_t at, size_t size, bool onSrc)
    {
        const size_t h = headTo(onSrc ? s + at : d + at, 4);
        if (h >= size)
            return add('b', at, size);
        add('b', at, h);
        add('w', at + h, (size - h) / 4 * 4);
        add('b', at + h + (size - h) / 4 * 4, (size - h) % 4);
    }
    void mmx(uintptr_t d, uintptr_t s, size_t at, size_t size, bool onSrc)
    {
        if ((d + at) % 8 == 0 && (s + at) % 8 == 0 && (s + at) % 16 != 0)
            onSrc = true;
        const size_t h = headTo(onSrc ? s + at : d + at, 16);
        if (h >= size)
            return add('b', at, size);
        add('b', at, h);
        const size_t body = (size - h) / 16 * 16;
        add('p', at + h, body);
        if ((size - h) % 16)
            scalar(d, s, at + h + body, (size - h) % 16, onSrc);
    }
    void sse(uintptr_t d, uintptr_t s, size_t at, size_t size, bool onSrc)
    {
        const size_t h = headTo(onSrc ? s + at : d + at, 16);
        if (h >= size)
            return add('b', at, size);
        add('b', at, h);
        const size_t body = (size - h) / 32 * 32;
        if (body && (d + at + h) % 16 == 0 && (s + at + h) % 16 == 0)
            add('s', at + h, body);
        else if (body)
            mmx(d, s, at + h, body, onSrc);
        if ((size - h) % 32)
            scalar(d, s, at + h + body, (size - h) % 32, onSrc);
    }
};

std::string describe(const std::vector<Move>& moves)
{
    std::ostringstream s;
    for (const Move& m : moves)
        s << " " << m.kind << "@" << m.at << "+" << m.n;
    return s.str();
}

TEST(FastCopyStructure, HeadsBodiesAndTailsFollowTheRulesOfEachPath)
{
    alignas(64) static uint8_t dst[512], src[512];
    using Model = void (Layout::*)(uintptr_t, uintptr_t, size_t, size_t, bool);
    const std::pair<copy::Path, Model> paths[] = {
        {copy::scalarPath, &Layout::scalar}, {copy::mmxPath, &Layout::mmx}, {copy::ssePath, &Layout::sse}};
    for (auto [path, model] : paths)
        for (size_t size = 0; size <= 200; ++size)
            for (size_t srcOff = 0; srcOff < 32; ++srcOff)
                for (size_t dstOff = 0; dstOff < 32; ++dstOff)
                    for (bool onSrc : {false, true}) {
                        Layout want;
                        (want.*model)(uintptr_t(dst + dstOff), uintptr_t(src + srcOff), 0, size, onSrc);
                        g_recorded.clear();
                        g_runDst = dst + dstOff;
                        path(kRecorder, dst + dstOff, src + srcOff, uint32_t(size), onSrc);
                        ASSERT_EQ(want.moves, g_recorded)
                            << "size " << size << ", offsets " << srcOff << "/" << dstOff << ", alignOnSrc "
                            << onSrc << "\nwant" << describe(want.moves) << "\ngot " << describe(g_recorded);
                    }
}

} // namespace
} // namespace vyr::test
