// RGB8888 pixels (bytes B, G, R, 0) from 64 bytes each of blue, green and red, through the byte permutes
// of AVX-512 VBMI. For the AVX-512 kernel files only; everything here has internal linkage.
#pragma once

#include <cstdint>
#include <immintrin.h>

namespace vyr::convert::kernels {
namespace {

// Byte indices of pixels 16k .. 16k + 15 of 64: blue and green from the half of both that holds them
// (first operand: blue bytes 0-31 then green bytes 0-31 for k < 2, bytes 32-63 of each for k >= 2), red
// from all 64 (second operand). Two half shuffles and four permutes make the 64 pixels, where pairs of
// blue and green would take a permute more.
struct QuadIndices {
    alignas(64) uint8_t at[4][64];
};

// Evens: the samples of each 16-byte lane are those of its 8 even pixels, then of its 8 odd ones, as
// packs of two registers of 16-bit lanes (even pixels, odd pixels) leave them; else in column order.
constexpr QuadIndices makeQuadIndices(bool evens)
{
    auto at64 = [evens](int p) { return p / 16 * 16 + (evens ? (p & 1) * 8 + p % 16 / 2 : p % 16); };
    QuadIndices t{};
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 16; ++i) {
            const int p = 16 * k + i, inHalf = at64(p) - (k < 2 ? 0 : 32);
            t.at[k][4 * i] = uint8_t(inHalf);
            t.at[k][4 * i + 1] = uint8_t(32 + inHalf);
            t.at[k][4 * i + 2] = uint8_t(64 + at64(p));
        }
    }
    return t;
}

constexpr QuadIndices kQuadIndices = makeQuadIndices(false);
constexpr QuadIndices kPackedQuadIndices = makeQuadIndices(true);

// The fourth byte of every pixel.
constexpr uint64_t kFirstThreeBytes = 0x7777777777777777ull;

// The 64 pixels as RGB8888 in four registers, their fourth bytes 0; samples in the order of `at`.
inline void bgrxQuads(__m512i blue, __m512i green, __m512i red, __m512i out[4],
                      const QuadIndices& at = kQuadIndices)
{
    const __m512i low = _mm512_shuffle_i64x2(blue, green, 0x44),
                  high = _mm512_shuffle_i64x2(blue, green, 0xEE);
    for (int k = 0; k < 4; ++k)
        out[k] = _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, k < 2 ? low : high,
                                                _mm512_load_si512(at.at[k]), red);
}

} // namespace
} // namespace vyr::convert::kernels
