// MONO8 to RGB8888 and RGB888: the grey value fills every byte of the pixel, on both paths.
#include <gtest/gtest.h>

#include "bytes.h"
#include "convert/kernels/simd.h"
#include "convert/mono.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

using convert::isaName;
using convert::Paths;

void refMono8ToRgb8888(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = src[i] * 0x01010101u;
        for (int b = 0; b < 4; ++b)
            dst[4 * i + b] = static_cast<uint8_t>(word >> (8 * b));
    }
}

void refMono8ToRgb888(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[3 * i] = dst[3 * i + 1] = dst[3 * i + 2] = src[i];
}

struct Case {
    const char* name;
    const Paths* paths;
    size_t dstBpp;
    LineFn reference;
    uint32_t (*exported)(const void*, void*, uint32_t, uint32_t);
};

const Case kCases[] = {
    {"MONO8toRGB8888", &convert::kMono8ToRgb8888, 4, refMono8ToRgb8888, VyrUtilConvertMONO8toRGB8888},
    {"MONO8toRGB888", &convert::kMono8ToRgb888, 3, refMono8ToRgb888, VyrUtilConvertMONO8toRGB888},
};

class Mono8ToRgb : public ::testing::TestWithParam<Case> {};

TEST_P(Mono8ToRgb, EveryPathFollowsTheRuleAtEveryCountAndPlacement)
{
    const Case& c = GetParam();
    LineSpec shape{bytesPerPixel(1), bytesPerPixel(c.dstBpp)};
    const auto counts = countsUpTo(40, {63, 64, 65, 1000, 4099});
    EXPECT_TRUE(matchesReference(shape, c.paths->scalar, c.reference, counts)) << "scalar path";
    for (auto [isa, path] : runnableVariants(*c.paths))
        EXPECT_TRUE(matchesReference(shape, path, c.reference, counts)) << "vector path, " << isaName(isa);
}

// Runs long enough to take the streaming stores, aligned and not.
TEST_P(Mono8ToRgb, LongRunsFollowTheRule)
{
    const Case& c = GetParam();
    LineSpec shape{bytesPerPixel(1), bytesPerPixel(c.dstBpp)};
    const uint32_t n = static_cast<uint32_t>(kernels::kStreamingBytes / c.dstBpp + 37);
    for (auto [isa, path] : runnableVariants(*c.paths))
        EXPECT_TRUE(matchesReference(shape, path, c.reference, {n, n + 5})) << isaName(isa);
}

TEST_P(Mono8ToRgb, ExportConvertsAndReturnsZero)
{
    const Case& c = GetParam();
    const std::vector<uint8_t> src = randomBytes(77, 7);
    std::vector<uint8_t> expected(77 * c.dstBpp, 0x11), actual(77 * c.dstBpp, 0x11);
    c.reference(src.data(), expected.data(), 77, 0);
    EXPECT_EQ(0u, c.exported(src.data(), actual.data(), 77, 5)); // unusedBits is ignored
    EXPECT_TRUE(sameBytes(expected.data(), actual.data(), expected.size()));

    GuardedBuffer none(0, {Flush::Front, 0});
    EXPECT_EQ(0u, c.exported(none.data(), none.data(), 0, 0));
    EXPECT_TRUE(none.surroundingsIntact());
}

INSTANTIATE_TEST_SUITE_P(Converters, Mono8ToRgb, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mono8ToRgb8888, GreyFillsAllFourBytes)
{
    const uint8_t grey[3] = {0x00, 0x80, 0xFF};
    for (convert::LineFn path : {convert::kMono8ToRgb8888.scalar, convert::kMono8ToRgb8888.vector()}) {
        uint32_t words[3] = {1, 2, 3};
        path(grey, reinterpret_cast<uint8_t*>(words), 3, 0);
        EXPECT_EQ(0x00000000u, words[0]);
        EXPECT_EQ(0x80808080u, words[1]);
        EXPECT_EQ(0xFFFFFFFFu, words[2]);
    }
}

TEST(Mono8ToRgb888, TwoPixelsAtEveryOffsetOnBothPaths)
{
    const uint8_t grey[2] = {1, 2};
    const uint8_t want[6] = {1, 1, 1, 2, 2, 2};
    for (convert::LineFn path : {convert::kMono8ToRgb888.scalar, convert::kMono8ToRgb888.vector()}) {
        for (size_t offset = 0; offset < 8; ++offset) {
            GuardedBuffer dst(6, {Flush::Front, offset});
            path(grey, dst.data(), 2, 0);
            EXPECT_TRUE(sameBytes(want, dst.data(), 6)) << "offset " << offset;
            EXPECT_TRUE(dst.surroundingsIntact()) << "offset " << offset;
        }
    }
}

} // namespace
} // namespace vyr::test
