// Grey and signed integer converters: depth and sign changes, grey expansions, 8-bit luminance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "convert/mono.h"
#include "rgb_harness.h"

namespace vyr::test {
namespace {

namespace cv = convert;

// ---- Independent references, one pixel each, written from the rules -------------------------------

void mono16ToMono8(const uint8_t* s, uint8_t* d, uint32_t a) { d[0] = uint8_t(le16(s) >> (8 - a)); }
void mono32ToMono8(const uint8_t* s, uint8_t* d, uint32_t a) { d[0] = uint8_t(le32(s) >> (24 - a)); }
void mono8ToMono16(const uint8_t* s, uint8_t* d, uint32_t a) { setLe16(d, uint32_t(s[0]) << (8 - a)); }
void mono8ToInt8(const uint8_t* s, uint8_t* d, uint32_t) { d[0] = uint8_t((s[0] + 128) % 256); }
void int8ToMono8(const uint8_t* s, uint8_t* d, uint32_t) { d[0] = uint8_t((s[0] + 256 - 128) % 256); }
void mono8ToInt16(const uint8_t* s, uint8_t* d, uint32_t a) { setLe16(d, (uint32_t(s[0]) << (8 - a)) + 0x8000); }

void int16ToMono8(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const int v = int16_t(le16(s));
    if (a == 0) {
        d[0] = uint8_t(int(std::floor(v / 256.0)) + 128);
        return;
    }
    const int q = v / (1 << (8 - a)); // C++ division truncates toward zero
    d[0] = uint8_t(std::clamp(q + 128, 0, 255));
}

void mono16ToRgb5551(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t c = (le16(s) >> (11 - a)) & 31;
    setLe16(d, c << 10 | c << 5 | c);
}

void mono16ToRgb565(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t g = (le16(s) >> (10 - a)) & 63, c = g >> 1;
    setLe16(d, c << 11 | g << 5 | c);
}

void mono16ToRgb8888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    setLe32(d, ((le16(s) >> (8 - a)) & 255) * 0x01010101u);
}

void mono16ToRgb888(const uint8_t* s, uint8_t* d, uint32_t a)
{
    d[0] = d[1] = d[2] = uint8_t(le16(s) >> (8 - a));
}

void mono8ToRgb5551(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t c = s[0] >> (3 - a);
    setLe16(d, c << 10 | c << 5 | c);
}

void mono8ToRgb565(const uint8_t* s, uint8_t* d, uint32_t a)
{
    const uint32_t g = s[0] >> (2 - a), c = g >> 1;
    setLe16(d, c << 11 | g << 5 | c);
}

// The vector rule: green is the 5-bit value doubled, so its lowest bit is 0.
void mono8ToRgb565Vector(const uint8_t* s, uint8_t* d, uint32_t)
{
    const uint32_t c = s[0] >> 3;
    setLe16(d, c << 11 | (c << 1) << 5 | c);
}

uint8_t luma8(uint32_t b, uint32_t g, uint32_t r) { return uint8_t((117 * b + 601 * g + 306 * r) >> 10); }
void rgb888ToMono8(const uint8_t* s, uint8_t* d, uint32_t) { d[0] = luma8(s[0], s[1], s[2]); }
void rgb8888ToMono8(const uint8_t* s, uint8_t* d, uint32_t) { d[0] = luma8(s[0], s[1], s[2]); }

template <PixelRule R, size_t S, size_t D>
constexpr LineFn ref = everyPixel<R, S, D>;

const LineCase kCases[] = {
    {"MONO16toMONO8", VyrUtilConvertMONO16toMONO8, cv::kMono16ToMono8.scalar, &cv::kMono16ToMono8,
     ref<mono16ToMono8, 2, 1>, nullptr, 2, 1, 2, 8},
    {"MONO32toMONO8", VyrUtilConvertMONO32toMONO8, cv::kMono32ToMono8, nullptr, ref<mono32ToMono8, 4, 1>,
     nullptr, 4, 1, 4, 24},
    {"MONO8toMONO16", VyrUtilConvertMONO8toMONO16, cv::kMono8ToMono16, nullptr, ref<mono8ToMono16, 1, 2>,
     nullptr, 1, 2, 1, 8},
    {"MONO8toINT8", VyrUtilConvertMONO8toINT8, cv::kMono8ToInt8, nullptr, ref<mono8ToInt8, 1, 1>, nullptr,
     1, 1, 1, 0, true},
    {"INT8toMONO8", VyrUtilConvertINT8toMONO8, cv::kInt8ToMono8, nullptr, ref<int8ToMono8, 1, 1>, nullptr,
     1, 1, 1, 0, true},
    {"MONO8toINT16", VyrUtilConvertMONO8toINT16, cv::kMono8ToInt16, nullptr, ref<mono8ToInt16, 1, 2>,
     nullptr, 1, 2, 1, 8},
    {"INT16toMONO8", VyrUtilConvertINT16toMONO8, cv::kInt16ToMono8, nullptr, ref<int16ToMono8, 2, 1>,
     nullptr, 2, 1, 2, 8},
    {"MONO16toRGB5551", VyrUtilConvertMONO16toRGB5551, cv::kMono16ToRgb5551, nullptr,
     ref<mono16ToRgb5551, 2, 2>, nullptr, 2, 2, 2, 11},
    {"MONO16toRGB565", VyrUtilConvertMONO16toRGB565, cv::kMono16ToRgb565, nullptr, ref<mono16ToRgb565, 2, 2>,
     nullptr, 2, 2, 2, 10},
    {"MONO16toRGB8888", VyrUtilConvertMONO16toRGB8888, cv::kMono16ToRgb8888, nullptr,
     ref<mono16ToRgb8888, 2, 4>, nullptr, 2, 4, 2, 8},
    {"MONO16toRGB888", VyrUtilConvertMONO16toRGB888, cv::kMono16ToRgb888, nullptr, ref<mono16ToRgb888, 2, 3>,
     nullptr, 2, 3, 2, 8},
    {"MONO8toRGB5551", VyrUtilConvertMONO8toRGB5551, cv::kMono8ToRgb5551.scalar, &cv::kMono8ToRgb5551,
     ref<mono8ToRgb5551, 1, 2>, nullptr, 1, 2, 1, 3, false, true},
    {"MONO8toRGB565", VyrUtilConvertMONO8toRGB565, cv::kMono8ToRgb565.scalar, &cv::kMono8ToRgb565,
     ref<mono8ToRgb565, 1, 2>, ref<mono8ToRgb565Vector, 1, 2>, 1, 2, 1, 2, false, true},
    {"RGB888toMONO8", VyrUtilConvertRGB888toMONO8, cv::kRgb888ToMono8, nullptr, ref<rgb888ToMono8, 3, 1>,
     nullptr, 3, 1, 1, 0, true},
    {"RGB8888toMONO8", VyrUtilConvertRGB8888toMONO8, cv::kRgb8888ToMono8.scalar, &cv::kRgb8888ToMono8,
     ref<rgb8888ToMono8, 4, 1>, nullptr, 4, 1, 1, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Mono, LineConverter, ::testing::ValuesIn(kCases), caseName);
INSTANTIATE_TEST_SUITE_P(Mono, VectorLineConverter, ::testing::ValuesIn(withVectorPaths(kCases)), caseName);

// ---- Telling values -----------------------------------------------------------------------------------

struct Example {
    const char* what;
    LineFn path;
    uint32_t unusedBits;
    size_t srcBpp;
    std::vector<uint8_t> src;
    std::vector<uint8_t> want;
};

void expectExamples(const std::vector<Example>& examples)
{
    for (const Example& e : examples)
        EXPECT_TRUE(converts(e.path, e.unusedBits, e.src, e.srcBpp, e.want)) << e.what;
}

// Both paths of a converter, or its one path.
std::vector<LineFn> bothPaths(const cv::Paths& paths) { return {paths.scalar, paths.vector()}; }

TEST(MonoDepth, SixteenAndThirtyTwoBitGreyKeepTheirTopSignificantBits)
{
    for (LineFn path : bothPaths(cv::kMono16ToMono8)) {
        expectExamples({
            {"0x1234, full depth: the high byte", path, 0, 2, {0x34, 0x12}, {0x12}},
            {"0x1234, 8 unused bits: the low byte", path, 8, 2, {0x34, 0x12}, {0x34}},
            {"10-bit 1020..1023 all give 255, 0..3 give 0", path, 6, 2,
             {0xFC, 3, 0xFD, 3, 0xFE, 3, 0xFF, 3, 0, 0, 3, 0}, {255, 255, 255, 255, 0, 0}},
            {"10-bit 1024 spills past the depth: its low byte", path, 6, 2, {0x00, 0x04}, {0x00}},
        });
    }
    expectExamples({
        {"MONO32 full depth: the top byte", cv::kMono32ToMono8, 0, 4, {0x44, 0x33, 0x22, 0x11}, {0x11}},
        {"MONO32 24 unused bits: the low byte", cv::kMono32ToMono8, 24, 4, {0x44, 0x33, 0x22, 0x11}, {0x44}},
        {"MONO8 to MONO16 full depth", cv::kMono8ToMono16, 0, 1, {0xFF, 0x01}, {0x00, 0xFF, 0x00, 0x01}},
        {"MONO8 to 10-bit MONO16", cv::kMono8ToMono16, 6, 1, {0xFF}, {0xFC, 0x03}},
    });
}

TEST(MonoSign, IntegerConversionsMoveTheOffsetAndSaturateOnlyWithFewerBits)
{
    expectExamples({
        {"MONO8 to INT8", cv::kMono8ToInt8, 0, 1, {0x00, 0xFF, 0x80}, {0x80, 0x7F, 0x00}},
        {"INT8 to MONO8", cv::kInt8ToMono8, 0, 1, {0x80, 0x7F, 0x00}, {0x00, 0xFF, 0x80}},
        {"MONO8 to INT16 full depth: 0, 128, 255", cv::kMono8ToInt16, 0, 1, {0, 128, 255},
         {0x00, 0x80, 0x00, 0x00, 0x00, 0x7F}},
        {"MONO8 to INT16, 4 unused bits: the offset stays 0x8000", cv::kMono8ToInt16, 4, 1, {0xFF},
         {0xF0, 0x8F}},
        {"INT16 full depth: -32768, 0, 32767, -1", cv::kInt16ToMono8, 0, 2,
         {0x00, 0x80, 0x00, 0x00, 0xFF, 0x7F, 0xFF, 0xFF}, {0, 128, 255, 127}},
        {"INT16, 1 unused bit: -1 truncates to 0", cv::kInt16ToMono8, 1, 2, {0xFF, 0xFF}, {128}},
        {"INT16, 4 unused bits: 2047, 2048 saturates, -2048, -3000 saturates", cv::kInt16ToMono8, 4, 2,
         {0xFF, 0x07, 0x00, 0x08, 0x00, 0xF8, 0x48, 0xF4}, {255, 255, 0, 0}},
        {"INT16, 8 unused bits: -128..127 pass, beyond saturates", cv::kInt16ToMono8, 8, 2,
         {0x80, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x7F, 0xFF}, {0, 255, 255, 0}},
    });
}

TEST(MonoToRgb, SixteenBitGreyFillsEveryFieldWithItsTopBits)
{
    expectExamples({
        {"RGB565 of 10-bit 1023", cv::kMono16ToRgb565, 6, 2, {0xFF, 0x03}, {0xFF, 0xFF}},
        {"RGB5551 of 10-bit 1023: bit 15 stays 0", cv::kMono16ToRgb5551, 6, 2, {0xFF, 0x03}, {0xFF, 0x7F}},
        {"RGB5551 of 10-bit 2047 beyond the depth: fields cut", cv::kMono16ToRgb5551, 6, 2, {0xFF, 0x07},
         {0xFF, 0x7F}},
        {"RGB8888 of 0x8000", cv::kMono16ToRgb8888, 0, 2, {0x00, 0x80}, {0x80, 0x80, 0x80, 0x80}},
        {"RGB888 of 12-bit 0xFFF", cv::kMono16ToRgb888, 4, 2, {0xFF, 0x0F}, {0xFF, 0xFF, 0xFF}},
    });
}

TEST(MonoToRgb, EightBitGreySpillsPastItsDepthUncut)
{
    for (LineFn path : bothPaths(cv::kMono8ToRgb5551))
        expectExamples({{"RGB5551 of 255", path, 0, 1, {0xFF}, {0xFF, 0x7F}},
                        {"RGB5551 of 8", path, 0, 1, {0x08}, {0x21, 0x04}}});
    expectExamples({
        {"RGB5551 of 5-bit 31", cv::kMono8ToRgb5551.scalar, 3, 1, {31}, {0xFF, 0x7F}},
        {"RGB5551 of 5-bit 32 spills into green and bit 15", cv::kMono8ToRgb5551.scalar, 3, 1, {32},
         {0x20, 0x84}},
        {"RGB565 of 6-bit 64 spills", cv::kMono8ToRgb565.scalar, 2, 1, {64}, {0x20, 0x08}},
    });
}

// The vector path cuts green from the doubled byte: grey values with bit 2 set lose green bit 0.
TEST(MonoToRgb, Rgb565GreenDiffersOnTheVectorPathOnly)
{
    const LineFn scalar = cv::kMono8ToRgb565.scalar;
    expectExamples({{"scalar 4, 255, 8", scalar, 0, 1, {4, 255, 8}, {0x20, 0x00, 0xFF, 0xFF, 0x41, 0x08}}});
    for (auto [isa, path] : runnableVariants(cv::kMono8ToRgb565))
        expectExamples({{cv::isaName(isa), path, 0, 1, {4, 255, 8}, {0x00, 0x00, 0xDF, 0xFF, 0x41, 0x08}}});
}

TEST(Luminance, EightBitRgbTruncatesTheWeightedSum)
{
    for (LineFn path : bothPaths(cv::kRgb8888ToMono8)) {
        expectExamples({{"red, green, blue, white, each with a fourth byte", path, 0, 4,
                         {0, 0, 255, 0x12, 0, 255, 0, 0xFF, 255, 0, 0, 0x80, 255, 255, 255, 0x00},
                         {76, 149, 29, 255}}});
    }
    expectExamples({{"RGB888 red, green, blue, white", cv::kRgb888ToMono8, 0, 3,
                     {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255}, {76, 149, 29, 255}}});
}

} // namespace
} // namespace vyr::test
