// Packed 4:2:2 kernels. The RGB8888 and YUV kernels count cells (4 source bytes, two pixels) and
// take multiples of 4; the MONO8 kernels count pixels and take multiples of 16.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

void uyvyToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t cells);
void yuy2ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t cells);
void yuy2ToYuvSse2(const uint8_t* src, uint8_t* dst, size_t cells);
void uyvyToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void yuy2ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);

void uyvyToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t cells);
void yuy2ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t cells);
void yuy2ToYuvAvx2(const uint8_t* src, uint8_t* dst, size_t cells);
void uyvyToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);
void yuy2ToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);

} // namespace vyr::convert::kernels
