#include "convert/hsv.h"

#include "convert/float_env.h"
#include "convert/hexcone.h"
#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/runner.h"
#include "convert/kernels/simd.h"

#if defined(VYR_X86_KERNELS)
#define VYR_X86_VARIANT(fn) fn
#else
#define VYR_X86_VARIANT(fn) nullptr
#endif

namespace vyr::convert::kernels {
namespace {

constexpr ReciprocalTable makeReciprocalTable()
{
    ReciprocalTable table{};
    for (uint32_t n = 1; n < 256; ++n) {
        const uint32_t w = (32640u * 32768u + n - 1) / n;
        table.entry[n] = (w >> 15) | (w & 0x7FFFu) << 16;
    }
    return table;
}

} // namespace

const ReciprocalTable kHexconeReciprocals = makeReciprocalTable();

} // namespace vyr::convert::kernels

namespace vyr::convert {
namespace {

// ---- RGB8888 to HSV ---------------------------------------------------------------------------

void rgb8888ToHsvScalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const hexcone::UnitRgb c = hexcone::unitRgbOf(src);
        const hexcone::Hexcone hc = hexcone::hexconeOf(c.r, c.g, c.b);
        dst[0] = hexcone::byteOf(hc.max);
        dst[1] = hexcone::byteOf(hc.saturation);
        dst[2] = hexcone::byteOf(hc.hue);
        dst[3] = 0;
    }
}

void rgb8888ToHsvPixels(const uint8_t* src, uint8_t* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const hexcone::HueSaturationBytes hs = hexcone::integerHueSaturation(src[2], src[1], src[0]);
        uint8_t max = src[0] > src[1] ? src[0] : src[1];
        max = max > src[2] ? max : src[2];
        dst[0] = max;
        dst[1] = hs.saturation;
        dst[2] = hs.hue;
        dst[3] = 0;
    }
}

// No head: whole blocks from the start, the last count mod 4 pixels through a stack block.
template <kernels::Kernel K>
void rgb8888ToHsvVector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::runBlocks<4, 4, 4>(src, dst, n, 0, K);
}

// ---- HSV to RGB8888 -----------------------------------------------------------------------------

void hsvToRgb8888Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const double h = src[2] / 255.0, s = src[1] / 255.0, v = src[0] / 255.0;
        double r = v, g = v, b = v;
        if (s != 0.0) {
            const double h6 = 6.0 * h;
            int sector = static_cast<int>(h6);
            double f = h6 - sector;
            if (sector == 6) { // H = 255 is red again
                sector = 5;
                f = 1.0;
            }
            const double p = (1.0 - s) * v;
            const double q = (1.0 - f * s) * v;
            const double t = (1.0 - (1.0 - f) * s) * v;
            switch (sector) {
            case 0: r = v, g = t, b = p; break;
            case 1: r = q, g = v, b = p; break;
            case 2: r = p, g = v, b = t; break;
            case 3: r = p, g = q, b = v; break;
            case 4: r = t, g = p, b = v; break;
            default: r = v, g = p, b = q; break;
            }
        }
        dst[0] = hexcone::byteOf(b);
        dst[1] = hexcone::byteOf(g);
        dst[2] = hexcone::byteOf(r);
        dst[3] = 0;
    }
}

// Division-free: by 255 through multiplier 257, by 65025 through the 515 ramp.
void hsvToRgb8888Pixels(const uint8_t* src, uint8_t* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const uint32_t v = src[0], s = src[1], h = src[2];
        const uint32_t sector = (h > 42) + (h > 84) + (h > 127) + (h > 169) + (h > 212);
        const uint32_t f = 6 * h - 255 * sector;
        const uint32_t rising = (sector & 1) ? f : 255 - f;
        const uint32_t p = ((255 - s) * v * 257 + 128) >> 16;
        const uint32_t y = v * (65025 - s * rising);
        uint32_t ramp = (2 * y + 515 * (y >> 15) + ((515 * (y & 32767)) >> 15) + 65536) >> 17;
        ramp = ramp > 255 ? 255 : ramp;
        uint32_t r = v, g = v, b = v;
        if (s != 0) {
            switch (sector) {
            case 0: g = ramp, b = p; break;
            case 1: r = ramp, b = p; break;
            case 2: r = p, b = ramp; break;
            case 3: r = p, g = ramp; break;
            case 4: r = ramp, g = p; break;
            default: g = p, b = ramp; break;
            }
        }
        dst[0] = uint8_t(b);
        dst[1] = uint8_t(g);
        dst[2] = uint8_t(r);
        dst[3] = 0;
    }
}

template <kernels::Kernel K>
void hsvToRgb8888Vector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::runBlocks<8, 4, 4>(src, dst, n, 0, K);
}

// ---- HSV to MONO8: the value byte -------------------------------------------------------------

void hsvToMono8Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i)
        dst[i] = src[4 * i];
}

} // namespace

const Paths kRgb8888ToHsv = {rgb8888ToHsvScalar,
                             {rgb8888ToHsvVector<rgb8888ToHsvPixels>,
                              VYR_X86_VARIANT(rgb8888ToHsvVector<kernels::rgb8888ToHsvSse2>), nullptr,
                              VYR_X86_VARIANT(rgb8888ToHsvVector<kernels::rgb8888ToHsvAvx2>)}};

const Paths kHsvToRgb8888 = {hsvToRgb8888Scalar,
                             {hsvToRgb8888Vector<hsvToRgb8888Pixels>,
                              VYR_X86_VARIANT(hsvToRgb8888Vector<kernels::hsvToRgb8888Sse2>), nullptr,
                              VYR_X86_VARIANT(hsvToRgb8888Vector<kernels::hsvToRgb8888Avx2>)}};

const Paths kHsvToMono8 = {hsvToMono8Scalar, {nullptr, nullptr, nullptr, nullptr}};

} // namespace vyr::convert

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toHSV(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits)
{
    return vyr::convert::dispatch(vyr::convert::kRgb8888ToHsv, src, dst, count, unusedBits);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertHSVtoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits)
{
    return vyr::convert::dispatch(vyr::convert::kHsvToRgb8888, src, dst, count, unusedBits);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertHSVtoMONO8(const void* src, void* dst, uint32_t count,
                                                   uint32_t unusedBits)
{
    // No vector path: the condition for one never holds.
    return vyr::convert::dispatch(vyr::convert::kHsvToMono8, src, dst, count, unusedBits, false);
}

} // extern "C"
