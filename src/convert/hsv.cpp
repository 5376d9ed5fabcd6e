#include "convert/hsv.h"

#include "convert/hexcone.h"
#include "convert/kernel_line.h"

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

// ---- RGB8888 to HSV: the value is the largest channel -------------------------------------------

struct Value {
    static double of(const hexcone::UnitRgb&, const hexcone::Hexcone& hc) { return hc.max; }
    static uint8_t of(uint8_t b, uint8_t g, uint8_t r)
    {
        const uint8_t max = b > g ? b : g;
        return max > r ? max : r;
    }
};

// ---- HSV to RGB8888 -----------------------------------------------------------------------------

struct FromValue {
    static hexcone::SectorRgb<double> of(double h, double s, double v)
    {
        if (s == 0.0)
            return {v, v, v};
        const hexcone::Sector sector = hexcone::sectorOf(h);
        const double f = sector.fraction;
        const double p = (1.0 - s) * v;
        const double q = (1.0 - f * s) * v;
        const double t = (1.0 - (1.0 - f) * s) * v;
        return hexcone::sectorRgb(sector.index, v, t, q, p);
    }
};

// Division-free: by 255 through multiplier 257, by 65025 through the 515 ramp.
void hsvToRgb8888Vector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const uint32_t v = src[0], s = src[1], h = src[2];
        const uint32_t sector = (h > 42) + (h > 84) + (h > 127) + (h > 169) + (h > 212);
        const uint32_t f = 6 * h - 255 * sector;
        const uint32_t rising = (sector & 1) ? f : 255 - f;
        const uint32_t p = ((255 - s) * v * 257 + 128) >> 16;
        const uint32_t y = v * (65025 - s * rising);
        uint32_t ramp = (2 * y + 515 * (y >> 15) + ((515 * (y & 32767)) >> 15) + 65536) >> 17;
        ramp = ramp > 255 ? 255 : ramp;
        hexcone::SectorRgb<uint32_t> c = {v, v, v};
        if (s != 0)
            c = hexcone::sectorRgb(int(sector), v, ramp, ramp, p);
        dst[0] = uint8_t(c.b);
        dst[1] = uint8_t(c.g);
        dst[2] = uint8_t(c.r);
        dst[3] = 0;
    }
}

// ---- HSV to MONO8: the value byte -------------------------------------------------------------

void hsvToMono8Scalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i)
        dst[i] = src[4 * i];
}

} // namespace

void kernels::rgb8888ToHsvExact(const uint8_t* src, uint8_t* dst, size_t n)
{
    hexcone::fromRgbScalar<Value>(src, dst, uint32_t(n), 0);
}

const LinePaths kRgb8888ToHsv = {
    hexcone::fromRgbScalar<Value>, VYR_KERNEL_LINES(rgb8888ToHsvRounded),
    withPlain(hexcone::rgbToHexconeVector<Value>, VYR_KERNEL_LINES(rgb8888ToHsv))};

const LinePaths kHsvToRgb8888 = {hexcone::toRgbScalar<FromValue>, VYR_KERNEL_LINES(hexconeToRgb8888Rounded),
                                 withPlain(hsvToRgb8888Vector, VYR_KERNEL_LINES(hsvToRgb8888))};

const LinePaths kHsvToMono8 = {hsvToMono8Scalar, VYR_KERNEL_LINES(hsvToMono8)};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB8888toHSV, kRgb8888ToHsv)
VYR_LINE_EXPORT(VyrUtilConvertHSVtoRGB8888, kHsvToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertHSVtoMONO8, kHsvToMono8)

} // extern "C"
