// RGB888, RGB8888, MONO8 and MONO16 to packed YUV, on every path.
#include <gtest/gtest.h>

#include "bytes.h"
#include "convert/yuv_encode.h"
#include "convert/yuv_rules.h"
#include "guarded_buffer.h"
#include "line_harness.h"
#include "yuv_support.h"

namespace vyr::test {
namespace {

using convert::isaName;
using convert::Paths;

// ---- The equations, from their definitions ------------------------------------------------------

int refLuma(int r, int g, int b)
{
    return floorDiv(306 * r + 601 * g + 117 * b, 1024);
}
int refCu(int r, int g, int b)
{
    return floorDiv(512 * b - 339 * g - 173 * r, 1024);
}
int refCv(int r, int g, int b)
{
    return floorDiv(512 * r - 429 * g - 83 * b, 1024);
}
int refScalarChroma(int c)
{
    return 128 + c * 229 / 255;
} // C++ division truncates towards zero
int refVectorChroma(int c)
{
    return 128 + floorDiv(c * 29426, 32768);
}

// Byte b of cell k belongs to pixel 2k + b / 2 and is written when that pixel is in the run.
template <size_t SrcBpp, int Y0, int U, int Y1, int V>
void refRgbToCells(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t byte = 0; byte < 2 * count; ++byte) {
        const uint32_t k = byte / 4, at = byte % 4;
        const uint8_t* first = src + SrcBpp * 2 * k;
        const uint8_t* second = first + SrcBpp;
        const int r = first[2], g = first[1], b = first[0];
        int value = 0;
        if (int(at) == Y0)
            value = refLuma(r, g, b);
        else if (int(at) == Y1)
            value = refLuma(second[2], second[1], second[0]);
        else if (int(at) == U)
            value = refScalarChroma(refCu(r, g, b));
        else if (int(at) == V)
            value = refScalarChroma(refCv(r, g, b));
        dst[byte] = uint8_t(value);
    }
}

template <bool Vector>
void refRgb8888ToYuv(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 4 * i;
        const int r = p[2], g = p[1], b = p[0];
        const int cu = refCu(r, g, b), cv = refCv(r, g, b);
        dst[4 * i + 0] = uint8_t(Vector ? refVectorChroma(cv) : refScalarChroma(cv));
        dst[4 * i + 1] = uint8_t(Vector ? refVectorChroma(cu) : refScalarChroma(cu));
        dst[4 * i + 2] = uint8_t(refLuma(r, g, b));
        dst[4 * i + 3] = 0;
    }
}

void refMono8ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        dst[2 * i] = src[i];
        dst[2 * i + 1] = 128;
    }
}

// An odd last pixel is dropped; beyond 8 unused bits no significant bit reaches Y.
void refMono16ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < (count & ~1u); ++i) {
        const unsigned p = src[2 * i] + 256u * src[2 * i + 1];
        dst[2 * i] = unusedBits > 8 ? 0 : uint8_t((p / (1u << (8 - unusedBits))) % 256);
        dst[2 * i + 1] = 128;
    }
}

struct Case {
    const char* name;
    const Paths* paths;
    size_t srcBpp;
    size_t dstBpp;
    uint32_t unusedBits;
    LineFn scalarReference;
    LineFn vectorReference; // null: no vector path
    Export exported;
};

