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

const Format kRgbr888 = {"RGBR888",
                         "8-bit red, green, blue, 3 bytes per pixel",
                         fixedBytesPerLine<3>,
                         rgbr888ToRgb8,
                         rgbr888FromScene,
                         {},
                         nullptr};
const Format kRgb16161616 = {"RGB16161616",
                             "16-bit blue, green, red and a fourth word, 8 bytes per pixel",
                             fixedBytesPerLine<8>,
                             wordsToRgb8<4>,
                             wordsFromScene<4>,
                             {},
                             nullptr,
                             16,
                             {PngChannels::Rgb, 16},
                             wordsToPng16<4>};

} // namespace

const Format kRgb5551 = {"RGB5551",
                         "5-bit blue, green, red in a 16-bit word (bit 15 unused)",
                         fixedBytesPerLine<2>,
                         wordRgbToRgb8<5>,
                         wordRgbFromScene<5>,
                         {},
                         nullptr,
                         5};
const Format kRgb565 = {"RGB565",
                        "5-bit blue, 6-bit green, 5-bit red in a 16-bit word",
                        fixedBytesPerLine<2>,
                        wordRgbToRgb8<6>,
                        wordRgbFromScene<6>,
                        {},
                        nullptr,
                        6};
const Format kRgb101010 = {"RGB101010",
                           "10-bit blue, green, red in a 32-bit word",
                           fixedBytesPerLine<4>,
                           rgb101010ToRgb8,
                           rgb101010FromScene,
                           {},
                           nullptr,
                           10,
                           {PngChannels::Rgb, 16},
                           rgb101010ToPng16};
const Format kRgb161616 = {"RGB161616",
                           "16-bit blue, green, red, 6 bytes per pixel (right-aligned bits)",
                           fixedBytesPerLine<6>,
                           wordsToRgb8<3>,
                           wordsFromScene<3>,
                           {PngChannels::Rgb, 16},
                           rgb161616FromPng,
                           16,
                           {PngChannels::Rgb, 16},
                           wordsToPng16<3>,
                           rgb161616DropUnusedBits};

namespace {

const Registration
    kPackedRgbConversions({&kRgbr888, &kRgb5551, &kRgb565, &kRgb101010, &kRgb161616, &kRgb16161616},
                          {
                              {&kRgb888, &kRgb8888, VyrUtilConvertRGB888toRGB8888, false, nullptr, 0,
                               "with MMX the fourth byte is 0, without it is left as it was"},
                              {&kRgbr888, &kRgb8888, VyrUtilConvertRGBR888toRGB8888, false, nullptr, 0,
                               "with MMX the fourth byte is 0, without it is left as it was"},
                              {&kRgbr888, &kRgb888, VyrUtilConvertRGBR888toRGB888, false},
                              {&kRgb8888, &kRgb888, VyrUtilConvertRGB8888toRGB888, false},
                              {&kRgb888, &kRgb5551, VyrUtilConvertRGB888toRGB5551, false},
                              {&kRgb888, &kRgb565, VyrUtilConvertRGB888toRGB565, true},
                              {&kRgb5551, &kRgb888, VyrUtilConvertRGB5551toRGB888, true},
                              {&kRgb565, &kRgb888, VyrUtilConvertRGB565toRGB888, true},
                              {&kRgb101010, &kRgb8888, VyrUtilConvertRGB101010toRGB8888, true},
                              {&kRgb101010, &kRgb888, VyrUtilConvertRGB101010toRGB888, true},
                              {&kRgb101010, &kRgb161616, VyrUtilConvertRGB101010toRGB161616, true},
                              {&kRgb101010, &kRgb16161616, VyrUtilConvertRGB101010toRGB16161616, true},
                              {&kRgb161616, &kRgb101010, VyrUtilConvertRGB161616toRGB101010, true},
                              {&kRgb16161616, &kRgb101010, VyrUtilConvertRGB16161616toRGB101010, true},
                              {&kRgb161616, &kRgb8888, VyrUtilConvertRGB161616toRGB8888, true},
                              {&kRgb161616, &kRgb888, VyrUtilConvertRGB161616toRGB888, true},
                              {&kRgb16161616, &kRgb8888, VyrUtilConvertRGB16161616toRGB8888, true},
                              {&kRgb16161616, &kRgb888, VyrUtilConvertRGB16161616toRGB888, true},
                              {&kRgb16161616, &kMono16, VyrUtilConvertRGB16161616toMONO16, false},
                              {&kRgb101010, &kMono16, VyrUtilConvertRGB101010toMONO16, true},
                          });

} // namespace
} // namespace vyr::tool
