// HSV and HSI: RGB8888 to HSV and HSI and back, and the value plane, on every path against
// references written here from the rules: the double-precision rule of the scalar paths, the
// integer rule of the vector paths, and the differences between them.
#include <gtest/gtest.h>

#include <functional>
#include <atomic>
#include <cstdlib>

#include "bytes.h"
#include "colour_sweep.h"
#include "convert/hsi.h"
#include "convert/hsv.h"
#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/simd.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

using convert::isaName;
using convert::LineFn;
using convert::Paths;

uint8_t limitedByte(double x) // x * 255 + 0.5, limited to 0..255, truncated
{
    const double v = x * 255.0 + 0.5;
    return uint8_t(v > 255.0 ? 255.0 : v < 0.0 ? 0.0 : v);
}

// ---- References -----------------------------------------------------------------------------

// Bytes (V or I), S, H, 0; the third channel is V = max, or I = the mean (b + r + g) / 3.
template <bool Intensity>
void refHexconeScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const DoubleArithmetic arithmetic;
    for (uint32_t i = 0; i < count; ++i) {
        const double b = src[4 * i] / 255.0, g = src[4 * i + 1] / 255.0, r = src[4 * i + 2] / 255.0;
        const double max = std::max(r, std::max(g, b)), min = std::min(r, std::min(g, b));
        double h = 0, s = 0;
        if (max > 0) {
            const double d = max - min;
            s = d / max;
            if (s > 0) {
                const double rc = (max - r) / d, gc = (max - g) / d, bc = (max - b) / d;
                h = r == max ? bc - gc : g == max ? 2 + rc - bc : 4 + gc - rc;
                h /= 6;
                if (h < 0)
                    h += 1;
            }
        }
        const double level = Intensity ? (b + r + g) / 3 : max;
        const uint8_t out[4] = {limitedByte(level), limitedByte(s), limitedByte(h), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

// x * 255 / n rounded as the table does it: with w = ceil(32640 * 32768 / n), (x w + 2^21) >> 22.
uint32_t tableQuotient(uint32_t x, uint32_t n)
{
    static const std::vector<uint64_t> w = [] {
        std::vector<uint64_t> out(256, 0);
        for (uint64_t k = 1; k < 256; ++k)
            out[k] = (uint64_t(32640) * 32768 + k - 1) / k;
        return out;
    }();
    return uint32_t((x * w[n] + (1u << 21)) >> 22);
}

template <bool Intensity>
void refHexconeVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        const int b = src[4 * i], g = src[4 * i + 1], r = src[4 * i + 2];
        const int max = std::max(r, std::max(g, b)), d = max - std::min(r, std::min(g, b));
        const int n = r == max ? g - b : g == max ? b - r : r - g;
        const int offset = r == max ? 1530 : g == max ? 510 : 1020;
        const int q = int(tableQuotient(uint32_t(std::abs(n)), uint32_t(d)));
        const int x = (n < 0 ? -q : q) + offset;
        const int h = ((((x * 21846) >> 16) + 1) >> 1) & 255;
        const int level = Intensity ? ((b + g + r) * 21846) >> 16 : max;
        const uint8_t out[4] = {uint8_t(level), uint8_t(tableQuotient(uint32_t(d), uint32_t(max))),
                                uint8_t(h), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

void refHsvToRgbScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const DoubleArithmetic arithmetic;
    for (uint32_t i = 0; i < count; ++i) {
        const double v = src[4 * i] / 255.0, s = src[4 * i + 1] / 255.0, h = src[4 * i + 2] / 255.0;
        double rgb[3] = {v, v, v};
        if (s != 0) {
            int sector = int(6 * h);
            double f = 6 * h - sector;
            if (sector == 6)
                sector = 5, f = 1;
            const double p = (1 - s) * v, q = (1 - f * s) * v, t = (1 - (1 - f) * s) * v;
            const double table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
            std::copy(table[sector], table[sector] + 3, rgb);
        }
        const uint8_t out[4] = {limitedByte(rgb[2]), limitedByte(rgb[1]), limitedByte(rgb[0]), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

void refHsvToRgbVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t v = src[4 * i], s = src[4 * i + 1], h = src[4 * i + 2];
        int sector = 0;
        for (int threshold : {42, 84, 127, 169, 212})
            sector += h > threshold;
        const int64_t f = 6 * h - 255 * sector, fPrime = sector % 2 ? f : 255 - f;
        const int64_t p = ((255 - s) * v * 257 + 128) >> 16;
        const int64_t y = v * (65025 - s * fPrime);
        const int64_t ramp = std::min<int64_t>(
            255, (2 * y + 515 * (y >> 15) + ((515 * (y & 32767)) >> 15) + 65536) >> 17);
        const int64_t table[6][3] = {{v, ramp, p}, {ramp, v, p}, {p, v, ramp},
                                     {p, ramp, v}, {ramp, p, v}, {v, p, ramp}};
        const int64_t* rgb = table[sector];
        const uint8_t out[4] = {uint8_t(s ? rgb[2] : v), uint8_t(s ? rgb[1] : v), uint8_t(s ? rgb[0] : v), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

// I read as the largest channel; S = 0 is the grey of level I.
void refHsiToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const DoubleArithmetic arithmetic;
    for (uint32_t k = 0; k < count; ++k) {
        const double i = src[4 * k] / 255.0, s = src[4 * k + 1] / 255.0, h = src[4 * k + 2] / 255.0;
        double rgb[3] = {i, i, i};
        if (s > 0 && i == 0) {
            rgb[0] = rgb[1] = rgb[2] = 0;
        } else if (s > 0) {
            const double m = (1 - s) * i, c = i - m;
            int sector = int(6 * h);
            double f = 6 * h - sector;
            if (sector == 6)
                sector = 5, f = 1;
            const double a = c * f, q = i - a;
            const double table[6][3] = {{i, a + m, m}, {q, i, m}, {m, i, a + m},
                                        {m, q, i}, {a + m, m, i}, {i, m, q}};
            std::copy(table[sector], table[sector] + 3, rgb);
        }
        const uint8_t out[4] = {limitedByte(rgb[2]), limitedByte(rgb[1]), limitedByte(rgb[0]), 0};
        std::copy(out, out + 4, dst + 4 * k);
    }
}

void refHsvToMono8(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = src[4 * i];
}

// ---- Every path over counts, placements and long runs -------------------------------------------

struct Case {
    const char* name;
    const Paths* paths;
    size_t dstBpp;
    LineFn scalarReference;
    LineFn vectorReference; // null: no vector path
    ExportFn exported;
};

const Case kCases[] = {
    {"RGB8888toHSV", &convert::kRgb8888ToHsv, 4, refHexconeScalar<false>, refHexconeVector<false>,
     VyrUtilConvertRGB8888toHSV},
    {"HSVtoRGB8888", &convert::kHsvToRgb8888, 4, refHsvToRgbScalar, refHsvToRgbVector,
     VyrUtilConvertHSVtoRGB8888},
    {"RGB8888toHSI", &convert::kRgb8888ToHsi, 4, refHexconeScalar<true>, refHexconeVector<true>,
     VyrUtilConvertRGB8888toHSI},
    {"HSItoRGB8888", &convert::kHsiToRgb8888, 4, refHsiToRgb, nullptr, VyrUtilConvertHSItoRGB8888},
    {"HSVtoMONO8", &convert::kHsvToMono8, 1, refHsvToMono8, nullptr, VyrUtilConvertHSVtoMONO8},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Hexcone : public ::testing::TestWithParam<Case> {};

TEST_P(Hexcone, EveryPathFollowsItsRuleAtEveryCountAndPlacement)
{
    const Case& c = GetParam();
    const LineSpec shape{bytesPerPixel(4), bytesPerPixel(c.dstBpp)};
    const auto counts = countsUpTo(40, {63, 64, 65, 1000, 4099});
    EXPECT_TRUE(matchesReference(shape, c.paths->scalar, c.scalarReference, counts)) << "scalar path";
    for (auto [isa, path] : runnableVariants(*c.paths))
        EXPECT_TRUE(matchesReference(shape, path, c.vectorReference, counts)) << isaName(isa);
    // Long enough for the kernels' streaming stores, aligned and not.
    const uint32_t n = uint32_t(kernels::kStreamingBytes / 4 + 37);
    for (auto [isa, path] : runnableVariants(*c.paths)) {
        if (isa != convert::kPlain) {
            EXPECT_TRUE(matchesReference(shape, path, c.vectorReference, {n, n + 5})) << isaName(isa);
        }
    }
}

TEST_P(Hexcone, ExportTakesTheVectorPathWithMmxAndReturnsZero)
{
    const Case& c = GetParam();
    const bool vector = c.vectorReference && VyrUtilIsMMX();
    expectExportFollows(c.exported, vector ? c.vectorReference : c.scalarReference, c.dstBpp);
}

INSTANTIATE_TEST_SUITE_P(Converters, Hexcone, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Every colour -------------------------------------------------------------------------------

std::vector<std::pair<std::string, LineFn>> vectorPaths(const Paths& paths)
{
    std::vector<std::pair<std::string, LineFn>> out;
    for (auto [isa, path] : runnableVariants(paths))
        out.emplace_back(isaName(isa), path);
    return out;
}

TEST(HexconeSweep, EveryColourOnEveryPath)
{
    for (const Case& c : kCases) {
        if (c.dstBpp != 4)
            continue;
        EXPECT_TRUE(sweepMatches({{"scalar", c.paths->scalar}}, c.scalarReference, 4)) << c.name;
        if (c.vectorReference) {
            EXPECT_TRUE(sweepMatches(vectorPaths(*c.paths), c.vectorReference, 4)) << c.name;
        }
    }
}

// Runs a sweep through both paths of a converter; check says what is wrong with one pixel.
using PathsCheck =
    std::function<std::string(const uint8_t* src, const uint8_t* scalar, const uint8_t* vector)>;

::testing::AssertionResult sweepBothPaths(const Paths& paths, const PathsCheck& check)
{
    return sweepColours([&](const SweepLine& line) -> ::testing::AssertionResult {
        std::vector<uint8_t> scalar(4 * line.count), vector(4 * line.count);
        paths.scalar(line.pixels, scalar.data(), line.count, 0);
        paths.vector()(line.pixels, vector.data(), line.count, 0);
        for (size_t i = 0; i < 4 * size_t(line.count); i += 4) {
            const std::string wrong = check(line.pixels + i, &scalar[i], &vector[i]);
            if (!wrong.empty())
                return ::testing::AssertionFailure()
                       << "input 0x" << std::hex << line.inputs[i / 4] << ": " << wrong;
        }
        return ::testing::AssertionSuccess();
    });
}

// V agrees; S by at most one, rarely; H one lower (mod 256) or equal where red is the maximum and
// G >= B, else equal or one higher.
TEST(HexconeSweep, RgbToHsvPathsDifferOnlyAsStated)
{
    std::atomic<uint32_t> saturationDiffers{0};
    EXPECT_TRUE(sweepBothPaths(convert::kRgb8888ToHsv, [&](const uint8_t* p, const uint8_t* scalar,
                                                           const uint8_t* vector) {
        const int sDiff = vector[1] - scalar[1], hDiff = (vector[2] - scalar[2] + 256) % 256;
        const bool redTowardsYellow = p[2] >= p[1] && p[1] >= p[0];
        saturationDiffers += sDiff != 0;
        const bool asStated = vector[0] == scalar[0] && std::abs(sDiff) <= 1 &&
                              (redTowardsYellow ? hDiff == 255 || hDiff == 0 : hDiff <= 1);
        return asStated ? "" : "H " + std::to_string(scalar[2]) + " scalar, " + std::to_string(vector[2]);
    }));
    EXPECT_LT(saturationDiffers.load(), kColourInputs / colourSweepStride() / 100)
        << "S differences are rare";
}

// At most one per channel; greys and fully saturated primaries agree.
TEST(HexconeSweep, HsvToRgbPathsDifferByAtMostOne)
{
    EXPECT_TRUE(sweepBothPaths(
        convert::kHsvToRgb8888, [](const uint8_t* p, const uint8_t* scalar, const uint8_t* vector) {
            const bool mustAgree = p[1] == 0 || (p[1] == 255 && (p[2] == 0 || p[2] == 85 || p[2] == 170));
            for (int k = 0; k < 3; ++k) {
                if (std::abs(vector[k] - scalar[k]) > (mustAgree ? 0 : 1))
                    return "channel " + std::to_string(k);
            }
            return std::string();
        }));
}

// The vector path's I is the mean rounded down: one lower where the scalar path rounds up.
TEST(HexconeSweep, RgbToHsiIntensityRoundsDown)
{
    EXPECT_TRUE(sweepBothPaths(
        convert::kRgb8888ToHsi, [](const uint8_t* p, const uint8_t* scalar, const uint8_t* vector) {
            const bool roundedUp = (p[0] + p[1] + p[2]) % 3 == 2;
            return vector[0] == scalar[0] - roundedUp
                       ? ""
                       : "I " + std::to_string(scalar[0]) + " scalar, " + std::to_string(vector[0]);
        }));
}

// ---- Telling values -----------------------------------------------------------------------------

TEST(HexconeKnown, RgbToHsv)
{
    expectKnown(convert::kRgb8888ToHsv, {
        {{255, 0, 0}, {0, 255, 255}, {255, 255, 255}},       // red: hue wraps on the vector path
        {{0, 255, 0}, {85, 255, 255}, {85, 255, 255}},
        {{0, 0, 255}, {170, 255, 255}, {170, 255, 255}},
        {{255, 255, 0}, {43, 255, 255}, {42, 255, 255}},     // yellow
        {{0, 255, 255}, {128, 255, 255}, {128, 255, 255}},
        {{255, 0, 255}, {213, 255, 255}, {213, 255, 255}},
        {{128, 128, 128}, {0, 0, 128}, {255, 0, 128}},       // greys are hue 255 on the vector path
        {{0, 0, 0}, {0, 0, 0}, {255, 0, 0}},
        {{255, 255, 255}, {0, 0, 255}, {255, 0, 255}},
        {{200, 100, 50}, {14, 191, 200}, {13, 191, 200}},
        {{255, 0, 10}, {253, 255, 255}, {253, 255, 255}},    // just short of a full turn
    });
}

TEST(HexconeKnown, HsvToRgb)
{
    expectKnown(convert::kHsvToRgb8888, {
        {{0, 255, 255}, {255, 0, 0}, {255, 0, 0}},
        {{43, 255, 255}, {252, 255, 0}, {252, 255, 0}},
        {{128, 255, 255}, {0, 252, 255}, {0, 252, 255}},
        {{255, 255, 255}, {255, 0, 0}, {255, 0, 0}},         // 255 is red again
        {{14, 191, 200}, {200, 100, 50}, {200, 100, 50}},
        {{20, 128, 200}, {200, 147, 100}, {200, 147, 99}},
        {{77, 0, 200}, {200, 200, 200}, {200, 200, 200}},    // S = 0: grey V whatever H
    });
}

TEST(HexconeKnown, RgbToHsi)
{
    expectKnown(convert::kRgb8888ToHsi, {
        {{255, 0, 0}, {0, 255, 85}, {255, 255, 85}},
        {{0, 255, 0}, {85, 255, 85}, {85, 255, 85}},
        {{0, 255, 255}, {128, 255, 170}, {128, 255, 170}},
        {{1, 1, 0}, {43, 255, 1}, {42, 255, 0}},          // mean 2/3: rounded up, and down
        {{128, 128, 128}, {0, 0, 128}, {255, 0, 128}},
        {{200, 100, 50}, {14, 191, 117}, {13, 191, 116}},
    });
}

TEST(HexconeKnown, HsiToRgb)
{
    expectKnown(convert::kHsiToRgb8888, {
        {{0, 255, 85}, {85, 0, 0}, {}},                   // pure red returns brighter
        {{85, 255, 255}, {0, 255, 0}, {}},
        {{255, 255, 255}, {255, 0, 0}, {}},
        {{40, 200, 0}, {0, 0, 0}, {}},                    // I = 0, S > 0: black
        {{77, 0, 200}, {200, 200, 200}, {}},              // S = 0: the grey of level I
        {{77, 0, 0}, {0, 0, 0}, {}},
    });
}

// Entries as they are stated (the sweeps check every quotient through the table).
TEST(HexconeReciprocals, EntriesAsStated)
{
    const uint32_t* table = kernels::kHexconeReciprocals.entry;
    EXPECT_EQ(0u, table[0]);
    EXPECT_EQ(32640u, table[1]);
    EXPECT_EQ(4662u | 28087u << 16, table[7]);
    EXPECT_EQ(128u, table[255]);
}

} // namespace
} // namespace vyr::test
