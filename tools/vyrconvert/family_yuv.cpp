// Packed YUV formats (4:2:2, 4:1:1, 4:4:4) and the library's conversions between them and RGB
// and grey.
#include <algorithm>
#include <cmath>
#include <vector>

#include "formats.h"
#include "scene.h"

namespace vyr::tool {
namespace {

// How a format packs pixels that share one U and V into a unit of bytes.
struct Packing {
    uint32_t pixelsPerUnit;
    size_t unitBytes;
    uint8_t lumaAt[4];
    uint8_t uAt, vAt;
};

constexpr Packing kUyvyPacking{2, 4, {1, 3}, 0, 2};
constexpr Packing kYuy2Packing{2, 4, {0, 2}, 1, 3};
constexpr Packing kYvyuPacking{2, 4, {0, 2}, 3, 1};
constexpr Packing kY411Packing{4, 6, {1, 2, 4, 5}, 0, 3};
constexpr Packing kIyu2Packing{1, 3, {1}, 0, 2};
constexpr Packing kYuvPacking{1, 4, {2}, 1, 0}; // the fourth byte is written 0

// Full-range BT.601 with the library's decoding weights inverted, so that its YUV-to-RGB
// converters give the scene back up to rounding; a unit's U and V are its pixels' average.
template <const Packing& P>
void packedFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    auto sample = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
    for (uint32_t first = 0; first < width; first += P.pixelsPerUnit, line += P.unitBytes) {
        double u = 0, v = 0;
        uint32_t pixels = 0;
        for (uint32_t j = 0; j < P.pixelsPerUnit; ++j) {
            const uint16_t* rgb = scene + 3 * size_t(std::min(first + j, width - 1));
            const double r = rgb[0] * 255.0 / 65535, g = rgb[1] * 255.0 / 65535, b = rgb[2] * 255.0 / 65535;
            const double y = 0.299 * r + 0.587 * g + 0.114 * b;
            line[P.lumaAt[j]] = sample(y);
            if (first + j < width) {
                u += (b - y) * 16384 / 29147;
                v += (r - y) * 16384 / 23060;
                ++pixels;
            }
        }
        line[P.uAt] = sample(128 + u / pixels);
        line[P.vAt] = sample(128 + v / pixels);
        if (&P == &kYuvPacking)
            line[3] = 0;
    }
}

// Through the library's own decoder into B, G, R (and a fourth byte), whole units at a time.
template <const Packing& P, LineConverter Decode, size_t DecodedBytes>
void packedToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    const uint32_t whole = (width + P.pixelsPerUnit - 1) / P.pixelsPerUnit * P.pixelsPerUnit;
    std::vector<uint8_t> bgr(size_t(whole) * DecodedBytes);
    Decode(line, bgr.data(), whole, 0);
    for (uint32_t x = 0; x < width; ++x) {
        rgb[3 * x + 0] = bgr[DecodedBytes * x + 2];
        rgb[3 * x + 1] = bgr[DecodedBytes * x + 1];
        rgb[3 * x + 2] = bgr[DecodedBytes * x + 0];
    }
}

template <const Packing& P, LineConverter Decode, size_t DecodedBytes>
Format packedFormat(const char* name, const char* summary)
{
    return {name, summary, packedToRgb8<P, Decode, DecodedBytes>, packedFromScene<P>, {}, nullptr};
}

const Format kUyvy = packedFormat<kUyvyPacking, VyrUtilConvertUYVYtoRGB888, 3>(
    "UYVY", "4:2:2 YUV, cells U Y0 V Y1 of two pixels (lines of whole cells)");
const Format kYuy2 = packedFormat<kYuy2Packing, VyrUtilConvertYUY2toRGB888, 3>(
    "YUY2", "4:2:2 YUV, cells Y0 U Y1 V of two pixels (lines of whole cells)");
const Format kYvyu = packedFormat<kYvyuPacking, VyrUtilConvertYVYUtoRGB888, 3>(
    "YVYU", "4:2:2 YUV, cells Y0 V Y1 U of two pixels (lines of whole cells)");
const Format kY411 = packedFormat<kY411Packing, VyrUtilConvertY411toRGB888, 3>(
    "Y411", "4:1:1 YUV, units U Y0 Y1 V Y2 Y3 of four pixels (lines of whole units)");
const Format kIyu2 = packedFormat<kIyu2Packing, VyrUtilConvertIYU2toRGB888, 3>(
    "IYU2", "4:4:4 YUV, bytes U Y V, 3 bytes per pixel");
const Format kYuv = packedFormat<kYuvPacking, VyrUtilConvertYUVtoRGB8888, 4>(
    "YUV", "4:4:4 YUV, bytes V U Y and a fourth byte, 4 bytes per pixel");

const Registration kYuvFormats({&kUyvy, &kYuy2, &kYvyu, &kY411, &kIyu2, &kYuv});

} // namespace
} // namespace vyr::tool
