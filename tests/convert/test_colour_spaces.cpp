// HSV, HSI and LAB to and from RGB8888 and their grey planes: double-precision scalar rules, integer
// vector rules for HSV and HSI, single precision back from LAB; every path over every 24-bit input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "convert/hsi.h"
#include "convert/hsv.h"
#include "convert/lab.h"
#include "line_harness.h"

#if defined(__i386__) && !defined(__SSE2_MATH__)
#include <fpu_control.h>
#endif

namespace vyr::test {
namespace {

// Double-precision references on the x87 too (53-bit control), calling pow in the mode it was written for.
class DoubleArithmetic {
public:
#if defined(__i386__) && !defined(__SSE2_MATH__)
    DoubleArithmetic()
    {
        _FPU_GETCW(saved_);
        set((saved_ & ~_FPU_EXTENDED) | _FPU_DOUBLE);
    }
    ~DoubleArithmetic() { set(saved_); }
    double pow(double x, double y) const
    {
        fpu_control_t own;
        _FPU_GETCW(own);
        set(saved_);
        const double result = std::pow(x, y);
        set(own);
        return result;
    }

private:
    static void set(fpu_control_t cw) { _FPU_SETCW(cw); }
    fpu_control_t saved_;
#else
    DoubleArithmetic() {}
    ~DoubleArithmetic() {}
    double pow(double x, double y) const { return std::pow(x, y); }
#endif
};

// Pixel i of a line of four bytes a pixel, the fourth 0.
void put(uint8_t* dst, uint32_t i, uint8_t first, uint8_t second, uint8_t third)
{
    storeLe(dst + 4 * i, 4, first | second << 8 | third << 16);
}

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
        put(dst, i, limitedByte(level), limitedByte(s), limitedByte(h));
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
        put(dst, i, uint8_t(level), uint8_t(tableQuotient(uint32_t(d), uint32_t(max))), uint8_t(h));
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
        put(dst, i, limitedByte(rgb[2]), limitedByte(rgb[1]), limitedByte(rgb[0]));
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
        put(dst, i, uint8_t(s ? rgb[2] : v), uint8_t(s ? rgb[1] : v), uint8_t(s ? rgb[0] : v));
    }
}

// The grey plane: byte K of every pixel, V of HSV or L of LAB.
template <size_t K>
void refGrey(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = src[4 * i + K];
}

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

// ---- LAB ---------------------------------------------------------------------------------------------

// Rounds to the type where the x87 would keep more, and keeps a product unfused with the sum it feeds.
template <class T>
T stored(T x)
{
    volatile T kept = x;
    return kept;
}

void refRgbToLab(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const DoubleArithmetic arithmetic;
    const double third = double(1.0f / 3.0f);
    for (uint32_t i = 0; i < count; ++i) {
        const double b = src[4 * i], g = src[4 * i + 1], r = src[4 * i + 2];
        const double x = (double(0.3576f) * g + double(0.4124f) * r + double(0.1805f) * b) / 255;
        const double y = (double(0.7152f) * g + double(0.2126f) * r + double(0.0722f) * b) / 255;
        const double z = (double(0.1192f) * g + double(0.0193f) * r + double(0.9505f) * b) / 255;
        const double fx = arithmetic.pow(x, third), fy = arithmetic.pow(y, third),
                     fz = arithmetic.pow(z, third);
        put(dst, i, clampByte(128 + int(200 * (fy - fz))), clampByte(128 + int(500 * (fx - fy))),
            clampByte(int((stored(116 * fy) - 16) * double(2.55f))));
    }
}

// The sums of products as written, every step rounded to float (lab.cpp is built without contraction).
void refLabToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    auto sum = [](float p, float a, float q, float b, float r, float c) {
        return clampByte(int(stored(stored(stored(a * p) + stored(b * q)) + stored(c * r))));
    };
    for (uint32_t i = 0; i < count; ++i) {
        const float fy = stored(stored(stored(src[4 * i + 2] / 2.55f) + 16) / 116);
        const float fx = stored(stored((src[4 * i + 1] - 128) / 500.0f) + fy);
        const float fz = stored(fy - stored((src[4 * i] - 128) / 200.0f));
        const float x = float(int(double(stored(stored(fx * fx) * fx)) * 255));
        const float y = float(int(double(stored(stored(fy * fy) * fy)) * 255));
        const float z = float(int(double(stored(stored(fz * fz) * fz)) * 255));
        put(dst, i, sum(x, 0.0557f, y, -0.2040f, z, 1.0570f), sum(y, 1.8758f, x, -0.9689f, z, 0.0415f),
            sum(x, 3.2406f, y, -1.5372f, z, -0.4986f));
    }
}

// Where the vector rules differ, the differences stated.
#define COLOUR(name, paths, scalar, dstBytes, when, vector, differ)                                          \
    {                                                                                                        \
        CONVERTER(name, paths), {scalar, {4}, {dstBytes}}, 0, kAnyUnusedBits, VectorWhen::when, vector,      \
            nullptr, differ                                                                                  \
    }

const LineCase kCases[] = {
    COLOUR(RGB8888toHSV, kRgb8888ToHsv, refHexconeScalar<false>, 4, Mmx, refHexconeVector<false>,
           rgbToHsvAsStated),
    COLOUR(HSVtoRGB8888, kHsvToRgb8888, refToRgbScalar<false>, 4, Mmx, refHsvToRgbVector, hsvToRgbAsStated),
    COLOUR(RGB8888toHSI, kRgb8888ToHsi, refHexconeScalar<true>, 4, Mmx, refHexconeVector<true>,
           rgbToHsiAsStated),
    COLOUR(HSItoRGB8888, kHsiToRgb8888, refToRgbScalar<true>, 4, Never, nullptr, nullptr),
    COLOUR(HSVtoMONO8, kHsvToMono8, refGrey<0>, 1, Never, nullptr, nullptr),
    COLOUR(RGB8888toLAB, kRgb8888ToLab, refRgbToLab, 4, Never, nullptr, nullptr),
    COLOUR(LABtoRGB8888, kLabToRgb8888, refLabToRgb, 4, Never, nullptr, nullptr),
    COLOUR(LABtoMONO8, kLabToMono8, refGrey<2>, 1, Never, nullptr, nullptr),
};

// Where the vector rules differ. Bytes in memory order: in B, G, R; out V (or I), S, H or B, G, R.
const std::vector<Telling> kTelling = {
    // red: hue wraps on the vector path; greys are hue 255 on the vector path
    {"RGB8888toHSV",
     0,
     {0, 0, 255, 0x5A, 128, 128, 128, 0x5A},
     {255, 255, 0, 0, 128, 0, 0, 0},
     {255, 255, 255, 0, 128, 0, 255, 0}},
    {"HSVtoRGB8888", 0, {200, 128, 20, 0x5A}, {100, 147, 200, 0}, {99, 147, 200, 0}},
    // the mean 2/3: rounded up, and down
    {"RGB8888toHSI",
     0,
     {0, 1, 1, 0x5A, 128, 128, 128, 0x5A},
     {1, 255, 43, 0, 128, 0, 0, 0},
     {0, 255, 42, 0, 128, 0, 255, 0}},
};

// Every path, and at plain the rules held to differ only as stated, over every input.
VYR_LINE_FAMILY(ColourSpace, kCases, atEveryIsa(kCases), kTelling, 48);

} // namespace
} // namespace vyr::test
