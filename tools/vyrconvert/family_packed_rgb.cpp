// Packed RGB formats and their conversions.
#include "rgb_formats.h"
#include "samples.h"

namespace vyr::tool {
namespace {

void putRgb(uint8_t* rgb, uint32_t r, uint32_t g, uint32_t b)
{
    rgb[0] = uint8_t(r);
    rgb[1] = uint8_t(g);
    rgb[2] = uint8_t(b);
}

// ---- RGBR888: bytes red, green, blue ------------------------------------------------------------------

void rgbr888ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (size_t i = 0; i < size_t(3) * width; ++i)
        rgb[i] = line[i];
}

void rgbr888FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (size_t i = 0; i < size_t(3) * width; ++i)
        line[i] = to8Bit(scene[i]);
}

// ---- RGB5551 and RGB565: fields of a little-endian word, blue lowest ------------------------------------

// Shown as the library widens them to RGB888: shifted up, no bit replication.
template <unsigned GreenBits>
void wordRgbToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t w = getLe16(line + 2 * x);
        putRgb(rgb + 3 * x, ((w >> (5 + GreenBits)) & 31) << 3,
               ((w >> 5) & ((1u << GreenBits) - 1)) << (8 - GreenBits), (w & 31) << 3);
    }
}

template <unsigned GreenBits>
void wordRgbFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* p = scene + 3 * x;
        putLe16(line + 2 * x,
                topBits(p[0], 5) << (5 + GreenBits) | topBits(p[1], GreenBits) << 5 | topBits(p[2], 5));
    }
}

// ---- RGB101010: 10-bit fields of a little-endian 32-bit word, blue lowest ----------------------------

uint32_t field10(const uint8_t* line, uint32_t x, unsigned at)
{
    return (getLe32(line + 4 * x) >> at) & 0x3FF;
}

void rgb101010ToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x)
        putRgb(rgb + 3 * x, field10(line, x, 20) >> 2, field10(line, x, 10) >> 2, field10(line, x, 0) >> 2);
}

void rgb101010FromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* p = scene + 3 * x;
        putLe32(line + 4 * x, topBits(p[0], 10) << 20 | topBits(p[1], 10) << 10 | topBits(p[2], 10));
    }
}

void rgb101010ToPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
{
    for (uint32_t x = 0; x < width; ++x) {
        for (unsigned c = 0; c < 3; ++c)
            putBe16(pngRow + 6 * x + 2 * c, field10(line, x, 20 - 10 * c) << (6 + unusedBits));
    }
}

// ---- RGB161616 and RGB16161616: little-endian words blue, green, red (and a fourth) -------------------

template <size_t Words>
void wordsToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = line + 2 * Words * x;
        putRgb(rgb + 3 * x, getLe16(p + 4) >> 8, getLe16(p + 2) >> 8, getLe16(p) >> 8);
    }
}

template <size_t Words>
void wordsFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t* p = line + 2 * Words * x;
        putLe16(p, scene[3 * x + 2]);
        putLe16(p + 2, scene[3 * x + 1]);
        putLe16(p + 4, scene[3 * x]);
        if constexpr (Words == 4)
            putLe16(p + 6, 0xFFFF); // opaque, should the fourth word be read as alpha
    }
}

template <size_t Words>
void wordsToPng16(const uint8_t* line, uint32_t width, uint32_t unusedBits, uint8_t* pngRow)
{
    for (uint32_t x = 0; x < width; ++x) {
        for (unsigned c = 0; c < 3; ++c)
            putBe16(pngRow + 6 * x + 2 * c, getLe16(line + 2 * Words * x + 4 - 2 * c) << unusedBits);
    }
}

void rgb161616FromPng(const uint8_t* pngRow, uint32_t width, uint8_t* line)
{
    pngToLe16(pngRow, size_t(3) * width, 3, line);
}

void rgb161616DropUnusedBits(uint8_t* line, uint32_t width, uint32_t unusedBits)
{
    shiftSamples16(line, size_t(3) * width, unusedBits);
}

const Format kRgbr888 = {
    "RGBR888", "8-bit red, green, blue, 3 bytes per pixel", rgbr888ToRgb8, rgbr888FromScene, {}, nullptr};
const Format kRgb16161616 = {"RGB16161616",
                             "16-bit blue, green, red and a fourth word, 8 bytes per pixel",
                             wordsToRgb8<4>,
                             wordsFromScene<4>,
                             {},
                             nullptr,
                             {PngChannels::Rgb, 16},
                             wordsToPng16<4>};

} // namespace

const Format kRgb5551 = {"RGB5551",
                         "5-bit blue, green, red in a 16-bit word (bit 15 unused)",
                         wordRgbToRgb8<5>,
                         wordRgbFromScene<5>,
                         {},
                         nullptr};
const Format kRgb565 = {"RGB565",
                        "5-bit blue, 6-bit green, 5-bit red in a 16-bit word",
                        wordRgbToRgb8<6>,
                        wordRgbFromScene<6>,
                        {},
                        nullptr};
const Format kRgb101010 = {"RGB101010",
                           "10-bit blue, green, red in a 32-bit word",
                           rgb101010ToRgb8,
                           rgb101010FromScene,
                           {},
                           nullptr,
                           {PngChannels::Rgb, 16},
                           rgb101010ToPng16};
const Format kRgb161616 = {"RGB161616",
                           "16-bit blue, green, red, 6 bytes per pixel (right-aligned bits)",
                           wordsToRgb8<3>,
                           wordsFromScene<3>,
                           {PngChannels::Rgb, 16},
                           rgb161616FromPng,
                           {PngChannels::Rgb, 16},
                           wordsToPng16<3>,
                           rgb161616DropUnusedBits};

namespace {

const Registration kPackedRgbFormats({&kRgbr888, &kRgb5551, &kRgb565, &kRgb101010, &kRgb161616,
                                      &kRgb16161616});

} // namespace
} // namespace vyr::tool
