// RGB8888 pixels (bytes B, G, R, 0) from 64 bytes each of blue, green and red, through the byte permutes
// of AVX-512 VBMI. For the AVX-512 kernel files only; everything here has internal linkage.
#pragma once

#include <cstdint>
#include <immintrin.h>

namespace vyr::convert::kernels {
namespace {

// Byte indices: pairs of blue and green of pixels 0..31 (32..63) from blue (first operand) and green, and
// the pixels of 16k .. 16k + 15 from such pairs (first) and red bytes from 16k on (second).
struct PixelIndices {
    alignas(64) uint8_t pairs[2][64];
    alignas(64) uint8_t pixels[2][64];
};

// Evens: the samples of each 16-byte lane are those of its 8 even pixels, then of its 8 odd ones, as
// packs of two registers of 16-bit lanes (even pixels, odd pixels) leave them; else in column order.
constexpr PixelIndices makePixelIndices(bool evens)
{
    auto at16 = [evens](int i) { return evens ? (i & 1) * 8 + i / 2 : i; }; // of pixel i of a lane
    auto at64 = [at16](int i) { return i / 16 * 16 + at16(i % 16); };
    PixelIndices at{};
    for (int h = 0; h < 2; ++h) {
        for (int i = 0; i < 32; ++i) {
            at.pairs[h][2 * i] = uint8_t(at64(32 * h + i));
            at.pairs[h][2 * i + 1] = uint8_t(64 + at64(32 * h + i));
        }
        for (int i = 0; i < 16; ++i) {
            at.pixels[h][4 * i] = uint8_t(32 * h + 2 * i);
            at.pixels[h][4 * i + 1] = uint8_t(32 * h + 2 * i + 1);
            at.pixels[h][4 * i + 2] = uint8_t(64 + 16 * h + at16(i));
        }
    }
    return at;
}

constexpr PixelIndices kPixelIndices = makePixelIndices(false);
constexpr PixelIndices kPackedPixelIndices = makePixelIndices(true);

// The fourth byte of every pixel.
constexpr uint64_t kFirstThreeBytes = 0x7777777777777777ull;

// Pixels 16k .. 16k + 15 of 64, their fourth bytes 0; samples in the order of `at`.
inline __m512i bgrxPixels(__m512i blue, __m512i green, __m512i red, int k,
                          const PixelIndices& at = kPixelIndices)
{
    const __m512i pairs = _mm512_permutex2var_epi8(blue, _mm512_load_si512(at.pairs[k >> 1]), green);
    const __m512i high = k < 2 ? red : _mm512_shuffle_i64x2(red, red, 0xEE); // red bytes 32.. move down
    return _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, pairs, _mm512_load_si512(at.pixels[k & 1]), high);
}

} // namespace
} // namespace vyr::convert::kernels
