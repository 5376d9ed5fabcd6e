// LAB kernels: RGB8888 to LAB (bytes b, a, L, 0), LAB to RGB8888 and LAB to MONO8, any number of pixels,
// with exactly the bytes of the scalar rules.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// The scalar rule of RGB8888 to LAB (lab.cpp), for the pixels whose bytes the kernels leave open.
void rgb8888ToLabExact(const uint8_t* src, uint8_t* dst, size_t pixels);

void rgb8888ToLabSse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToLabAvx2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToLabAvx512(const uint8_t* src, uint8_t* dst, size_t pixels);

void labToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void labToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);
void labToRgb8888Avx512(const uint8_t* src, uint8_t* dst, size_t pixels);

void labToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void labToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);
void labToMono8Avx512(const uint8_t* src, uint8_t* dst, size_t pixels);

} // namespace vyr::convert::kernels
