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

} // namespace

const Format kBicolor88 = {"Bicolor88",
                           "8-bit colour (red or blue by turns) and green, 2 bytes per pixel",
                           nullptr,
                           nullptr,
                           {},
                           nullptr,
                           {},
                           nullptr,
                           nullptr,
                           bicolorFromSceneWith<1>,
                           bicolor88ToRgb8With};
const Format kBicolor1616 = {
    "Bicolor1616",
    "16-bit little-endian colour (red or blue by turns) and green, 4 bytes per pixel",
    nullptr,
    nullptr,
    {},
    nullptr,
    {},
    nullptr,
    bicolor1616DropUnusedBits,
    bicolorFromSceneWith<2>,
    bicolor1616ToRgb8With};

namespace {

const Registration kBicolorFormats({&kBicolor88, &kBicolor1616});

} // namespace
} // namespace vyr::tool
