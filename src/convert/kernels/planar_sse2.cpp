#include <emmintrin.h>

#include "convert/kernels/planar_kernels.h"
#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Blue and green bytes interleaved into words, red widened to words: four pixels each half.
template <bool Stream>
inline void mergeWords(uint8_t* dst, __m128i blueGreen, __m128i red)
{
    V128::store<Stream>(dst, _mm_unpacklo_epi16(blueGreen, red));
    V128::store<Stream>(dst + 16, _mm_unpackhi_epi16(blueGreen, red));
}

struct Merge {
    template <bool Stream>
    static void run(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst,
                    size_t pixels)
    {
        const __m128i zero = _mm_setzero_si128();
        for (size_t i = 0; i < pixels; i += 16, dst += 64) {
            const __m128i r = V128::load(red + i), g = V128::load(green + i), b = V128::load(blue + i);
            mergeWords<Stream>(dst, _mm_unpacklo_epi8(b, g), _mm_unpacklo_epi8(r, zero));
            mergeWords<Stream>(dst + 32, _mm_unpackhi_epi8(b, g), _mm_unpackhi_epi8(r, zero));
        }
    }
};

// The byte at `shift` of each of 16 pixels (four registers of four), packed to 16 bytes.
inline __m128i channel16(const __m128i p[4], int shift)
{
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i c0 = _mm_and_si128(_mm_srli_epi32(p[0], shift), low);
    const __m128i c1 = _mm_and_si128(_mm_srli_epi32(p[1], shift), low);
    const __m128i c2 = _mm_and_si128(_mm_srli_epi32(p[2], shift), low);
    const __m128i c3 = _mm_and_si128(_mm_srli_epi32(p[3], shift), low);
    return V128::bytesOf32Ordered(c0, c1, c2, c3);
}

} // namespace

void mergeSse2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels)
{
    const size_t whole = pixels / 16 * 16;
    withStores<Merge>(dst, 4 * pixels, red, green, blue, dst, whole);
    if (whole < pixels) // one block of 8
        mergeWords<false>(dst + 4 * whole,
                          _mm_unpacklo_epi8(V128::loadLow(blue + whole), V128::loadLow(green + whole)),
                          V128::loadWidened8(red + whole));
}

void splitSse2(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels)
{
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, src += 64) {
        const __m128i p[4] = {V128::load(src), V128::load(src + 16), V128::load(src + 32),
                              V128::load(src + 48)};
        V128::store<false>(red + i, channel16(p, 16));
        V128::store<false>(green + i, channel16(p, 8));
        V128::store<false>(blue + i, channel16(p, 0));
    }
    if (i < pixels) { // one block of 8: the upper half of each packed register is discarded
        const __m128i first = V128::load(src), second = V128::load(src + 16);
        const __m128i p[4] = {first, second, first, second};
        V128::storeLow(red + i, channel16(p, 16));
        V128::storeLow(green + i, channel16(p, 8));
        V128::storeLow(blue + i, channel16(p, 0));
    }
}

} // namespace vyr::convert::kernels
