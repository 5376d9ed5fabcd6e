#include "convert/hsi.h"

#include "convert/hexcone.h"
#include "convert/kernel_line.h"

namespace vyr::convert {
namespace {

// ---- RGB8888 to HSI: the intensity is the mean of the channels --------------------------------

struct Intensity {
    static double of(const hexcone::UnitRgb& c, const hexcone::Hexcone&) { return (c.b + c.r + c.g) / 3.0; }
    // The sum times 21846 / 65536, a third rounded down.
    static uint8_t of(uint8_t b, uint8_t g, uint8_t r) { return uint8_t(hexcone::timesThird(b + g + r)); }
};

// ---- HSI to RGB8888 -----------------------------------------------------------------------------

// The intensity byte is read as the largest channel, so a colour comes back brighter than it went
// in; S = 0 is the grey of that level.
struct FromIntensity {
    static hexcone::SectorRgb<double> of(double h, double s, double i)
    {
        if (s > 0.0 && i == 0.0)
            return {0.0, 0.0, 0.0};
        if (!(s > 0.0))
            return {i, i, i};
        const double m = (1.0 - s) * i;
        const hexcone::Sector sector = hexcone::sectorOf(h);
        const double a = (i - m) * sector.fraction;
        return hexcone::sectorRgb(sector.index, i, a + m, i - a, m);
    }
};

} // namespace

void kernels::rgb8888ToHsiExact(const uint8_t* src, uint8_t* dst, size_t n)
{
    hexcone::fromRgbScalar<Intensity>(src, dst, uint32_t(n), 0);
}

const LinePaths kRgb8888ToHsi = {
    hexcone::fromRgbScalar<Intensity>, VYR_KERNEL_LINES(rgb8888ToHsiRounded),
    withPlain(hexcone::rgbToHexconeVector<Intensity>, VYR_KERNEL_LINES(rgb8888ToHsi))};

// In exact arithmetic the rule is HSV's (i - a = (1 - f s) i, a + m = (1 - (1 - f) s) i), and neither rule
// meets a tie, so HSV's scalar-rule kernels give its bytes.
const LinePaths kHsiToRgb8888 = {hexcone::toRgbScalar<FromIntensity>,
                                 VYR_KERNEL_LINES(hexconeToRgb8888Rounded)};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB8888toHSI, kRgb8888ToHsi)
VYR_LINE_EXPORT(VyrUtilConvertHSItoRGB8888, kHsiToRgb8888)

} // extern "C"
