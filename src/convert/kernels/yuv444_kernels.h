// Y411 and 4:4:4 YUV kernels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// Multiples of 8 pixels: V, U, Y, X to B, G, R, 0.
void yuvToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void yuvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);
// Multiples of 4 units (6 source bytes, four pixels, each): to B, G, R, 0.
void y411ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t units);
void y411ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t units);
void y411ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t units);

} // namespace vyr::convert::kernels
