#include "convert/lab.h"

#include "convert/float_env.h"
#include "convert/kernel_line.h"
#include "convert/kernels/lab_kernels.h"

namespace vyr::convert {
namespace {

// Every constant is a single-precision value, widened where a step runs in double.
constexpr float kThird = 1.0f / 3.0f;
constexpr float kLightnessScale = 2.55f;

inline uint8_t limited(int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); }

// ---- RGB8888 to LAB, double precision -----------------------------------------------------------

// A sum of single-precision weights times G, R, B (in that order), on the 0..1 scale.
inline double tristimulus(float byG, float byR, float byB, double r, double g, double b)
{
    return (double(byG) * g + double(byR) * r + double(byB) * b) / 255.0;
}

} // namespace

void kernels::rgb8888ToLabExact(const uint8_t* src, uint8_t* dst, size_t n)
{
    const DoubleRounding rounding;
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const double r = src[2], g = src[1], b = src[0];
        const double fx = rounding.pow(tristimulus(0.3576f, 0.4124f, 0.1805f, r, g, b), double(kThird));
        const double fy = rounding.pow(tristimulus(0.7152f, 0.2126f, 0.0722f, r, g, b), double(kThird));
        const double fz = rounding.pow(tristimulus(0.1192f, 0.0193f, 0.9505f, r, g, b), double(kThird));
        const int lightness = static_cast<int>((116.0 * fy - 16.0) * double(kLightnessScale));
        const int redGreen = 128 + static_cast<int>(500.0 * (fx - fy));
        const int blueYellow = 128 + static_cast<int>(200.0 * (fy - fz));
        dst[0] = limited(blueYellow);
        dst[1] = limited(redGreen);
        dst[2] = limited(lightness);
        dst[3] = 0;
    }
}

namespace {

void rgb8888ToLabScalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::rgb8888ToLabExact(src, dst, n);
}

// ---- LAB to RGB8888, single precision -------------------------------------------------------------

// A float whose every operation is rounded to single precision, on the x87 too.
struct Single {
    float v;
};
inline Single operator+(Single x, Single y) { return {roundToFloat(x.v + y.v)}; }
inline Single operator-(Single x, Single y) { return {roundToFloat(x.v - y.v)}; }
inline Single operator*(Single x, Single y) { return {roundToFloat(x.v * y.v)}; }
inline Single operator/(Single x, Single y) { return {roundToFloat(x.v / y.v)}; }

// The cube in single precision, its product with 255 in double (exact), truncated towards zero.
inline int cubeOnByteScale(Single f)
{
    const Single cube = f * f * f;
    return static_cast<int>(double(cube.v) * 255.0);
}

inline uint8_t truncatedByte(Single x) { return limited(static_cast<int>(x.v)); }

void labToRgb8888Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding; // keeps the product with 255 exact whatever mode the caller set
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const Single fy = (Single{float(src[2])} / Single{kLightnessScale} + Single{16.0f}) / Single{116.0f};
        const Single fx = Single{float(src[1] - 128)} / Single{500.0f} + fy;
        const Single fz = fy - Single{float(src[0] - 128)} / Single{200.0f};
        const Single x{float(cubeOnByteScale(fx))}, y{float(cubeOnByteScale(fy))},
            z{float(cubeOnByteScale(fz))};
        dst[0] = truncatedByte(Single{0.0557f} * x - Single{0.2040f} * y + Single{1.0570f} * z);
        dst[1] = truncatedByte(Single{1.8758f} * y - Single{0.9689f} * x + Single{0.0415f} * z);
        dst[2] = truncatedByte(Single{3.2406f} * x - Single{1.5372f} * y - Single{0.4986f} * z);
        dst[3] = 0;
    }
}

// ---- LAB to MONO8: the lightness byte --------------------------------------------------------------

void labToMono8Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i)
        dst[i] = src[4 * i + 2];
}

} // namespace

const LinePaths kRgb8888ToLab = {rgb8888ToLabScalar, VYR_KERNEL_LINES(rgb8888ToLab)};
const LinePaths kLabToRgb8888 = {labToRgb8888Scalar, VYR_KERNEL_LINES(labToRgb8888)};
const LinePaths kLabToMono8 = {labToMono8Scalar, VYR_KERNEL_LINES(labToMono8)};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB8888toLAB, kRgb8888ToLab)
VYR_LINE_EXPORT(VyrUtilConvertLABtoRGB8888, kLabToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertLABtoMONO8, kLabToMono8)

} // extern "C"
