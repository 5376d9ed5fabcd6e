#include <emmintrin.h>

#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

struct Sse2 {
    using R = __m128i;
    static constexpr size_t kPixels = 4;

    static R load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    template <bool Stream>
    static void store(uint8_t* p, R v)
    {
        store16<Stream>(p, v);
    }
    static R zero() { return _mm_setzero_si128(); }
    static R set16(int16_t x) { return _mm_set1_epi16(x); }
    static R set32(int32_t x) { return _mm_set1_epi32(x); }
    static R and_(R a, R b) { return _mm_and_si128(a, b); }
    static R or_(R a, R b) { return _mm_or_si128(a, b); }
    static R select(R mask, R ifSet, R ifClear)
    {
        return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
    }
    static R xor_(R a, R b) { return _mm_xor_si128(a, b); }
    template <int N>
    static R srl16(R a)
    {
        return _mm_srli_epi16(a, N);
    }
    template <int N>
    static R sll16(R a)
    {
        return _mm_slli_epi16(a, N);
    }
    template <int N>
    static R srl32(R a)
    {
        return _mm_srli_epi32(a, N);
    }
    template <int N>
    static R sll32(R a)
    {
        return _mm_slli_epi32(a, N);
    }
    static R packs32(R a, R b) { return _mm_packs_epi32(a, b); }
    static R unpacklo16(R a, R b) { return _mm_unpacklo_epi16(a, b); }
    static R unpackhi16(R a, R b) { return _mm_unpackhi_epi16(a, b); }
    static R add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R max16(R a, R b) { return _mm_max_epi16(a, b); }
    static R min16(R a, R b) { return _mm_min_epi16(a, b); }
    static R eq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
    static R gt16(R a, R b) { return _mm_cmpgt_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm_mulhi_epi16(a, b); }
    static R mulhiu16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    static R madd16(R a, R b) { return _mm_madd_epi16(a, b); }
    static R add32(R a, R b) { return _mm_add_epi32(a, b); }

    // Table entries of the 16-bit indices, four to a register (SSE2 has no gather).
    static void entries(R index, R& first, R& second)
    {
        alignas(16) uint16_t i[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
        const uint32_t* t = kHexconeReciprocals.entry;
        first = _mm_setr_epi32(int(t[i[0]]), int(t[i[1]]), int(t[i[2]]), int(t[i[3]]));
        second = _mm_setr_epi32(int(t[i[4]]), int(t[i[5]]), int(t[i[6]]), int(t[i[7]]));
    }

    // (x * w + 2^21) >> 22, x in the low word of each 32-bit lane, entries of words (low, high):
    // x * w = (x * low) << 15 + x * high, both from 16-bit multiply-adds.
    static R timesReciprocal(R x, R entries)
    {
        const R byLow = _mm_madd_epi16(x, entries);
        const R byHigh = _mm_madd_epi16(_mm_slli_epi32(x, 16), entries);
        const R product = _mm_add_epi32(_mm_slli_epi32(byLow, 15), byHigh);
        return _mm_srli_epi32(_mm_add_epi32(product, _mm_set1_epi32(1 << 21)), 22);
    }

    static R quotient16(R x, R n)
    {
        R first, second;
        entries(n, first, second);
        return _mm_packs_epi32(timesReciprocal(_mm_unpacklo_epi16(x, zero()), first),
                               timesReciprocal(_mm_unpackhi_epi16(x, zero()), second));
    }
};

} // namespace
} // namespace vyr::convert::kernels

#include "convert/kernels/hexcone_body.h"

namespace vyr::convert::kernels {

void rgb8888ToHsvSse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Sse2, HexconePass<Sse2, false>>(src, dst, pixels);
}

void rgb8888ToHsiSse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Sse2, HexconePass<Sse2, true>>(src, dst, pixels);
}

void hsvToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Sse2, HsvToRgbPass<Sse2>>(src, dst, pixels);
}

} // namespace vyr::convert::kernels
