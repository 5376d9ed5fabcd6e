// Bicolor conversions: every export against a reference written from the format descriptions,
// over counts, flags, shifts and guard-page placements, and the worked values.
#include <gtest/gtest.h>

#include <array>

#include "bytes.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

// ---- Formats -----------------------------------------------------------------------------------

struct RgbFormat {
    size_t sampleBytes;
    size_t samples;    // per pixel; a fourth one is neither written nor read
    const char* order; // colour of each of the first three samples
};

constexpr RgbFormat kRgb888{1, 3, "BGR"}, kRgb8888{1, 4, "BGR"}, kRgbr888{1, 3, "RGB"}, kRgb161616{2, 3, "BGR"},
    kRgb16161616{2, 4, "BGR"};

uint32_t getLE(const uint8_t* p, size_t bytes) { return bytes == 1 ? p[0] : uint32_t(p[0] | p[1] << 8); }

void putLE(uint8_t* p, size_t bytes, uint32_t v)
{
    for (size_t i = 0; i < bytes; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// The extra arguments travel in one word through the line harness: the shift in the low byte, the
// flag (blueFirst, swapSamples or keepOrder) above it.
uint32_t shiftOf(uint32_t arg) { return (arg & 0xFF) % 32; }
uint32_t flagOf(uint32_t arg) { return arg >> 8; }

bool redAt(uint32_t i, uint32_t blueFirst) { return blueFirst ? i % 2 == 1 : i % 2 == 0; }

// ---- References ---------------------------------------------------------------------------------

template <size_t SrcBytes, const RgbFormat& Dst>
void refBicolorToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    std::vector<uint32_t> own(count), missing(count);
    for (uint32_t i = 0; i < count; ++i)
        own[i] = getLE(src + 2 * SrcBytes * i, SrcBytes);
    if (count == 2) {
        missing = {0, own[0]};
    } else if (count >= 3) {
        missing[0] = own[1];
        for (uint32_t i = 1; i + 1 < count; ++i)
            missing[i] = (own[i - 1] + own[i + 1]) / 2;
        missing[count - 1] = own[count - 2];
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t green = getLE(src + 2 * SrcBytes * i + SrcBytes, SrcBytes);
        const bool red = redAt(i, flagOf(arg));
        for (size_t k = 0; k < 3; ++k) {
            const char colour = Dst.order[k];
            const uint32_t v = colour == 'G' ? green : (colour == 'R') == red ? own[i] : missing[i];
            putLE(dst + Dst.sampleBytes * (Dst.samples * i + k), Dst.sampleBytes, v >> shiftOf(arg));
        }
    }
}

template <const RgbFormat& Src, size_t DstBytes>
void refRgbToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rgb['Z'] = {};
        for (size_t k = 0; k < 3; ++k)
            rgb[int(Src.order[k])] = getLE(src + Src.sampleBytes * (Src.samples * i + k), Src.sampleBytes);
        const uint32_t colour = redAt(i, flagOf(arg)) ? rgb['R'] : rgb['B'];
        putLE(dst + 2 * DstBytes * i, DstBytes, colour >> shiftOf(arg));
        putLE(dst + 2 * DstBytes * i + DstBytes, DstBytes, rgb['G'] >> shiftOf(arg));
    }
}

enum class Exchange { Always, WhenFlagSet, WhenFlagClear };

template <size_t SrcBytes, size_t DstBytes, Exchange E>
void refBicolorToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    const bool exchange = E == Exchange::Always || (E == Exchange::WhenFlagSet) == (flagOf(arg) != 0);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t first = getLE(src + 2 * SrcBytes * i, SrcBytes) >> shiftOf(arg);
        const uint32_t second = getLE(src + 2 * SrcBytes * i + SrcBytes, SrcBytes) >> shiftOf(arg);
        putLE(dst + 2 * DstBytes * i, DstBytes, exchange ? second : first);
        putLE(dst + 2 * DstBytes * i + DstBytes, DstBytes, exchange ? first : second);
    }
}

// ---- The exports as line functions ----------------------------------------------------------------

using Export3 = uint32_t(VYR_CALL*)(const void*, void*, uint32_t);
using Export4 = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t);
using Export5 = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t, uint32_t);

uint32_t lastResult = 0; // what the export returned, checked to be 0

template <Export3 F>
void call3(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t) { lastResult |= F(s, d, n); }
template <Export4 F>
void call4(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) { lastResult |= F(s, d, n, flagOf(arg)); }
// The shift goes in unreduced, so values of 32 and more show that it is taken modulo 32.
template <Export5 F>
void call5(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) { lastResult |= F(s, d, n, arg & 0xFF, flagOf(arg)); }

