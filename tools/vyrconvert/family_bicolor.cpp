// Bicolor lines: a colour sample (red and blue by turns) and a green sample per pixel.
#include <algorithm>
#include <string>

#include "formats.h"
#include "frame.h"
#include "samples.h"
#include "scene.h"

namespace vyr::tool {
namespace {

bool carriesRed(uint32_t x, const FrameOptions& options) { return (x % 2 == 0) != options.blueFirst; }

// 8-bit samples: the scene rounded; 16-bit samples: the scene's.
template <size_t Bytes>
void bicolorFromSceneWith(const uint16_t* scene, uint32_t width, uint32_t, const FrameOptions& options,
                          uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t samples[2] = {scene[3 * x + (carriesRed(x, options) ? 0 : 2)], scene[3 * x + 1]};
        for (int k = 0; k < 2; ++k) {
            if (Bytes == 1)
                line[2 * x + k] = to8Bit(samples[k]);
            else
                putLe16(line + 2 * (2 * x + k), samples[k]);
        }
    }
}

void bicolor1616DropUnusedBits(uint8_t* line, uint32_t width, uint32_t unusedBits)
{
    shiftSamples16(line, size_t(2) * width, unusedBits);
}

// Through the library, the missing colours interpolated: RGBR888 is the R,G,B order of the view.
void bicolor88ToRgb8With(const uint8_t* line, uint32_t width, uint32_t, const FrameOptions& options,
                         uint8_t* rgb)
{
    VyrUtilConvertBicolor88toRGBR888(line, rgb, width, options.blueFirst);
}

void bicolor1616ToRgb8With(const uint8_t* line, uint32_t width, uint32_t, const FrameOptions& options,
                           uint8_t* rgb)
{
    VyrUtilConvertBicolor1616toRGBR888(line, rgb, width, 8 - std::min(options.unusedBits, 8u),
                                       options.blueFirst);
}

// ---- Whole frames, one library call per line with the colour order --------------------------------

using FlagExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t flag);
using ShiftExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t shift,
                                        uint32_t flag);

// destinationUnusedBits: 8 where 8-bit samples widen to Bicolor1616 words.
template <class LineCall>
uint32_t bicolorFrame(const Frame& source, Frame& destination, const FrameOptions& options,
                      uint32_t destinationUnusedBits, LineCall call)
{
    destination.options.unusedBits = destinationUnusedBits;
    return convertLines(source.height, options.threads,
                        [&](uint32_t y) { return call(source.line(y), destination.line(y), source.width); });
}

template <FlagExport Convert, uint32_t DestinationUnusedBits>
uint32_t inColourOrder(const Frame& source, Frame& destination, const FrameOptions& options)
{
    return bicolorFrame(
        source, destination, options, DestinationUnusedBits,
        [&](const uint8_t* s, uint8_t* d, uint32_t w) { return Convert(s, d, w, options.blueFirst); });
}

// Bicolor88 to Bicolor1616 keeps the sample order (and the frame's colour order).
uint32_t bicolor88ToBicolor1616Frame(const Frame& source, Frame& destination, const FrameOptions& options)
{
    return bicolorFrame(source, destination, options, 8, [](const uint8_t* s, uint8_t* d, uint32_t w) {
        return VyrUtilConvertBicolor88toBicolor1616(s, d, w, 0);
    });
}

// Bicolor1616 to 8-bit RGB: the top 8 of the significant bits.
template <ShiftExport Convert>
uint32_t bicolor1616ToRgb8Frame(const Frame& source, Frame& destination, const FrameOptions& options)
{
    return bicolorFrame(source, destination, options, 0, [&](const uint8_t* s, uint8_t* d, uint32_t w) {
        return Convert(s, d, w, 8 - options.unusedBits, options.blueFirst);
    });
}

} // namespace

const Format kBicolor88 = {"Bicolor88",
                           "8-bit colour (red or blue by turns) and green, 2 bytes per pixel",
                           fixedBytesPerLine<2>,
                           nullptr,
                           nullptr,
                           {},
                           nullptr,
                           8,
                           {},
                           nullptr,
                           nullptr,
                           1,
                           bicolorFromSceneWith<1>,
                           bicolor88ToRgb8With};
const Format kBicolor1616 = {
    "Bicolor1616",
    "16-bit little-endian colour (red or blue by turns) and green, 4 bytes per pixel",
    fixedBytesPerLine<4>,
    nullptr,
    nullptr,
    {},
    nullptr,
    16,
    {},
    nullptr,
    bicolor1616DropUnusedBits,
    1,
    bicolorFromSceneWith<2>,
    bicolor1616ToRgb8With};

namespace {

const Registration kBicolorConversions(
    {&kBicolor88, &kBicolor1616},
    {
        {&kBicolor88, &kRgb8888, nullptr, false, inColourOrder<VyrUtilConvertBicolor88toRGB8888, 0>,
         kTakesBlueFirst},
        {&kBicolor88, &kRgb888, nullptr, false, inColourOrder<VyrUtilConvertBicolor88toRGB888, 0>,
         kTakesBlueFirst},
        {&kBicolor1616, &kRgb8888, nullptr, true, bicolor1616ToRgb8Frame<VyrUtilConvertBicolor1616toRGB8888>,
         kTakesBlueFirst},
        {&kBicolor1616, &kRgb888, nullptr, true, bicolor1616ToRgb8Frame<VyrUtilConvertBicolor1616toRGB888>,
         kTakesBlueFirst},
        {&kBicolor88, &kBicolor1616, nullptr, false, bicolor88ToBicolor1616Frame, kTakesBlueFirst},
        {&kRgb8888, &kBicolor88, nullptr, false, inColourOrder<VyrUtilConvertRGB8888toBicolor88, 0>,
         kTakesBlueFirst},
        {&kRgb888, &kBicolor88, nullptr, false, inColourOrder<VyrUtilConvertRGB888toBicolor88, 0>,
         kTakesBlueFirst},
        {&kRgb8888, &kBicolor1616, nullptr, false, inColourOrder<VyrUtilConvertRGB8888toBicolor1616, 8>,
         kTakesBlueFirst},
        {&kRgb888, &kBicolor1616, nullptr, false, inColourOrder<VyrUtilConvertRGB888toBicolor1616, 8>,
         kTakesBlueFirst},
    });

} // namespace
} // namespace vyr::tool
