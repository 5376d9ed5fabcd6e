#include <emmintrin.h>

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/store.h"

namespace vyr::kernels {
namespace {

template <bool Stream>
void mono8ToRgb8888Loop(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; i += 16, dst += 64) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i lo = _mm_unpacklo_epi8(v, v);
        const __m128i hi = _mm_unpackhi_epi8(v, v);
        store16<Stream>(dst + 0, _mm_unpacklo_epi16(lo, lo));
        store16<Stream>(dst + 16, _mm_unpackhi_epi16(lo, lo));
        store16<Stream>(dst + 32, _mm_unpacklo_epi16(hi, hi));
        store16<Stream>(dst + 48, _mm_unpackhi_epi16(hi, hi));
    }
    if (Stream)
        _mm_sfence();
}

// Four 32-bit lanes of 0x00vvvvvv packed into their 12 colour bytes at the bottom of a register.
inline __m128i packTriples(__m128i t)
{
    const __m128i lowDword = _mm_set_epi32(0, -1, 0, -1);
    const __m128i pairs = _mm_or_si128(_mm_and_si128(t, lowDword),
                                       _mm_srli_epi64(_mm_andnot_si128(lowDword, t), 8));
    return _mm_or_si128(_mm_move_epi64(pairs),
                        _mm_slli_si128(_mm_unpackhi_epi64(pairs, _mm_setzero_si128()), 6));
}

// Eight grey bytes in the low half of v to two registers of four triples each.
inline void triples8(__m128i v, __m128i& first, __m128i& second)
{
    const __m128i doubled = _mm_unpacklo_epi8(v, v);                 // words v | v << 8
    const __m128i single = _mm_unpacklo_epi8(v, _mm_setzero_si128()); // words v
    first = packTriples(_mm_unpacklo_epi16(doubled, single));          // dwords v v v 0
    second = packTriples(_mm_unpackhi_epi16(doubled, single));
}

template <bool Stream>
void mono8ToRgb888Loop(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    size_t i = 0;
    // Two blocks per pass: 16 grey bytes make 48 bytes, three whole stores.
    for (; i + 16 <= pixels; i += 16, dst += 48) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i g0, g1, g2, g3;
        triples8(v, g0, g1);
        triples8(_mm_unpackhi_epi64(v, v), g2, g3);
        store16<Stream>(dst + 0, _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
        store16<Stream>(dst + 16, _mm_or_si128(_mm_srli_si128(g1, 4), _mm_slli_si128(g2, 8)));
        store16<Stream>(dst + 32, _mm_or_si128(_mm_srli_si128(g2, 8), _mm_slli_si128(g3, 4)));
    }
    if (Stream)
        _mm_sfence();
    if (i < pixels) { // one block left: 24 bytes
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
        __m128i g0, g1;
        triples8(v, g0, g1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm_srli_si128(g1, 4));
    }
}

} // namespace

void mono8ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    if (streamable(dst, pixels * 4))
        mono8ToRgb8888Loop<true>(src, dst, pixels);
    else
        mono8ToRgb8888Loop<false>(src, dst, pixels);
}

void mono8ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    if (streamable(dst, pixels * 3))
        mono8ToRgb888Loop<true>(src, dst, pixels);
    else
        mono8ToRgb888Loop<false>(src, dst, pixels);
}

} // namespace vyr::kernels