struct Case {
    const char* name;
    LineFn exported;
    LineFn reference;
    size_t srcBpp, dstBpp;
    bool shifts, flag;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"Bicolor88toRGB8888", call4<VyrUtilConvertBicolor88toRGB8888>, refBicolorToRgb<1, kRgb8888>, 2, 4, false, true},
    {"Bicolor88toRGB888", call4<VyrUtilConvertBicolor88toRGB888>, refBicolorToRgb<1, kRgb888>, 2, 3, false, true},
    {"Bicolor88toRGBR888", call4<VyrUtilConvertBicolor88toRGBR888>, refBicolorToRgb<1, kRgbr888>, 2, 3, false, true},
    {"Bicolor88toRGB161616", call4<VyrUtilConvertBicolor88toRGB161616>, refBicolorToRgb<1, kRgb161616>, 2, 6, false,
     true},
    {"Bicolor88toRGB16161616", call4<VyrUtilConvertBicolor88toRGB16161616>, refBicolorToRgb<1, kRgb16161616>, 2, 8,
     false, true},
    {"Bicolor1616toRGB8888", call5<VyrUtilConvertBicolor1616toRGB8888>, refBicolorToRgb<2, kRgb8888>, 4, 4, true, true},
    {"Bicolor1616toRGB888", call5<VyrUtilConvertBicolor1616toRGB888>, refBicolorToRgb<2, kRgb888>, 4, 3, true, true},
    {"Bicolor1616toRGBR888", call5<VyrUtilConvertBicolor1616toRGBR888>, refBicolorToRgb<2, kRgbr888>, 4, 3, true, true},
    {"Bicolor1616toRGB161616", call5<VyrUtilConvertBicolor1616toRGB161616>, refBicolorToRgb<2, kRgb161616>, 4, 6, true,
     true},
    {"Bicolor1616toRGB16161616", call5<VyrUtilConvertBicolor1616toRGB16161616>, refBicolorToRgb<2, kRgb16161616>, 4, 8,
     true, true},
    {"RGB888toBicolor88", call4<VyrUtilConvertRGB888toBicolor88>, refRgbToBicolor<kRgb888, 1>, 3, 2, false, true},
    {"RGB8888toBicolor88", call4<VyrUtilConvertRGB8888toBicolor88>, refRgbToBicolor<kRgb8888, 1>, 4, 2, false, true},
    {"RGBR888toBicolor88", call4<VyrUtilConvertRGBR888toBicolor88>, refRgbToBicolor<kRgbr888, 1>, 3, 2, false, true},
    {"RGB888toBicolor1616", call4<VyrUtilConvertRGB888toBicolor1616>, refRgbToBicolor<kRgb888, 2>, 3, 4, false, true},
    {"RGB8888toBicolor1616", call4<VyrUtilConvertRGB8888toBicolor1616>, refRgbToBicolor<kRgb8888, 2>, 4, 4, false,
     true},
    {"RGBR888toBicolor1616", call4<VyrUtilConvertRGBR888toBicolor1616>, refRgbToBicolor<kRgbr888, 2>, 3, 4, false,
     true},
    {"RGB161616toBicolor1616", call5<VyrUtilConvertRGB161616toBicolor1616>, refRgbToBicolor<kRgb161616, 2>, 6, 4, true,
     true},
    {"RGB16161616toBicolor1616", call5<VyrUtilConvertRGB16161616toBicolor1616>, refRgbToBicolor<kRgb16161616, 2>, 8,
     4, true, true},
    {"Bicolor88toBicolor88", call3<VyrUtilConvertBicolor88toBicolor88>, refBicolorToBicolor<1, 1, Exchange::Always>,
     2, 2, false, false},
    {"Bicolor88toBicolor1616", call4<VyrUtilConvertBicolor88toBicolor1616>,
     refBicolorToBicolor<1, 2, Exchange::WhenFlagSet>, 2, 4, false, true},
    {"Bicolor1616toBicolor1616", call5<VyrUtilConvertBicolor1616toBicolor1616>,
     refBicolorToBicolor<2, 2, Exchange::WhenFlagClear>, 4, 4, true, true},
};

class Bicolor : public ::testing::TestWithParam<Case> {};

