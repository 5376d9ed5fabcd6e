#include "formats.h"

#include <cstring>

#include "scene.h"

namespace vyr::tool {
namespace {

// ---- MONO8: one grey byte per pixel ------------------------------------------------------------

void mono8ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = line[x];
}

void mono8FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        line[x] = to8Bit(luminance(scene[3 * x], scene[3 * x + 1], scene[3 * x + 2]));
}

void mono8FromPng(const uint8_t* pngRow, uint32_t width, uint8_t* line) { std::memcpy(line, pngRow, width); }

// ---- RGB888 and RGB8888: bytes blue, green, red (and a fourth byte) -----------------------------

template <size_t BytesPerPixel>
void bgrToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* pixel = line + BytesPerPixel * x;
        rgb[3 * x + 0] = pixel[2];
        rgb[3 * x + 1] = pixel[1];
        rgb[3 * x + 2] = pixel[0];
    }
}

template <size_t BytesPerPixel>
void bgrFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t* pixel = line + BytesPerPixel * x;
        pixel[0] = to8Bit(scene[3 * x + 2]);
        pixel[1] = to8Bit(scene[3 * x + 1]);
        pixel[2] = to8Bit(scene[3 * x + 0]);
        if constexpr (BytesPerPixel == 4)
            pixel[3] = 0xFF; // opaque, should the fourth byte be read as alpha
    }
}

} // namespace

const Format kMono8 = {"MONO8",        "8-bit grey, 1 byte per pixel", mono8ToRgb8,
                       mono8FromScene, {PngChannels::Grey, 8},         mono8FromPng};
const Format kRgb8888 = {"RGB8888",    "8-bit blue, green, red and a fourth byte, 4 bytes per pixel",
                         bgrToRgb8<4>, bgrFromScene<4>,
                         {},           nullptr};
const Format kRgb888 = {
    "RGB888", "8-bit blue, green, red, 3 bytes per pixel", bgrToRgb8<3>, bgrFromScene<3>, {}, nullptr};

namespace {
const Registration kBasicFormats({&kMono8, &kRgb8888, &kRgb888});
} // namespace

} // namespace vyr::tool
