#include <emmintrin.h>

#include "convert/kernels/bayer_kernels.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// ---- 8-bit samples, one per byte lane ------------------------------------------------------------

template <__m128i (*Load)(const uint8_t*)>
inline __m128i evenSites8(const uint8_t* p)
{
    const __m128i low = _mm_set1_epi16(0x00FF);
    return _mm_or_si128(_mm_and_si128(Load(p), low), _mm_andnot_si128(low, Load(p + 1)));
}

template <__m128i (*Load)(const uint8_t*)>
inline __m128i oddSites8(const uint8_t* p)
{
    const __m128i v = Load(p);
    return _mm_or_si128(_mm_andnot_si128(_mm_set1_epi16(0x00FF), v), _mm_srli_epi16(v, 8));
}

struct Colours {
    __m128i red, green, blue;
};

template <__m128i (*Load)(const uint8_t*)>
inline Colours cells8(const uint8_t* a, const uint8_t* b, bool aIsRed)
{
    const __m128i fromA = evenSites8<Load>(a);
    const __m128i fromB = oddSites8<Load>(b);
    const __m128i green = _mm_avg_epu8(evenSites8<Load>(b), oddSites8<Load>(a));
    return aIsRed ? Colours{fromA, green, fromB} : Colours{fromB, green, fromA};
}

// Blue, green, red and a zero byte per pixel, from the low eight lanes of each colour.
inline void storeRgb8888Low(uint8_t* dst, const Colours& c, size_t pixels)
{
    const __m128i bg = _mm_unpacklo_epi8(c.blue, c.green);
    const __m128i r0 = _mm_unpacklo_epi8(c.red, _mm_setzero_si128());
    V128::store<false>(dst, _mm_unpacklo_epi16(bg, r0));
    if (pixels > 4)
        V128::store<false>(dst + 16, _mm_unpackhi_epi16(bg, r0));
}

// ---- 15-bit samples, one per 16-bit lane -----------------------------------------------------------

inline __m128i evenSites16(const uint8_t* p)
{
    const __m128i low = _mm_set1_epi32(0x0000FFFF);
    return _mm_or_si128(_mm_and_si128(V128::load(p), low), _mm_andnot_si128(low, V128::load(p + 2)));
}

inline __m128i oddSites16(const uint8_t* p)
{
    const __m128i v = V128::load(p);
    return _mm_or_si128(_mm_andnot_si128(_mm_set1_epi32(0x0000FFFF), v), _mm_srli_epi32(v, 16));
}

// Lanes above 32767 become 32767.
inline __m128i saturate15(__m128i v)
{
    return _mm_and_si128(_mm_or_si128(v, _mm_srai_epi16(v, 15)), _mm_set1_epi16(0x7FFF));
}

} // namespace

void bayer8CellsToRgb8888Sse2(const uint8_t* a, const uint8_t* b, uint8_t* dst, size_t pixels, bool aIsRed)
{
    size_t x = 0;
    for (; x + 16 <= pixels; x += 16) {
        const Colours c = cells8<V128::load>(a + x, b + x, aIsRed);
        storeRgb8888Low(dst + 4 * x, c, 8);
        const Colours high = {_mm_unpackhi_epi64(c.red, c.red), _mm_unpackhi_epi64(c.green, c.green),
                              _mm_unpackhi_epi64(c.blue, c.blue)};
        storeRgb8888Low(dst + 4 * x + 32, high, 8);
    }
    // Blocks of 4 read columns x .. x + 4 only.
    for (; x < pixels; x += 4)
        storeRgb8888Low(dst + 4 * x, cells8<V128::load4>(a + x, b + x, aIsRed), 4);
}

void bayer8EvenSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 16)
        V128::store<false>(out + x, evenSites8<V128::load>(s + x));
}

void bayer8OddSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 16)
        V128::store<false>(out + x, oddSites8<V128::load>(s + x));
}

void bayer8GreenSse2(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 16)
        V128::store<false>(out + x,
                           _mm_avg_epu8(evenSites8<V128::load>(gEven + x), oddSites8<V128::load>(gOdd + x)));
}

void bayer15EvenSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 8)
        V128::store<false>(out + 2 * x, saturate15(evenSites16(s + 2 * x)));
}

void bayer15OddSitesSse2(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 8)
        V128::store<false>(out + 2 * x, saturate15(oddSites16(s + 2 * x)));
}

void bayer15GreenSse2(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; x += 8)
        V128::store<false>(out + 2 * x,
                           saturate15(_mm_avg_epu16(evenSites16(gEven + 2 * x), oddSites16(gOdd + 2 * x))));
}

} // namespace vyr::convert::kernels
