// Grey and signed integer formats and their conversions.
#include "rgb_formats.h"
#include "samples.h"

namespace vyr::tool {
namespace {

void greyToRgb8(uint8_t grey, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = grey; }

// ---- MONO16: one little-endian word per pixel, right-aligned significant bits ------------------------

void mono16ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        greyToRgb8(uint8_t(getLe16(line + 2 * x) >> 8), rgb + 3 * x);
}

void mono16FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        putLe16(line + 2 * x, sceneGrey(scene, x));
}

void mono16FromPng(const uint8_t* pngRow, uint32_t width, uint8_t* line)
{
    pngToLe16(pngRow, width, 1, line);
}

void mono16ToPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
{
    for (uint32_t x = 0; x < width; ++x)
        putBe16(pngRow + 2 * x, getLe16(line + 2 * x) << unusedBits);
}

void mono16DropUnusedBits(uint8_t* line, uint32_t width, uint32_t unusedBits)
{
    shiftSamples16(line, width, unusedBits);
}

// ---- MONO32: one little-endian 32-bit word per pixel ------------------------------------------------------

void mono32ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        greyToRgb8(uint8_t(getLe32(line + 4 * x) >> 24), rgb + 3 * x);
}

void mono32FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        putLe32(line + 4 * x, sceneGrey(scene, x) * 0x10001u);
}

void mono32ToPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
{
    for (uint32_t x = 0; x < width; ++x)
        putBe16(pngRow + 2 * x, (getLe32(line + 4 * x) << unusedBits) >> 16);
}

// ---- INT8 and INT16: two's complement, v standing for v + 128 (v + 32768) ------------------------------

void int8ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        greyToRgb8(uint8_t(line[x] ^ 0x80), rgb + 3 * x);
}

void int8FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        line[x] = uint8_t(to8Bit(sceneGrey(scene, x)) ^ 0x80);
}

int32_t int16At(const uint8_t* line, uint32_t x) { return int16_t(uint16_t(getLe16(line + 2 * x))); }

void int16ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        greyToRgb8(uint8_t((int16At(line, x) + 32768) >> 8), rgb + 3 * x);
}

void int16FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x)
        putLe16(line + 2 * x, sceneGrey(scene, x) ^ 0x8000u);
}

void int16ToPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
{
    for (uint32_t x = 0; x < width; ++x)
        putBe16(pngRow + 2 * x, (uint32_t(int16At(line, x)) << unusedBits) + 32768);
}

// ---- MONO1: eight pixels per byte, the first in the most significant bit ---------------------------

size_t mono1BytesPerLine(uint32_t width) { return (size_t(width) + 7) / 8; }

void mono1ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        greyToRgb8((line[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0, rgb + 3 * x);
}

void mono1FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < mono1BytesPerLine(width) * 8; ++x) {
        const uint8_t bit = uint8_t(0x80 >> (x % 8));
        if (x < width && sceneGrey(scene, x) >= 0x8000)
            line[x / 8] |= bit;
        else
            line[x / 8] &= uint8_t(~bit);
    }
}

} // namespace

const Format kMono16 = {"MONO16",
                        "16-bit grey, 2 bytes per pixel (little-endian, right-aligned bits)",
                        mono16ToRgb8,
                        mono16FromScene,
                        {PngChannels::Grey, 16},
                        mono16FromPng,
                        {PngChannels::Grey, 16},
                        mono16ToPng16,
                        mono16DropUnusedBits};

namespace {

const Format kMono32 = {"MONO32",
                        "32-bit grey, 4 bytes per pixel (little-endian, right-aligned bits)",
                        mono32ToRgb8,
                        mono32FromScene,
                        {},
                        nullptr,
                        {PngChannels::Grey, 16},
                        mono32ToPng16};
const Format kInt8 = {"INT8", "signed 8-bit grey, v stands for MONO8 v + 128", int8ToRgb8, int8FromScene, {},
                      nullptr};
const Format kInt16 = {"INT16",
                       "signed 16-bit grey, 2 bytes per pixel (right-aligned, sign-extended bits)",
                       int16ToRgb8,
                       int16FromScene,
                       {},
                       nullptr,
                       {PngChannels::Grey, 16},
                       int16ToPng16};
const Format kMono1 = {
    "MONO1",     "1-bit grey, 8 pixels per byte (as vyrconvert writes it: first pixel in bit 7)",
    mono1ToRgb8, mono1FromScene,
    {},          nullptr};

const Registration kMonoFormats({&kMono16, &kMono32, &kInt8, &kInt16, &kMono1});

} // namespace
} // namespace vyr::tool
