#include "convert/hsi.h"

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

namespace vyr::convert {
namespace {

// ---- RGB8888 to HSI -----------------------------------------------------------------------------

void rgb8888ToHsiScalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const hexcone::UnitRgb c = hexcone::unitRgbOf(src);
        const hexcone::Hexcone hc = hexcone::hexconeOf(c.r, c.g, c.b);
        dst[0] = hexcone::byteOf((c.b + c.r + c.g) / 3.0);
        dst[1] = hexcone::byteOf(hc.saturation);
        dst[2] = hexcone::byteOf(hc.hue);
        dst[3] = 0;
    }
}

// The intensity is the sum times 21846 / 65536, a third rounded down.
void rgb8888ToHsiPixels(const uint8_t* src, uint8_t* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const hexcone::HueSaturationBytes hs = hexcone::integerHueSaturation(src[2], src[1], src[0]);
        dst[0] = uint8_t(hexcone::timesThird(src[0] + src[1] + src[2]));
        dst[1] = hs.saturation;
        dst[2] = hs.hue;
        dst[3] = 0;
    }
}

template <kernels::Kernel K>
void rgb8888ToHsiVector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    kernels::runBlocks<4, 4, 4>(src, dst, n, 0, K);
}

// ---- HSI to RGB8888 -----------------------------------------------------------------------------

// The intensity byte is read as the largest channel, so a colour comes back brighter than it went
// in; S = 0 is the grey of that level.
void hsiToRgb8888Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t k = 0; k < n; ++k, src += 4, dst += 4) {
        const double h = src[2] / 255.0, s = src[1] / 255.0, i = src[0] / 255.0;
        double r = i, g = i, b = i;
        if (s > 0.0 && i == 0.0) {
            r = g = b = 0.0;
        } else if (s > 0.0) {
            const double m = (1.0 - s) * i;
            const double c = i - m;
            const double h6 = 6.0 * h;
            int sector = static_cast<int>(h6);
            double f = h6 - sector;
            if (sector == 6) { // H = 255 is red again
                sector = 5;
                f = 1.0;
            }
            const double a = c * f;
            const double q = i - a;
            switch (sector) {
            case 0: r = i, g = a + m, b = m; break;
            case 1: r = q, g = i, b = m; break;
            case 2: r = m, g = i, b = a + m; break;
            case 3: r = m, g = q, b = i; break;
            case 4: r = a + m, g = m, b = i; break;
            default: r = i, g = m, b = q; break;
            }
        }
        dst[0] = hexcone::byteOf(b);
        dst[1] = hexcone::byteOf(g);
        dst[2] = hexcone::byteOf(r);
        dst[3] = 0;
    }
}

} // namespace

const Paths kRgb8888ToHsi = {rgb8888ToHsiScalar,
                             {rgb8888ToHsiVector<rgb8888ToHsiPixels>,
                              VYR_X86_VARIANT(rgb8888ToHsiVector<kernels::rgb8888ToHsiSse2>), nullptr,
                              VYR_X86_VARIANT(rgb8888ToHsiVector<kernels::rgb8888ToHsiAvx2>)}};

const Paths kHsiToRgb8888 = {hsiToRgb8888Scalar, {nullptr, nullptr, nullptr, nullptr}};

} // namespace vyr::convert

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilConvertRGB8888toHSI(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits)
{
    return vyr::convert::dispatch(vyr::convert::kRgb8888ToHsi, src, dst, count, unusedBits);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertHSItoRGB8888(const void* src, void* dst, uint32_t count,
                                                     uint32_t unusedBits)
{
    // No vector path: the condition for one never holds.
    return vyr::convert::dispatch(vyr::convert::kHsiToRgb8888, src, dst, count, unusedBits, false);
}

} // extern "C"
