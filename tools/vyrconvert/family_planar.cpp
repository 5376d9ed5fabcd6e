// Planar RGB formats and their conversions. A planar frame holds whole planes one after another;
// the line functions here see one line as its samples of every plane, plane after plane.
#include <string>

#include "error.h"
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
                        fixedBytesPerLine<4>,
                        Rgbap8::toRgb8,
                        Rgbap8::fromScene,
                        {},
                        nullptr,
                        8,
                        {},
                        nullptr,
                        nullptr,
                        4};

} // namespace

const Format kRgbp8 = {"RGBP8",
                       "8-bit planes red, green, blue, each width x height bytes",
                       fixedBytesPerLine<3>,
                       Rgbp8::toRgb8,
                       Rgbp8::fromScene,
                       {},
                       nullptr,
                       8,
                       {},
                       nullptr,
                       nullptr,
                       3};
const Format kRgbp16 = {"RGBP16",
                        "16-bit planes red, green, blue, each width x height words (right-aligned bits)",
                        fixedBytesPerLine<6>,
                        nullptr,
                        Rgbp16::fromScene,
                        {},
                        nullptr,
                        16,
                        {PngChannels::Rgb, 16},
                        Rgbp16::toPng16,
                        rgbp16DropUnusedBits,
                        3,
                        nullptr,
                        rgbp16ToRgb8With};

namespace {

// ---- Whole frames: the library's planes are `count` samples apart -------------------------------

// Into planes: the whole frame is one run, one call.
template <LineConverter Convert>
uint32_t intoPlanes(const Frame& source, Frame& destination, const FrameOptions& options)
{
    if (uint64_t(source.width) * source.height > UINT32_MAX)
        throw ToolError(std::string("a frame of more than 2^32 - 1 pixels cannot be converted to ") +
                        destination.format->name);
    return Convert(source.bytes.data(), destination.bytes.data(), source.width * source.height,
                   options.unusedBits);
}

// The planar-source converters with one argument list: the reserved arguments are 0.
using PlanesExport = uint32_t (*)(const void* src, void* dst, uint32_t width, uint32_t height, uint32_t count,
                                  uint32_t unusedBits);

uint32_t rgbp8ToRgb8888(const void* src, void* dst, uint32_t width, uint32_t height, uint32_t count, uint32_t)
{
    return VyrUtilConvertRGBP8toRGB8888(src, dst, 0, 0, width, height, count);
}
uint32_t rgbap8ToRgb8888(const void* src, void* dst, uint32_t width, uint32_t height, uint32_t count,
                         uint32_t)
{
    return VyrUtilConvertRGBAP8toRGB8888(src, dst, 0, 0, width, height, count);
}
uint32_t rgbp16ToRgb8888(const void* src, void* dst, uint32_t width, uint32_t height, uint32_t count,
                         uint32_t unusedBits)
{
    return VyrUtilConvertRGBP16toRGB8888(src, dst, 0, 0, width, height, count, unusedBits);
}

// From planes: one call per line, the planes width x height samples apart.
template <PlanesExport Convert>
uint32_t fromPlanes(const Frame& source, Frame& destination, const FrameOptions& options)
{
    return convertLines(source.height, options.threads, [&](uint32_t y) {
        return Convert(source.planeLine(0, y), destination.line(y), source.width, source.height, source.width,
                       options.unusedBits);
    });
}

const Registration kPlanarConversions(
    {&kRgbp8, &kRgbp16, &kRgbap8},
    {
        {&kRgb888, &kRgbp8, nullptr, false, intoPlanes<VyrUtilConvertRGB888toRGBP8>},
        {&kRgb8888, &kRgbap8, nullptr, false, intoPlanes<VyrUtilConvertRGB8888toRGBAP8>, 0,
         "writes the planes fourth, red, green, blue: the fourth first, unlike RGBAP8 read"},
        {&kRgb101010, &kRgbp16, nullptr, true, intoPlanes<VyrUtilConvertRGB101010toRGBP16>},
        {&kRgb161616, &kRgbp16, nullptr, false, intoPlanes<VyrUtilConvertRGB161616toRGBP16>},
        {&kRgbp8, &kRgb8888, nullptr, false, fromPlanes<rgbp8ToRgb8888>},
        {&kRgbap8, &kRgb8888, nullptr, false, fromPlanes<rgbap8ToRgb8888>},
        {&kRgbp16, &kRgb8888, nullptr, true, fromPlanes<rgbp16ToRgb8888>},
    });

} // namespace
} // namespace vyr::tool
