// Sweeps for the grey and RGB line converters: a converter described once (its paths, its export and
// independent references of its rules) is checked on every path, every valid unusedBits, every
// count up to a few blocks and every source and destination offset, with guard pages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bytes.h"
#include "convert/kernels/simd.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {

// ---- References -------------------------------------------------------------------------------------

// Little-endian values of `bytes` bytes.
inline uint32_t le(const uint8_t* p, size_t bytes)
{
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;)
        v = v << 8 | p[i];
    return v;
}
inline void setLe(uint8_t* p, size_t bytes, uint32_t v)
{
    for (size_t i = 0; i < bytes; ++i, v >>= 8)
        p[i] = uint8_t(v);
}
inline uint32_t le16(const uint8_t* p) { return le(p, 2); }
inline uint32_t le32(const uint8_t* p) { return le(p, 4); }
inline void setLe16(uint8_t* p, uint32_t v) { setLe(p, 2, v); }
inline void setLe32(uint8_t* p, uint32_t v) { setLe(p, 4, v); }

// One pixel of a rule: reads the source pixel at s, writes the destination pixel at d.
using PixelRule = void (*)(const uint8_t* s, uint8_t* d, uint32_t unusedBits);

template <PixelRule R, size_t SrcBpp, size_t DstBpp>
void everyPixel(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < count; ++i)
        R(src + i * SrcBpp, dst + i * DstBpp, unusedBits);
}

// ---- Sources ---------------------------------------------------------------------------------------------

// Random samples of every magnitude: each little-endian sample of sampleBytes is random, and every
// other one is shifted right by a random amount, so that samples inside and beyond every declared
// depth occur.
inline std::function<void(uint8_t*, size_t, uint32_t)> mixedSamples(size_t sampleBytes)
{
    return [sampleBytes](uint8_t* p, size_t n, uint32_t seed) {
        fillRandom(p, n, seed);
        const std::vector<uint8_t> shifts = randomBytes(n / sampleBytes + 1, seed ^ 0xA11CEu);
        for (size_t i = 0; i + sampleBytes <= n; i += sampleBytes) {
            const uint8_t s = shifts[i / sampleBytes];
            if (s & 1)
                continue;
            uint64_t v = 0;
            for (size_t b = 0; b < sampleBytes; ++b)
                v |= uint64_t(p[i + b]) << (8 * b);
            v >>= (s >> 1) % (8 * sampleBytes);
            for (size_t b = 0; b < sampleBytes; ++b)
                p[i + b] = uint8_t(v >> (8 * b));
        }
    };
}

// ---- Sweeps ----------------------------------------------------------------------------------------------

