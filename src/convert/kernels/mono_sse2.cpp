#include <emmintrin.h>

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/mono_steps.h"

namespace vyr::convert::kernels {
namespace {

struct Mono8ToRgb8888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += 16, dst += 64) {
            const __m128i v = V128::load(src + i);
            const __m128i lo = _mm_unpacklo_epi8(v, v);
            const __m128i hi = _mm_unpackhi_epi8(v, v);
            V128::store<Stream>(dst + 0, _mm_unpacklo_epi16(lo, lo));
            V128::store<Stream>(dst + 16, _mm_unpackhi_epi16(lo, lo));
            V128::store<Stream>(dst + 32, _mm_unpacklo_epi16(hi, hi));
            V128::store<Stream>(dst + 48, _mm_unpackhi_epi16(hi, hi));
        }
    }
};

// Four 32-bit lanes of 0x00vvvvvv packed into their 12 colour bytes at the bottom of a register.
inline __m128i packTriples(__m128i t)
{
    const __m128i lowDword = _mm_set_epi32(0, -1, 0, -1);
    const __m128i pairs =
        _mm_or_si128(_mm_and_si128(t, lowDword), _mm_srli_epi64(_mm_andnot_si128(lowDword, t), 8));
    return _mm_or_si128(_mm_move_epi64(pairs),
                        _mm_slli_si128(_mm_unpackhi_epi64(pairs, _mm_setzero_si128()), 6));
}

// Eight grey bytes in the low half of v to two registers of four triples each.
inline void triples8(__m128i v, __m128i& first, __m128i& second)
{
    const __m128i doubled = _mm_unpacklo_epi8(v, v);                  // words v | v << 8
    const __m128i single = _mm_unpacklo_epi8(v, _mm_setzero_si128()); // words v
    first = packTriples(_mm_unpacklo_epi16(doubled, single));         // dwords v v v 0
    second = packTriples(_mm_unpackhi_epi16(doubled, single));
}

// Two blocks per pass: 16 grey bytes make 48 bytes, three whole stores.
struct Mono8ToRgb888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += 16, dst += 48) {
            const __m128i v = V128::load(src + i);
            __m128i g0, g1, g2, g3;
            triples8(v, g0, g1);
            triples8(_mm_unpackhi_epi64(v, v), g2, g3);
            V128::store<Stream>(dst + 0, _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
            V128::store<Stream>(dst + 16, _mm_or_si128(_mm_srli_si128(g1, 4), _mm_slli_si128(g2, 8)));
            V128::store<Stream>(dst + 32, _mm_or_si128(_mm_srli_si128(g2, 8), _mm_slli_si128(g3, 4)));
        }
    }
};

struct Mono16ToMono8 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels, __m128i shift)
    {
        const __m128i lowByte = _mm_set1_epi16(0xFF);
        for (size_t i = 0; i < pixels; i += 16) {
            const __m128i a = _mm_and_si128(_mm_srl_epi16(V128::load(src + 2 * i), shift), lowByte);
            const __m128i b = _mm_and_si128(_mm_srl_epi16(V128::load(src + 2 * i + 16), shift), lowByte);
            V128::store<Stream>(dst + i, _mm_packus_epi16(a, b));
        }
    }
};

// Eight grey words v to RGB5551: c = v >> 3 in all three fields.
inline __m128i rgb5551Grey(__m128i words)
{
    const __m128i c = _mm_srli_epi16(words, 3);
    return _mm_or_si128(_mm_or_si128(c, _mm_slli_epi16(c, 5)), _mm_slli_epi16(c, 10));
}

struct Mono8ToRgb5551 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += 16, dst += 32) {
            const __m128i v = V128::load(src + i);
            V128::store<Stream>(dst, rgb5551Grey(_mm_unpacklo_epi8(v, _mm_setzero_si128())));
            V128::store<Stream>(dst + 16, rgb5551Grey(_mm_unpackhi_epi8(v, _mm_setzero_si128())));
        }
    }
};

// Eight grey bytes doubled into words v << 8 | v, cut into the three fields.
inline __m128i rgb565Doubled(__m128i doubled)
{
    const __m128i red = _mm_and_si128(doubled, _mm_set1_epi16(int16_t(0xF800)));
    const __m128i green = _mm_and_si128(_mm_srli_epi16(doubled, 5), _mm_set1_epi16(0x07C0));
    return _mm_or_si128(_mm_or_si128(red, green), _mm_srli_epi16(doubled, 11));
}

struct Mono8ToRgb565 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += 16, dst += 32) {
            const __m128i v = V128::load(src + i);
            V128::store<Stream>(dst, rgb565Doubled(_mm_unpacklo_epi8(v, v)));
            V128::store<Stream>(dst + 16, rgb565Doubled(_mm_unpackhi_epi8(v, v)));
        }
    }
};

} // namespace

void mono8ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    withStores<Mono8ToRgb8888>(dst, 4 * pixels, src, dst, pixels);
}

void mono8ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 16 * 16;
    withStores<Mono8ToRgb888>(dst, 3 * pixels, src, dst, whole);
    if (whole < pixels) { // one block left: 24 bytes
        __m128i g0, g1;
        triples8(V128::loadLow(src + whole), g0, g1);
        V128::store<false>(dst + 3 * whole, _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
        V128::storeLow(dst + 3 * whole + 16, _mm_srli_si128(g1, 4));
    }
}

void mono16ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t unusedBits)
{
    // A count above 15 (unusedBits beyond 8) shifts every bit out: some value, no fault.
    withStores<Mono16ToMono8>(dst, 2 * pixels, src, dst, pixels, _mm_cvtsi32_si128(int(8 - unusedBits)));
}

void mono8ToRgb5551Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    withStores<Mono8ToRgb5551>(dst, 2 * pixels, src, dst, pixels);
}

void mono8ToRgb565Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 16 * 16;
    withStores<Mono8ToRgb565>(dst, 2 * pixels, src, dst, whole);
    if (whole < pixels) { // one block left
        const __m128i v = V128::loadLow(src + whole);
        V128::store<false>(dst + 2 * whole, rgb565Doubled(_mm_unpacklo_epi8(v, v)));
    }
}

void rgb8888ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 16 * 16;
    withStores<Rgb8888ToMono8<V128>>(dst, 4 * pixels, src, dst, whole);
    if (whole < pixels) { // one block left
        const __m128i first = luma<V128>(V128::load(src + 4 * whole));
        const __m128i second = luma<V128>(V128::load(src + 4 * whole + 16));
        V128::storeLow(dst + whole, V128::bytesOf32Ordered(first, second, first, second));
    }
}

} // namespace vyr::convert::kernels

#define VYR_MONO_AT(K) VYR_UNITS(unitsSse2, K)
VYR_MONO_ANY_WIDTH(VYR_MONO_AT)