const Case kCases[] = {
    {"RGB888toUYVY", &convert::kRgb888ToUyvy, 3, 2, 0, refRgbToCells<3, 1, 0, 3, 2>, nullptr,
     VyrUtilConvertRGB888toUYVY},
    {"RGB888toYUY2", &convert::kRgb888ToYuy2, 3, 2, 0, refRgbToCells<3, 0, 1, 2, 3>, nullptr,
     VyrUtilConvertRGB888toYUY2},
    {"RGB888toYVYU", &convert::kRgb888ToYvyu, 3, 2, 0, refRgbToCells<3, 0, 3, 2, 1>, nullptr,
     VyrUtilConvertRGB888toYVYU},
    {"RGB8888toUYVY", &convert::kRgb8888ToUyvy, 4, 2, 0, refRgbToCells<4, 1, 0, 3, 2>, nullptr,
     VyrUtilConvertRGB8888toUYVY},
    {"RGB8888toYUY2", &convert::kRgb8888ToYuy2, 4, 2, 0, refRgbToCells<4, 0, 1, 2, 3>, nullptr,
     VyrUtilConvertRGB8888toYUY2},
    {"RGB8888toYUV", &convert::kRgb8888ToYuv, 4, 4, 0, refRgb8888ToYuv<false>, refRgb8888ToYuv<true>,
     VyrUtilConvertRGB8888toYUV},
    {"MONO8toYUY2", &convert::kMono8ToYuy2, 1, 2, 0, refMono8ToYuy2, refMono8ToYuy2,
     VyrUtilConvertMONO8toYUY2},
    {"MONO16toYUY2_unused4", &convert::kMono16ToYuy2, 2, 2, 4, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2},
    {"MONO16toYUY2_unused8", &convert::kMono16ToYuy2, 2, 2, 8, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2},
    {"MONO16toYUY2_unused9", &convert::kMono16ToYuy2, 2, 2, 9, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2},
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class YuvEncode : public ::testing::TestWithParam<Case> {
  protected:
    LineSpec shape() const
    {
        const Case& c = GetParam();
        return {bytesPerPixel(c.srcBpp), bytesPerPixel(c.dstBpp), c.unusedBits};
    }
};

TEST_P(YuvEncode, EveryPathFollowsItsRule)
{
    const Case& c = GetParam();
    expectEveryPathFollowsItsRule(shape(), *c.paths, c.scalarReference, c.vectorReference, c.dstBpp);
}

TEST_P(YuvEncode, ExportTakesTheProcessorsPath)
{
    const Case& c = GetParam();
    expectExportTakesTheProcessorsPath(c.exported, shape(), c.scalarReference, c.vectorReference);
}

INSTANTIATE_TEST_SUITE_P(Converters, YuvEncode, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The chroma rules over every colour difference ---------------------------------------------

TEST(YuvChromaRules, EveryDifferenceOnBothRules)
{
    for (int c = -128; c <= 127; ++c) {
        EXPECT_EQ(refScalarChroma(c), convert::yuv::scalarChroma(c)) << c;
        EXPECT_EQ(refVectorChroma(c), convert::yuv::vectorChroma(c)) << c;
        // The vector rule rounds down: the same for c >= 0, one lower below.
        EXPECT_EQ(refScalarChroma(c) - (c < 0 ? 1 : 0), refVectorChroma(c)) << c;
    }
    EXPECT_EQ(14, refScalarChroma(-128));
    EXPECT_EQ(13, refVectorChroma(-128));
    EXPECT_EQ(242, refScalarChroma(127));
    EXPECT_EQ(242, refVectorChroma(127));
}

// Every 24-bit colour through RGB8888toYUV on both rules and RGB888toYUY2 (its cells pair each
// colour with the next), one job per red value.
::testing::AssertionResult checkEveryColourWithRed(uint8_t r)
{
    std::vector<uint8_t> rgb8888, rgb888;
    for (unsigned gb = r % kExhaustiveStride; gb < 65536; gb += kExhaustiveStride) {
        const uint8_t pixel[4] = {uint8_t(gb), uint8_t(gb >> 8), r, uint8_t(gb * 7)};
        rgb8888.insert(rgb8888.end(), pixel, pixel + 4);
        rgb888.insert(rgb888.end(), pixel, pixel + 3);
    }
    const uint32_t count = uint32_t(rgb888.size() / 3);
    // Each reference once, then every path that must match it.
    auto check = [&](LineFn reference, const std::vector<uint8_t>& src, size_t dstBpp,
                     const std::vector<std::pair<const char*, LineFn>>& paths) -> ::testing::AssertionResult {
        std::vector<uint8_t> expected(count * dstBpp), actual(count * dstBpp);
        reference(src.data(), expected.data(), count, 0);
        for (auto [name, path] : paths) {
            path(src.data(), actual.data(), count, 0);
            auto same = sameBytes(expected.data(), actual.data(), expected.size());
            if (!same)
                return ::testing::AssertionFailure() << name << ", red " << int(r) << ": " << same.message();
        }
        return ::testing::AssertionSuccess();
    };
    std::vector<std::pair<const char*, LineFn>> vector;
    for (auto [isa, path] : runnableVariants(convert::kRgb8888ToYuv))
        vector.emplace_back(isaName(isa), path);
    ::testing::AssertionResult result =
        check(refRgb8888ToYuv<false>, rgb8888, 4, {{"RGB8888toYUV scalar", convert::kRgb8888ToYuv.scalar}});
    if (result)
        result = check(refRgb8888ToYuv<true>, rgb8888, 4, vector);
    if (result)
        result =
            check(refRgbToCells<3, 0, 1, 2, 3>, rgb888, 2, {{"RGB888toYUY2", convert::kRgb888ToYuy2.scalar}});
    return result;
}

TEST(YuvChromaRules, EveryColourOnEveryPath)
{
    EXPECT_TRUE(inParallel(256, [](unsigned r) { return checkEveryColourWithRed(uint8_t(r)); }));
}

// ---- Worked values ------------------------------------------------------------------------------

TEST(RgbToYuv, WorkedColoursOnEveryPath)
{
    struct Colour {
        uint8_t r, g, b, y, scalarU, scalarV, vectorU, vectorV;
    };
    const Colour colours[] = {
        {255, 255, 255, 255, 128, 128, 128, 128}, {0, 0, 0, 0, 128, 128, 128, 128},
        {128, 128, 128, 128, 128, 128, 128, 128}, {255, 0, 0, 76, 89, 242, 88, 242},
        {0, 255, 0, 149, 52, 32, 51, 31},         {0, 0, 255, 29, 242, 110, 242, 109},
        {10, 20, 30, 18, 133, 123, 133, 122},
    };
    std::vector<std::pair<LineFn, bool>> paths = {{convert::kRgb8888ToYuv.scalar, false}};
    for (auto [isa, path] : runnableVariants(convert::kRgb8888ToYuv))
        paths.emplace_back(path, true);
    for (const Colour& c : colours) {
        const uint8_t bgrx[4] = {c.b, c.g, c.r, 0x77};
        for (auto [path, vector] : paths) {
            uint8_t out[4] = {1, 2, 3, 4};
            path(bgrx, out, 1, 0);
            EXPECT_EQ(vector ? c.vectorV : c.scalarV, out[0])
                << int(c.r) << "," << int(c.g) << "," << int(c.b);
            EXPECT_EQ(vector ? c.vectorU : c.scalarU, out[1])
                << int(c.r) << "," << int(c.g) << "," << int(c.b);
            EXPECT_EQ(c.y, out[2]);
            EXPECT_EQ(0, out[3]);
        }
    }
}

TEST(RgbToYuv, CellTakesItsChromaFromTheFirstPixel)
{
    const uint8_t redBlue[6] = {0, 0, 255, 255, 0, 0}; // B G R of red, then of blue
    const uint8_t blueRed[6] = {255, 0, 0, 0, 0, 255};
    uint8_t cell[4];
    convert::kRgb888ToYuy2.scalar(redBlue, cell, 2, 0);
    EXPECT_EQ((std::vector<uint8_t>{76, 89, 29, 242}), std::vector<uint8_t>(cell, cell + 4));
    convert::kRgb888ToYuy2.scalar(blueRed, cell, 2, 0);
    EXPECT_EQ((std::vector<uint8_t>{29, 242, 76, 110}), std::vector<uint8_t>(cell, cell + 4));
}

TEST(MonoToYuy2, DeepGreysKeepTheirTopSignificantByte)
{
    const uint16_t deep[2] = {0x0FF0, 0x0123};
    for (LineFn path : {convert::kMono16ToYuy2.scalar, convert::kMono16ToYuy2.vector()}) {
        uint8_t out[4];
        path(reinterpret_cast<const uint8_t*>(deep), out, 2, 4);
        EXPECT_EQ((std::vector<uint8_t>{0xFF, 128, 0x12, 128}), std::vector<uint8_t>(out, out + 4));
        path(reinterpret_cast<const uint8_t*>(deep), out, 2, 0);
        EXPECT_EQ((std::vector<uint8_t>{0x0F, 128, 0x01, 128}), std::vector<uint8_t>(out, out + 4));
    }
}

} // namespace
} // namespace vyr::test