// Every source offset 0..7 from the front guard against every destination offset (the destination
// flush against the back guard at gaps 0..7, so its end is tested right at a guard).
inline ::testing::AssertionResult matchesAtOffsets(const LineSpec& shape, LineFn path, LineFn reference,
                                                   const std::vector<uint32_t>& counts)
{
    for (uint32_t count : counts) {
        const size_t srcBytes = shape.srcBytes(count), dstBytes = shape.dstBytes(count);
        std::vector<uint8_t> source(srcBytes);
        if (shape.fillSource)
            shape.fillSource(source.data(), srcBytes, count + 77);
        else
            fillRandom(source.data(), srcBytes, count + 77);
        const std::vector<uint8_t> before = randomBytes(dstBytes, count ^ 0x3C3Cu);
        std::vector<uint8_t> expected = before;
        if (count)
            reference(source.data(), expected.data(), count, shape.unusedBits);

        std::vector<std::unique_ptr<GuardedBuffer>> sources;
        for (size_t offset = 0; offset < 8; ++offset) {
            sources.push_back(std::make_unique<GuardedBuffer>(srcBytes, Placement{Flush::Front, offset}));
            std::copy(source.begin(), source.end(), sources.back()->data());
            sources.back()->makeReadOnly();
        }
        for (size_t gap = 0; gap < 8; ++gap) {
            GuardedBuffer dst(dstBytes, {Flush::Back, gap});
            for (size_t offset = 0; offset < 8; ++offset) {
                std::copy(before.begin(), before.end(), dst.data());
                path(sources[offset]->data(), dst.data(), count, shape.unusedBits);
                const bool intact = dst.surroundingsIntact();
                const ::testing::AssertionResult same = sameBytes(expected.data(), dst.data(), dstBytes);
                if (!intact || !same) {
                    return ::testing::AssertionFailure()
                           << "count " << count << ", source offset " << offset << ", destination offset "
                           << (reinterpret_cast<uintptr_t>(dst.data()) & 7) << ": "
                           << (intact ? same.message() : "wrote outside the destination run");
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// A run long enough for streaming stores, into a 16-byte aligned destination and an unaligned one.
inline ::testing::AssertionResult matchesOnLongRun(const LineSpec& shape, LineFn path, LineFn reference)
{
    const size_t dstBpp = std::max<size_t>(1, shape.dstBytes(1));
    const uint32_t count = uint32_t(kernels::kStreamingBytes / dstBpp + 37);
    const size_t srcBytes = shape.srcBytes(count), dstBytes = shape.dstBytes(count);
    GuardedBuffer src(srcBytes, {Flush::Back, 0});
    if (shape.fillSource)
        shape.fillSource(src.data(), srcBytes, 5);
    else
        fillRandom(src.data(), srcBytes, 5);
    src.makeReadOnly();
    std::vector<uint8_t> expected(dstBytes, 0x5A);
    reference(src.data(), expected.data(), count, shape.unusedBits);
    for (size_t offset : {0, 3}) {
        GuardedBuffer dst(dstBytes, {Flush::Front, offset});
        std::fill(dst.data(), dst.data() + dstBytes, 0x5A);
        path(src.data(), dst.data(), count, shape.unusedBits);
        if (!dst.surroundingsIntact())
            return ::testing::AssertionFailure() << "long run wrote outside its destination, offset " << offset;
        auto same = sameBytes(expected.data(), dst.data(), dstBytes);
        if (!same)
            return ::testing::AssertionFailure() << "long run, offset " << offset << ": " << same.message();
    }
    return ::testing::AssertionSuccess();
}

// ---- Converter descriptions ------------------------------------------------------------------------------

using ExportedLine = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

struct LineCase {
    const char* name;
    ExportedLine exported;
    LineFn scalar;                  // the library's scalar path
    const convert::Paths* paths;    // its vector paths, or null
    LineFn reference;               // the scalar rule, written independently
    LineFn vectorReference;         // the vector rule where it differs, else null
    size_t srcBpp, dstBpp;
    size_t sampleBytes;             // of the source, for mixedSamples
    uint32_t maxUnusedBits;         // valid unusedBits are 0..max; 0 where they are ignored
    bool ignoresUnusedBits = false;
    bool vectorNeedsZeroBits = false; // the export takes the vector path only with unusedBits 0

    LineSpec shape(uint32_t unusedBits) const
    {
        return {bytesPerPixel(srcBpp), bytesPerPixel(dstBpp), unusedBits, mixedSamples(sampleBytes)};
    }
    LineFn vectorRule() const { return vectorReference ? vectorReference : reference; }
    // The valid unusedBits worth a sweep: all of them, or a spread of a long range.
    std::vector<uint32_t> unusedBitsToTest() const
    {
        if (ignoresUnusedBits)
            return {0, 5}; // any value gives the same pixels
        if (maxUnusedBits <= 11) {
            std::vector<uint32_t> all;
            for (uint32_t a = 0; a <= maxUnusedBits; ++a)
                all.push_back(a);
            return all;
        }
        return {0, 1, maxUnusedBits / 3, maxUnusedBits / 2, maxUnusedBits - 1, maxUnusedBits};
    }
    std::vector<uint32_t> vectorUnusedBits() const
    {
        return vectorNeedsZeroBits ? std::vector<uint32_t>{0} : unusedBitsToTest();
    }
};

inline void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
inline std::string caseName(const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; }

class LineConverter : public ::testing::TestWithParam<LineCase> {};
class VectorLineConverter : public ::testing::TestWithParam<LineCase> {};
// A family without vector paths instantiates only the first.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(VectorLineConverter);

template <size_t N>
std::vector<LineCase> withVectorPaths(const LineCase (&cases)[N])
{
    std::vector<LineCase> out;
    std::copy_if(cases, cases + N, std::back_inserter(out), [](const LineCase& c) { return c.paths != nullptr; });
    return out;
}

TEST_P(LineConverter, ScalarPathFollowsTheRuleForEveryValidUnusedBits)
{
    const LineCase& c = GetParam();
    const std::vector<uint32_t> counts = {0, 1, 2, 3, 5, 8, 13, 31, 257};
    for (uint32_t a : c.unusedBitsToTest())
        EXPECT_TRUE(matchesReference(c.shape(a), c.scalar, c.reference, counts)) << "unusedBits " << a;
}

TEST_P(VectorLineConverter, VectorPathsFollowTheirRuleAtEveryCountAndOffset)
{
    const LineCase& c = GetParam();
    const std::vector<uint32_t> all = countsUpTo(48, {63, 64, 65, 255, 1000, 4099});
    const std::vector<uint32_t> few = countsUpTo(17, {1000});
    const std::vector<uint32_t> bits = c.vectorUnusedBits();
    for (auto [isa, path] : runnableVariants(*c.paths)) {
        for (uint32_t a : bits) {
            const bool edge = a == bits.front() || a == bits.back();
            const LineSpec shape = c.shape(a);
            EXPECT_TRUE(matchesReference(shape, path, c.vectorRule(), edge ? all : few))
                << convert::isaName(isa) << ", unusedBits " << a;
            EXPECT_TRUE(matchesAtOffsets(shape, path, c.vectorRule(), edge ? all : few))
                << convert::isaName(isa) << ", unusedBits " << a;
        }
        EXPECT_TRUE(matchesOnLongRun(c.shape(bits.back()), path, c.vectorRule())) << convert::isaName(isa);
    }
}

// The export runs the whole run on one path: the vector rule where the processor has MMX and the
// converter's condition holds, else the scalar rule; a count of 0 touches nothing.
TEST_P(LineConverter, ExportTakesOnePathAndReturnsZero)
{
    const LineCase& c = GetParam();
    const uint32_t count = 203;
    for (uint32_t a : c.unusedBitsToTest()) {
        std::vector<uint8_t> src(count * c.srcBpp);
        mixedSamples(c.sampleBytes)(src.data(), src.size(), a + 1);
        const std::vector<uint8_t> before = randomBytes(count * c.dstBpp, a + 2);
        std::vector<uint8_t> expected = before, actual = before;
        const bool vector = c.paths && VyrUtilIsMMX() && !(c.vectorNeedsZeroBits && a != 0);
        (vector ? c.vectorRule() : c.reference)(src.data(), expected.data(), count, a);
        EXPECT_EQ(0u, c.exported(src.data(), actual.data(), count, a));
        EXPECT_TRUE(sameBytes(expected.data(), actual.data(), actual.size())) << "unusedBits " << a;
    }
    GuardedBuffer none(0, {Flush::Front, 0});
    EXPECT_EQ(0u, c.exported(none.data(), none.data(), 0, 0));
    EXPECT_TRUE(none.surroundingsIntact());
}

// ---- Single values -----------------------------------------------------------------------------------------

// The path converts `src` (whole pixels) into exactly `want`, into a destination flush against a guard.
inline ::testing::AssertionResult converts(LineFn path, uint32_t unusedBits, const std::vector<uint8_t>& src,
                                           size_t srcBpp, const std::vector<uint8_t>& want)
{
    const uint32_t count = uint32_t(src.size() / srcBpp);
    GuardedBuffer in(src.size(), {Flush::Back, 0});
    std::copy(src.begin(), src.end(), in.data());
    GuardedBuffer out(want.size(), {Flush::Back, 0});
    std::fill(out.data(), out.data() + want.size(), 0xAA);
    path(in.data(), out.data(), count, unusedBits);
    return sameBytes(want.data(), out.data(), want.size());
}

} // namespace vyr::test
