#include <emmintrin.h>

#include "convert/kernels/planar_kernels.h"
#include "convert/kernels/with_stores.h"

namespace vyr::convert::kernels {
namespace {

// Blue and green bytes interleaved into words, red widened to words: four pixels each half.
template <bool Stream>
inline void mergeWords(uint8_t* dst, __m128i blueGreen, __m128i red)
{
    store16<Stream>(dst, _mm_unpacklo_epi16(blueGreen, red));
    store16<Stream>(dst + 16, _mm_unpackhi_epi16(blueGreen, red));
}

// The byte at `shift` of each of 16 pixels (four registers of four), packed to 16 bytes.
inline __m128i channel16(const __m128i p[4], int shift)
{
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i c0 = _mm_and_si128(_mm_srli_epi32(p[0], shift), low);
    const __m128i c1 = _mm_and_si128(_mm_srli_epi32(p[1], shift), low);
    const __m128i c2 = _mm_and_si128(_mm_srli_epi32(p[2], shift), low);
    const __m128i c3 = _mm_and_si128(_mm_srli_epi32(p[3], shift), low);
    return _mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3));
}

} // namespace

void mergeSse2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels)
{
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    withStores(dst, 4 * pixels, [&](auto stores) {
        constexpr bool stream = decltype(stores)::kStream;
        for (; i + 16 <= pixels; i += 16, dst += 64) {
            const __m128i r = load16(red + i), g = load16(green + i), b = load16(blue + i);
            mergeWords<stream>(dst, _mm_unpacklo_epi8(b, g), _mm_unpacklo_epi8(r, zero));
            mergeWords<stream>(dst + 32, _mm_unpackhi_epi8(b, g), _mm_unpackhi_epi8(r, zero));
        }
    });
    if (i < pixels) // one block of 8
        mergeWords<false>(dst, _mm_unpacklo_epi8(load8(blue + i), load8(green + i)),
                          _mm_unpacklo_epi8(load8(red + i), zero));
}

void splitSse2(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels)
{
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 64) {
        const __m128i p[4] = {load16(src), load16(src + 16), load16(src + 32), load16(src + 48)};
        _mm_storeu_si128(reinterpret_cast<__m128i*>(red + i), channel16(p, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(green + i), channel16(p, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(blue + i), channel16(p, 0));
    }
    if (i < pixels) { // one block of 8: the upper half of each packed register is discarded
        const __m128i first = load16(src), second = load16(src + 16);
        const __m128i p[4] = {first, second, first, second};
        put8(red + i, channel16(p, 16));
        put8(green + i, channel16(p, 8));
        put8(blue + i, channel16(p, 0));
    }
}

} // namespace vyr::convert::kernels
