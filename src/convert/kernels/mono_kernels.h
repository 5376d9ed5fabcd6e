#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::kernels {

// MONO8 to RGB8888, block 16: 16 grey bytes to 64 bytes of v v v v.
void mono8ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void mono8ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);

// MONO8 to RGB888, block 8: 8 grey bytes to 24 bytes of v v v.
void mono8ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void mono8ToRgb888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels);
void mono8ToRgb888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);

} // namespace vyr::kernels
