// HSV and HSI to and from RGB8888 and the value plane: double-precision scalar, integer vector rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>

#include "colour_sweep.h"
#include "convert/hsi.h"
#include "convert/hsv.h"

namespace vyr::test {
namespace {

uint8_t limitedByte(double x) // x * 255 + 0.5, limited to 0..255, truncated
{
    const double v = x * 255.0 + 0.5;
    return uint8_t(v > 255.0 ? 255.0 : v < 0.0 ? 0.0 : v);
}

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
    const uint64_t w = n ? (uint64_t(32640) * 32768 + n - 1) / n : 0;
    return uint32_t((x * w + (1u << 21)) >> 22);
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

// HSV, or HSI with I read as the largest channel (its own order of operations); S = 0 is grey.
template <bool Hsi>
void refToRgbScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
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
            const double p = (1 - s) * v;
            const double q = Hsi ? v - (v - p) * f : (1 - f * s) * v;
            const double t = Hsi ? (v - p) * f + p : (1 - (1 - f) * s) * v;
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
        const int64_t ramp =
            std::min<int64_t>(255, (2 * y + 515 * (y >> 15) + ((515 * (y & 32767)) >> 15) + 65536) >> 17);
        const int64_t table[6][3] = {{v, ramp, p}, {ramp, v, p}, {p, v, ramp},
                                     {p, ramp, v}, {ramp, p, v}, {v, p, ramp}};
        const int64_t* rgb = table[sector];
        const uint8_t out[4] = {uint8_t(s ? rgb[2] : v), uint8_t(s ? rgb[1] : v), uint8_t(s ? rgb[0] : v), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

void refHsvToMono8(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = src[4 * i];
}

// The fourth argument is ignored (5 here).
const Converter kCases[] = {
    {"RGB8888toHSV", &convert::kRgb8888ToHsv, bytesPer<4>, 4, refHexconeScalar<false>,
     refHexconeVector<false>, VyrUtilConvertRGB8888toHSV, 5},
    {"HSVtoRGB8888", &convert::kHsvToRgb8888, bytesPer<4>, 4, refToRgbScalar<false>, refHsvToRgbVector,
     VyrUtilConvertHSVtoRGB8888, 5},
    {"RGB8888toHSI", &convert::kRgb8888ToHsi, bytesPer<4>, 4, refHexconeScalar<true>, refHexconeVector<true>,
     VyrUtilConvertRGB8888toHSI, 5},
    {"HSItoRGB8888", &convert::kHsiToRgb8888, bytesPer<4>, 4, refToRgbScalar<true>, nullptr,
     VyrUtilConvertHSItoRGB8888, 5},
    {"HSVtoMONO8", &convert::kHsvToMono8, bytesPer<4>, 1, refHsvToMono8, nullptr, VyrUtilConvertHSVtoMONO8,
     5},
};

INSTANTIATE_TEST_SUITE_P(Hexcone, Converters, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- How the two rules differ (pixels in B, G, R; V, S, H; bytes 0..2) ----------------------------

// V agrees; S by at most one; H one lower (mod 256) or equal where red is the maximum and G >= B,
// else equal or one higher.
bool rgbToHsvAsStated(const uint8_t* p, const uint8_t* scalar, const uint8_t* vector)
{
    const int hDiff = (vector[2] - scalar[2] + 256) % 256;
    const bool redTowardsYellow = p[2] >= p[1] && p[1] >= p[0];
    return vector[0] == scalar[0] && std::abs(vector[1] - scalar[1]) <= 1 &&
           (redTowardsYellow ? hDiff == 255 || hDiff == 0 : hDiff <= 1);
}

// At most one per channel; greys and fully saturated primaries agree.
bool hsvToRgbAsStated(const uint8_t* p, const uint8_t* scalar, const uint8_t* vector)
{
    const bool mustAgree = p[1] == 0 || (p[1] == 255 && (p[2] == 0 || p[2] == 85 || p[2] == 170));
    for (int k = 0; k < 3; ++k) {
        if (std::abs(vector[k] - scalar[k]) > (mustAgree ? 0 : 1))
            return false;
    }
    return true;
}

// The vector path's I is the mean rounded down: one lower where the scalar path rounds up.
bool rgbToHsiAsStated(const uint8_t* p, const uint8_t* scalar, const uint8_t* vector)
{
    const bool roundedUp = (p[0] + p[1] + p[2]) % 3 == 2;
    return vector[0] == scalar[0] - roundedUp;
}

TEST(Hexcone, EveryInputOnEveryPathAndTheRulesDifferOnlyAsStated)
{
    const Differ differs[] = {rgbToHsvAsStated, hsvToRgbAsStated, rgbToHsiAsStated, nullptr, nullptr};
    for (size_t k = 0; k < std::size(kCases); ++k)
        EXPECT_TRUE(sweepEveryInput(kCases[k], differs[k]));
}

// ---- Where the vector paths differ: in and out in the order R, G, B; H, S, V; H, S, I -------------

TEST(Hexcone, KnownValues)
{
    expectKnown(convert::kRgb8888ToHsv,
                {
                    {{255, 0, 0}, {0, 255, 255}, {255, 255, 255}}, // red: hue wraps on the vector path
                    {{128, 128, 128}, {0, 0, 128}, {255, 0, 128}}, // greys are hue 255 on the vector path
                });
    expectKnown(convert::kHsvToRgb8888, {
                                            {{20, 128, 200}, {200, 147, 100}, {200, 147, 99}},
                                        });
    expectKnown(convert::kRgb8888ToHsi,
                {
                    {{1, 1, 0}, {43, 255, 1}, {42, 255, 0}}, // mean 2/3: rounded up, and down
                    {{128, 128, 128}, {0, 0, 128}, {255, 0, 128}},
                });
}

} // namespace
} // namespace vyr::test
