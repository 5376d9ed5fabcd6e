// Bicolor conversions: every path and export against a reference over counts, flags, shifts and placements.
#include <gtest/gtest.h>

#include "convert/bicolor.h"
#include "export_shapes.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

struct RgbFormat {
    size_t sampleBytes;
    size_t samples;    // per pixel; a fourth one is neither written nor read
    const char* order; // colour of each of the first three samples
};

constexpr RgbFormat kRgb888{1, 3, "BGR"}, kRgb8888{1, 4, "BGR"}, kRgbr888{1, 3, "RGB"},
    kRgb161616{2, 3, "BGR"}, kRgb16161616{2, 4, "BGR"};

// The extra arguments in one word: the shift in the low byte, the flag (blueFirst, swapSamples...) above.
uint32_t shiftOf(uint32_t arg) { return (arg & 0xFF) % 32; }
uint32_t flagOf(uint32_t arg) { return arg >> 8; }

bool redAt(uint32_t i, uint32_t blueFirst) { return blueFirst ? i % 2 == 1 : i % 2 == 0; }

template <size_t SrcBytes, const RgbFormat& Dst>
void refBicolorToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    std::vector<uint32_t> own(count), missing(count);
    for (uint32_t i = 0; i < count; ++i)
        own[i] = loadLe(src + 2 * SrcBytes * i, SrcBytes);
    if (count == 2) {
        missing = {0, own[0]};
    } else if (count >= 3) {
        missing[0] = own[1];
        for (uint32_t i = 1; i + 1 < count; ++i)
            missing[i] = (own[i - 1] + own[i + 1]) / 2;
        missing[count - 1] = own[count - 2];
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t green = loadLe(src + 2 * SrcBytes * i + SrcBytes, SrcBytes);
        const bool red = redAt(i, flagOf(arg));
        for (size_t k = 0; k < 3; ++k) {
            const char colour = Dst.order[k];
            const uint32_t v = colour == 'G' ? green : (colour == 'R') == red ? own[i] : missing[i];
            storeLe(dst + Dst.sampleBytes * (Dst.samples * i + k), Dst.sampleBytes, v >> shiftOf(arg));
        }
    }
}

template <const RgbFormat& Src, size_t DstBytes>
void refRgbToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rgb['Z'] = {};
        for (size_t k = 0; k < 3; ++k)
            rgb[int(Src.order[k])] = loadLe(src + Src.sampleBytes * (Src.samples * i + k), Src.sampleBytes);
        const uint32_t colour = redAt(i, flagOf(arg)) ? rgb[int('R')] : rgb[int('B')];
        storeLe(dst + 2 * DstBytes * i, DstBytes, colour >> shiftOf(arg));
        storeLe(dst + 2 * DstBytes * i + DstBytes, DstBytes, rgb[int('G')] >> shiftOf(arg));
    }
}

enum class Exchange { Always, WhenFlagSet, WhenFlagClear };

template <size_t SrcBytes, size_t DstBytes, Exchange E>
void refBicolorToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)
{
    const bool exchange = E == Exchange::Always || (E == Exchange::WhenFlagSet) == (flagOf(arg) != 0);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t first = loadLe(src + 2 * SrcBytes * i, SrcBytes) >> shiftOf(arg);
        const uint32_t second = loadLe(src + 2 * SrcBytes * i + SrcBytes, SrcBytes) >> shiftOf(arg);
        storeLe(dst + 2 * DstBytes * i, DstBytes, exchange ? second : first);
        storeLe(dst + 2 * DstBytes * i + DstBytes, DstBytes, exchange ? first : second);
    }
}

struct BicolorCase : BicolorConverter {
    LineFn reference;
};

// The reference last: its template arguments hold commas.
#define CASE(name, paths, args, srcBytes, dstBytes, ...)                                                     \
    {                                                                                                        \
        BICOLOR(name, paths, args, srcBytes, dstBytes), __VA_ARGS__                                          \
    }