// Every count (1 and 2 are the short cases, 3 the first with a middle), both colour orders and
// flags other than 1 acting as set, shifts including those taken modulo 32.
TEST_P(Bicolor, FollowsTheRuleForEveryCountFlagShiftAndPlacement)
{
    const Case& c = GetParam();
    const auto counts = countsUpTo(20, {255, 1001});
    for (uint32_t flag : c.flag ? std::vector<uint32_t>{0, 1, 0x10000} : std::vector<uint32_t>{0}) {
        for (uint32_t shift : c.shifts ? std::vector<uint32_t>{0, 3, 15, 20, 35} : std::vector<uint32_t>{0}) {
            lastResult = 0;
            const LineSpec lines{bytesPerPixel(c.srcBpp), bytesPerPixel(c.dstBpp), flag << 8 | shift};
            EXPECT_TRUE(matchesReference(lines, c.exported, c.reference, counts)) << "flag " << flag << ", shift " << shift;
            EXPECT_EQ(0u, lastResult);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Bicolor, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Worked values ---------------------------------------------------------------------------------

template <size_t N>
std::array<uint8_t, N> asArray(const uint8_t (&bytes)[N])
{
    std::array<uint8_t, N> out;
    std::copy(bytes, bytes + N, out.begin());
    return out;
}

std::vector<uint8_t> words(std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
    return out;
}

TEST(BicolorValues, MissingColoursOfTheWorkedLine)
{
    const uint8_t src[8] = {10, 100, 20, 110, 30, 120, 40, 130};
    std::vector<uint8_t> dst(16, 0xC3);
    EXPECT_EQ(0u, VyrUtilConvertBicolor88toRGB8888(src, dst.data(), 4, 0));
    // blue, green, red, untouched fourth byte
    EXPECT_EQ((std::vector<uint8_t>{20, 100, 10, 0xC3, 20, 110, 20, 0xC3, 30, 120, 30, 0xC3, 40, 130, 30, 0xC3}), dst);

    const uint8_t odd[6] = {11, 0, 99, 0, 20, 0};
    uint8_t rgb[9];
    VyrUtilConvertBicolor88toRGBR888(odd, rgb, 3, 0);
    EXPECT_EQ(15, rgb[3]) << "the mean of 11 and 20 rounds down";

    uint8_t one[3] = {1, 1, 1}, two[6];
    VyrUtilConvertBicolor88toRGB888(src, one, 1, 0);
    EXPECT_EQ((std::array<uint8_t, 3>{0, 100, 10}), asArray(one));
    VyrUtilConvertBicolor88toRGB888(src, two, 2, 1);
    EXPECT_EQ((std::array<uint8_t, 6>{10, 100, 0, 10, 110, 20}), asArray(two));
}

TEST(BicolorValues, ShiftsComeAfterTheMeanAndNarrowToTheLowByte)
{
    const std::vector<uint8_t> sample = words({291, 291});
    uint8_t bgrx[4] = {0, 0, 0, 0};
    VyrUtilConvertBicolor1616toRGB8888(sample.data(), bgrx, 1, 0, 0);
    EXPECT_EQ(35, bgrx[2]);
    VyrUtilConvertBicolor1616toRGB8888(sample.data(), bgrx, 1, 4, 0);
    EXPECT_EQ(18, bgrx[2]);

    const std::vector<uint8_t> line = words({3, 0, 9, 0, 5, 0});
    std::vector<uint8_t> out(18);
    VyrUtilConvertBicolor1616toRGB161616(line.data(), out.data(), 3, 1, 0);
    EXPECT_EQ(2u, getLE(&out[10], 2)) << "(3 + 5) / 2 >> 1, not the mean of the shifted samples";
}

TEST(BicolorValues, RgbSelectsByPatternAndRoundTripsKeepOwnSamples)
{
    const uint8_t bgr[9] = {0xB0, 0x60, 0xA0, 0xB1, 0x61, 0xA1, 0xB2, 0x62, 0xA2};
    const uint8_t rgbr[9] = {0xA0, 0x60, 0xB0, 0xA1, 0x61, 0xB1, 0xA2, 0x62, 0xB2};
    uint8_t bicolor[6], fromRgbr[6];
    VyrUtilConvertRGB888toBicolor88(bgr, bicolor, 3, 0);
    EXPECT_EQ((std::array<uint8_t, 6>{0xA0, 0x60, 0xB1, 0x61, 0xA2, 0x62}), asArray(bicolor));
    VyrUtilConvertRGBR888toBicolor88(rgbr, fromRgbr, 3, 0);
    EXPECT_EQ(asArray(bicolor), asArray(fromRgbr));
    VyrUtilConvertRGB888toBicolor88(bgr, bicolor, 3, 1);
    EXPECT_EQ((std::array<uint8_t, 6>{0xB0, 0x60, 0xA1, 0x61, 0xB2, 0x62}), asArray(bicolor));

    // Back to RGB: greens and each pixel's own colour survive.
    uint8_t back[9];
    VyrUtilConvertBicolor88toRGB888(bicolor, back, 3, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bgr[3 * i + 1], back[3 * i + 1]) << "green of pixel " << i;
        const int own = i % 2 ? 2 : 0; // blue first: pixels 0 and 2 keep blue, pixel 1 red
        EXPECT_EQ(bgr[3 * i + own], back[3 * i + own]) << "own colour of pixel " << i;
    }

    const std::vector<uint8_t> pairs = randomBytes(400, 5);
    std::vector<uint8_t> copy(400);
    VyrUtilConvertBicolor1616toBicolor1616(pairs.data(), copy.data(), 100, 0, 7);
    EXPECT_EQ(pairs, copy);
}

} // namespace
} // namespace vyr::test
