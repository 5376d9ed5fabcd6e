// Vector kernels of the hexcone colour spaces (HSV and HSI) and the table they divide with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

// Entry n (1..255) holds w = ceil(32640 * 32768 / n) as w >> 15 in its low 16 bits and w & 0x7FFF
// in its high 16 bits, the halves 16-bit multiply-adds take; entry 0 is 0. For x <= n,
// (x * w + 2^21) >> 22 is x * 255 / n rounded half up, and x * w stays below 2^31.
struct ReciprocalTable {
    uint32_t entry[256];
};
extern const ReciprocalTable kHexconeReciprocals;

// RGB8888 to HSV (bytes V, S, H, 0) and to HSI (bytes I, S, H, 0), block 4.
void rgb8888ToHsvSse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToHsvAvx2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToHsiSse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToHsiAvx2(const uint8_t* src, uint8_t* dst, size_t pixels);

// HSV to RGB8888 (bytes B, G, R, 0), block 8.
void hsvToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void hsvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels);

} // namespace vyr::convert::kernels
