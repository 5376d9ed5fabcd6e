// Block kernels of the grey family. Each converts a nonzero multiple of its block of pixels; the
// last argument is the converter's unusedBits (read only where the rule takes it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// MONO8 to RGB8888, block 16: 16 grey bytes to 64 bytes of v v v v.
void mono8ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO8 to RGB888, block 8: 8 grey bytes to 24 bytes of v v v.
void mono8ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO16 to MONO8, block 16: every word shifted right by 8 - unusedBits, its low byte kept.
void mono16ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t unusedBits);

// MONO8 to RGB5551 (unusedBits 0), block 16: c = v >> 3 in all three fields.
void mono8ToRgb5551Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO8 to RGB565 (unusedBits 0), block 8: fields cut from the byte doubled into a word.
void mono8ToRgb565Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGB8888 to MONO8, block 8: (117 B + 601 G + 306 R) >> 10 by multiply-add of word pairs.
void rgb8888ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgb8888ToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

} // namespace vyr::convert::kernels