const BicolorCase kCases[] = {
    CASE(Bicolor88toRGB8888, kBicolor88ToRgb8888, 4, 2, 4, refBicolorToRgb<1, kRgb8888>),
    CASE(Bicolor88toRGB888, kBicolor88ToRgb888, 4, 2, 3, refBicolorToRgb<1, kRgb888>),
    CASE(Bicolor88toRGBR888, kBicolor88ToRgbr888, 4, 2, 3, refBicolorToRgb<1, kRgbr888>),
    CASE(Bicolor88toRGB161616, kBicolor88ToRgb161616, 4, 2, 6, refBicolorToRgb<1, kRgb161616>),
    CASE(Bicolor88toRGB16161616, kBicolor88ToRgb16161616, 4, 2, 8, refBicolorToRgb<1, kRgb16161616>),
    CASE(Bicolor1616toRGB8888, kBicolor1616ToRgb8888, 5, 4, 4, refBicolorToRgb<2, kRgb8888>),
    CASE(Bicolor1616toRGB888, kBicolor1616ToRgb888, 5, 4, 3, refBicolorToRgb<2, kRgb888>),
    CASE(Bicolor1616toRGBR888, kBicolor1616ToRgbr888, 5, 4, 3, refBicolorToRgb<2, kRgbr888>),
    CASE(Bicolor1616toRGB161616, kBicolor1616ToRgb161616, 5, 4, 6, refBicolorToRgb<2, kRgb161616>),
    CASE(Bicolor1616toRGB16161616, kBicolor1616ToRgb16161616, 5, 4, 8, refBicolorToRgb<2, kRgb16161616>),
    CASE(RGB888toBicolor88, kRgb888ToBicolor88, 4, 3, 2, refRgbToBicolor<kRgb888, 1>),
    CASE(RGB8888toBicolor88, kRgb8888ToBicolor88, 4, 4, 2, refRgbToBicolor<kRgb8888, 1>),
    CASE(RGBR888toBicolor88, kRgbr888ToBicolor88, 4, 3, 2, refRgbToBicolor<kRgbr888, 1>),
    CASE(RGB888toBicolor1616, kRgb888ToBicolor1616, 4, 3, 4, refRgbToBicolor<kRgb888, 2>),
    CASE(RGB8888toBicolor1616, kRgb8888ToBicolor1616, 4, 4, 4, refRgbToBicolor<kRgb8888, 2>),
    CASE(RGBR888toBicolor1616, kRgbr888ToBicolor1616, 4, 3, 4, refRgbToBicolor<kRgbr888, 2>),
    CASE(RGB161616toBicolor1616, kRgb161616ToBicolor1616, 5, 6, 4, refRgbToBicolor<kRgb161616, 2>),
    CASE(RGB16161616toBicolor1616, kRgb16161616ToBicolor1616, 5, 8, 4, refRgbToBicolor<kRgb16161616, 2>),
    CASE(Bicolor88toBicolor88, kBicolor88ToBicolor88, 3, 2, 2, refBicolorToBicolor<1, 1, Exchange::Always>),
    CASE(Bicolor88toBicolor1616, kBicolor88ToBicolor1616, 4, 2, 4,
         refBicolorToBicolor<1, 2, Exchange::WhenFlagSet>),
    CASE(Bicolor1616toBicolor1616, kBicolor1616ToBicolor1616, 5, 4, 4,
         refBicolorToBicolor<2, 2, Exchange::WhenFlagClear>),
};
#undef CASE

class Bicolor : public IsaTest<BicolorCase> {};

// The flag the export hands its table: always 1 from Bicolor88toBicolor88, inverted by
// Bicolor1616toBicolor1616.
uint32_t pathFlag(const BicolorCase& c, uint32_t flag)
{
    const std::string name = c.name;
    return name == "Bicolor88toBicolor88" ? 1 : name == "Bicolor1616toBicolor1616" ? flag == 0 : flag;
}

// Every path of a case at an instruction set, and at plain the export, each taking the shift and flag
// in one argument.
std::vector<std::pair<std::string, Path>> pathsOf(const BicolorCase& c, Isa isa)
{
    std::vector<std::pair<std::string, Path>> paths;
    for (const auto& p : pathsAt(*c.paths, isa)) {
        paths.emplace_back(p.name, [&c, fn = p.fn](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) {
            fn(s, d, n, c.args == 5 ? arg & 0xFF : 0, pathFlag(c, flagOf(arg)));
        });
    }
    // The export must return 0; its shift goes in unreduced, so values of 32 and more show that it is
    // taken modulo 32.
    if (isa == convert::kPlain) {
        paths.emplace_back("export", [&c](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) {
            EXPECT_EQ(0u, c.exported(s, d, n, arg & 0xFF, flagOf(arg)));
        });
    }
    return paths;
}

// Both colour orders, flags other than 1 acting as set, shifts including those taken modulo 32.
TEST_P(Bicolor, FollowsTheRuleForEveryCountFlagShiftAndPlacement)
{
    const std::vector<uint32_t> none = {0}, flags = {0, 1, 0x10000}, shifts = {0, 3, 15, 20, 35};
    const auto paths = pathsOf(c(), isa());
    for (uint32_t flag : c().args >= 4 ? flags : none) {
        for (uint32_t shift : c().args == 5 ? shifts : none) {
            const LineShape shape{{c().srcBytes}, {c().dstBytes}, flag << 8 | shift};
            for (const auto& [name, path] : paths) {
                EXPECT_TRUE(matchesReference(shape, path, c().reference,
                                             countsUpTo(kCountsThroughUnits, {255, 1001})))
                    << name << ", flag " << flag << ", shift " << shift;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Bicolor, atEveryIsa(kCases), IsaCaseName());

// Sources of up to 24 bits: every value, in both colour orders. Input n as a source pixel: a Bicolor88
// pixel takes n scrambled (an odd multiple modulo 2^16 takes every value once, beside varied neighbours),
// an RGB888 pixel takes n.
class BicolorEveryInput : public IsaTest<BicolorCase> {};
TEST_P(BicolorEveryInput, OnEveryPath)
{
    const uint32_t bytes = c().srcBytes;
    const auto put = [bytes](uint8_t* s, uint32_t, uint32_t i, uint32_t n) {
        storeLe(s + bytes * i, bytes, bytes == 2 ? n * 0x9E37u : n);
    };
    for (uint32_t flag : {0u, 1u}) {
        EXPECT_TRUE(sweepPaths(1u << 8 * bytes, {bytes}, {c().dstBytes}, put, c().reference,
                               pathsOf(c(), isa()), flag << 8))
            << "flag " << flag;
    }
}
INSTANTIATE_TEST_SUITE_P(Converters, BicolorEveryInput,
                         atEveryIsa(kCases,
                                    [](auto& c, Isa i) { return c.srcBytes <= 3 && hasPathAt(*c.paths, i); }),
                         IsaCaseName());

} // namespace
} // namespace vyr::test
