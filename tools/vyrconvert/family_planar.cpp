// Planar RGB formats and their conversions. A planar frame holds whole planes one after another;
// the line functions here see one line as its samples of every plane, plane after plane.
#include "frame.h"
#include "rgb_formats.h"
#include "samples.h"

namespace vyr::tool {
namespace {

// Planes red, green, blue (and the fourth) of SampleBytes samples.
template <size_t SampleBytes, size_t Planes>
struct PlanarLine {
    static uint32_t sample(const uint8_t* line, uint32_t width, size_t plane, uint32_t x)
    {
        const uint8_t* p = line + (plane * width + x) * SampleBytes;
        return SampleBytes == 1 ? p[0] : getLe16(p);
    }

    static void toRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
    {
        for (uint32_t x = 0; x < width; ++x) {
            for (size_t c = 0; c < 3; ++c)
                rgb[3 * x + c] = uint8_t(sample(line, width, c, x) >> (8 * SampleBytes - 8));
        }
    }

    static void fromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
    {
        for (size_t plane = 0; plane < Planes; ++plane) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint16_t v = plane < 3 ? scene[3 * x + plane] : 0xFFFF; // an opaque fourth plane
                uint8_t* p = line + (plane * width + x) * SampleBytes;
                if (SampleBytes == 1)
                    p[0] = to8Bit(v);
                else
                    putLe16(p, v);
            }
        }
    }

    static void toPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
    {
        for (uint32_t x = 0; x < width; ++x) {
            for (size_t c = 0; c < 3; ++c)
                putBe16(pngRow + 6 * x + 2 * c, sample(line, width, c, x) << unusedBits);
        }
    }
};

using Rgbp8 = PlanarLine<1, 3>;
using Rgbp16 = PlanarLine<2, 3>;
using Rgbap8 = PlanarLine<1, 4>;

void rgbp16DropUnusedBits(uint8_t* line, uint32_t width, uint32_t unusedBits)
{
    shiftSamples16(line, size_t(3) * width, unusedBits);
}

// Rounded from the significant bits, so a demosaiced 15-bit frame compares fairly with the scene.
void rgbp16ToRgb8With(const uint8_t* line, uint32_t width, uint32_t, const FrameOptions& options,
                      uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        for (size_t c = 0; c < 3; ++c)
            rgb[3 * x + c] = significantTo8Bit(Rgbp16::sample(line, width, c, x), options.unusedBits);
    }
}

const Format kRgbap8 = {"RGBAP8",
                        "8-bit planes red, green, blue, fourth, each width x height bytes",
                        Rgbap8::toRgb8,
                        Rgbap8::fromScene,
                        {},
                        nullptr,
                        {},
                        nullptr,
                        nullptr};

} // namespace

const Format kRgbp8 = {"RGBP8",
                       "8-bit planes red, green, blue, each width x height bytes",
                       Rgbp8::toRgb8,
                       Rgbp8::fromScene,
                       {},
                       nullptr,
                       {},
                       nullptr,
                       nullptr};
const Format kRgbp16 = {"RGBP16",
                        "16-bit planes red, green, blue, each width x height words (right-aligned bits)",
                        nullptr,
                        Rgbp16::fromScene,
                        {},
                        nullptr,
                        {PngChannels::Rgb, 16},
                        Rgbp16::toPng16,
                        rgbp16DropUnusedBits,
                        nullptr,
                        rgbp16ToRgb8With};

namespace {

const Registration kPlanarFormats({&kRgbp8, &kRgbp16, &kRgbap8});

} // namespace
} // namespace vyr::tool
