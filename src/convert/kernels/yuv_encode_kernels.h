// RGB and MONO to YUV kernels; counts are pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// Multiples of 4 pixels: B, G, R, X to V, U, Y, 0 with the vector chroma rule.
void rgb8888ToYuvSse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToYuvAvx2(const uint8_t* src, uint8_t* dst, size_t pixels);
// Multiples of 16 pixels: p to p, 128.
void mono8ToYuy2Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void mono8ToYuy2Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);
// Multiples of 8 pixels: p to (p >> shift) & 255, 128; a shift of 16 or more gives Y = 0.
void mono16ToYuy2Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t shift);
void mono16ToYuy2Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t shift);

} // namespace vyr::convert::kernels
