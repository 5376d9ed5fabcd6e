// Kernels of the hexcone colour spaces (HSV and HSI), any number of pixels, and the table the vector rule
// divides with.
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

// The scalar rules of RGB8888 to HSV and to HSI (hsv.cpp, hsi.cpp), for the ties the kernels leave open.
void rgb8888ToHsvExact(const uint8_t* src, uint8_t* dst, size_t pixels);
void rgb8888ToHsiExact(const uint8_t* src, uint8_t* dst, size_t pixels);

// Per instruction set (Sse2, Avx2, Avx512):
//   rgb8888ToHsv, rgb8888ToHsi      the vector rule, bytes (V or I), S, H, 0
//   hsvToRgb8888                    the vector rule, bytes B, G, R, 0
//   rgb8888ToHsvRounded, ...Hsi...  the scalar rule
//   hexconeToRgb8888Rounded         the scalar rule of HSV to RGB8888, which HSI to RGB8888 shares
//   hsvToMono8                      the V byte
#define VYR_HEXCONE_KERNEL_SET(Isa)                                                                          \
    void rgb8888ToHsv##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                                 \
    void rgb8888ToHsi##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                                 \
    void hsvToRgb8888##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                                 \
    void rgb8888ToHsvRounded##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                          \
    void rgb8888ToHsiRounded##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                          \
    void hexconeToRgb8888Rounded##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);                      \
    void hsvToMono8##Isa(const uint8_t* src, uint8_t* dst, size_t pixels);
VYR_HEXCONE_KERNEL_SET(Sse2)
VYR_HEXCONE_KERNEL_SET(Avx2)
VYR_HEXCONE_KERNEL_SET(Avx512)
#undef VYR_HEXCONE_KERNEL_SET

} // namespace vyr::convert::kernels
