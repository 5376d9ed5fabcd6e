#include "convert/hsi.h"

#include "convert/hexcone.h"

namespace vyr::convert {
namespace {

// ---- RGB8888 to HSI: the intensity is the mean of the channels --------------------------------

struct Intensity {
    static double of(const hexcone::UnitRgb& c, const hexcone::Hexcone&) { return (c.b + c.r + c.g) / 3.0; }
    // The sum times 21846 / 65536, a third rounded down.
    static uint8_t of(uint8_t b, uint8_t g, uint8_t r) { return uint8_t(hexcone::timesThird(b + g + r)); }
};

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
        hexcone::SectorRgb<double> c = {i, i, i};
        if (s > 0.0 && i == 0.0) {
            c = {0.0, 0.0, 0.0};
        } else if (s > 0.0) {
            const double m = (1.0 - s) * i;
            const hexcone::Sector sector = hexcone::sectorOf(h);
            const double a = (i - m) * sector.fraction;
            c = hexcone::sectorRgb(sector.index, i, a + m, i - a, m);
        }
        dst[0] = hexcone::byteOf(c.b);
        dst[1] = hexcone::byteOf(c.g);
        dst[2] = hexcone::byteOf(c.r);
        dst[3] = 0;
    }
}

} // namespace

const LinePaths kRgb8888ToHsi = {hexcone::fromRgbScalar<Intensity>,
                                 {},
                                 {rgb8888ToHsiVector<hexcone::fromRgbPixels<Intensity>>,
                                  VYR_KERNEL(rgb8888ToHsiVector<kernels::rgb8888ToHsiSse2>), nullptr,
                                  VYR_KERNEL(rgb8888ToHsiVector<kernels::rgb8888ToHsiAvx2>)}};

const LinePaths kHsiToRgb8888 = {hsiToRgb8888Scalar};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB8888toHSI, kRgb8888ToHsi)
VYR_LINE_EXPORT(VyrUtilConvertHSItoRGB8888, kHsiToRgb8888)

} // extern "C"
