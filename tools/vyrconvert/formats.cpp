#include "formats.h"

#include <algorithm>
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

void mono8FromPng(const uint8_t* pngRow, uint32_t width, uint8_t* line)
{
    std::memcpy(line, pngRow, width);
}

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

// ---- RGBP8 and RGBP16: a line is its red, green and blue plane lines in turn --------------------------

uint32_t planarSample(const uint8_t* line, size_t bytes, uint32_t width, uint32_t plane, uint32_t x)
{
    const uint8_t* p = line + bytes * (size_t(width) * plane + x);
    return bytes == 1 ? p[0] : uint32_t(p[0] | p[1] << 8);
}

void rgbp8ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t k = 0; k < 3; ++k)
            rgb[3 * x + k] = uint8_t(planarSample(line, 1, width, k, x));
}

void rgbp8FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t k = 0; k < 3; ++k)
            line[size_t(width) * k + x] = to8Bit(scene[3 * x + k]);
}

void rgbp16ToRgb8With(const uint8_t* line, uint32_t width, uint32_t, const FrameOptions& options, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t k = 0; k < 3; ++k)
            rgb[3 * x + k] = significantTo8Bit(planarSample(line, 2, width, k, x), options.unusedBits);
}

void rgbp16ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    rgbp16ToRgb8With(line, width, 0, FrameOptions{}, rgb);
}

void rgbp16FromSceneWith(const uint16_t* scene, uint32_t width, uint32_t, const FrameOptions& options, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        for (uint32_t k = 0; k < 3; ++k) {
            const uint16_t v = uint16_t(scene[3 * x + k] >> options.unusedBits);
            line[2 * (size_t(width) * k + x)] = uint8_t(v);
            line[2 * (size_t(width) * k + x) + 1] = uint8_t(v >> 8);
        }
    }
}

void rgbp16FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    rgbp16FromSceneWith(scene, width, 0, FrameOptions{}, line);
}

} // namespace

uint8_t significantTo8Bit(uint32_t value, uint32_t unusedBits)
{
    const uint32_t maximum = 0xFFFFu >> unusedBits;
    return uint8_t((std::min(value, maximum) * 255 + maximum / 2) / maximum);
}

const Format kMono8 = {"MONO8", "8-bit grey, 1 byte per pixel", fixedBytesPerLine<1>, mono8ToRgb8,
                       mono8FromScene, {PngChannels::Grey, 8}, mono8FromPng};
const Format kRgb8888 = {"RGB8888", "8-bit blue, green, red and a fourth byte, 4 bytes per pixel",
                         fixedBytesPerLine<4>, bgrToRgb8<4>, bgrFromScene<4>, {}, nullptr};
const Format kRgb888 = {"RGB888", "8-bit blue, green, red, 3 bytes per pixel", fixedBytesPerLine<3>,
                        bgrToRgb8<3>, bgrFromScene<3>, {}, nullptr};

const Format kRgbp8 = {"RGBP8", "8-bit red, green and blue planes of width x height samples each",
                       fixedBytesPerLine<3>, rgbp8ToRgb8, rgbp8FromScene, {}, nullptr, nullptr, nullptr, 3};
const Format kRgbp16 = {"RGBP16",
                        "16-bit little-endian red, green and blue planes of width x height samples each",
                        fixedBytesPerLine<6>, rgbp16ToRgb8, rgbp16FromScene, {}, nullptr, rgbp16FromSceneWith,
                        rgbp16ToRgb8With, 3};

namespace {
const Registration kBasicFormats({&kMono8, &kRgb8888, &kRgb888, &kRgbp8, &kRgbp16}, {});
} // namespace

} // namespace vyr::tool
