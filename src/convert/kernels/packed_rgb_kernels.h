// Block kernels of the packed RGB family; the last argument is the converter's unusedBits (unused).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// RGB888 or RGBR888 to RGB8888, block 8: 24 bytes to 8 pixels of blue, green, red and a 0 byte.
void rgb888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgb888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgbr888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgbr888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGBR888 to RGB888, block 8: bytes 0 and 2 of every 3-byte pixel swapped.
void rgbr888ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGB101010 to RGB8888 (unusedBits 0), block 4: the top 8 bits of each field, a 0 fourth byte.
void rgb101010ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

} // namespace vyr::convert::kernels
