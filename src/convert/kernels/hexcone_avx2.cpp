#include <immintrin.h>

#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr size_t kPixels = 8;

    static R load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    template <bool Stream>
    static void store(uint8_t* p, R v)
    {
        // 16-byte streaming stores need only the alignment streamable() checks.
        store16<Stream>(p, _mm256_castsi256_si128(v));
        store16<Stream>(p + 16, _mm256_extracti128_si256(v, 1));
    }
    static R zero() { return _mm256_setzero_si256(); }
    static R set16(int16_t x) { return _mm256_set1_epi16(x); }
    static R set32(int32_t x) { return _mm256_set1_epi32(x); }
    static R and_(R a, R b) { return _mm256_and_si256(a, b); }
    static R or_(R a, R b) { return _mm256_or_si256(a, b); }
    static R select(R mask, R ifSet, R ifClear) { return _mm256_blendv_epi8(ifClear, ifSet, mask); }
    static R xor_(R a, R b) { return _mm256_xor_si256(a, b); }
    template <int N>
    static R srl16(R a)
    {
        return _mm256_srli_epi16(a, N);
    }
    template <int N>
    static R sll16(R a)
    {
        return _mm256_slli_epi16(a, N);
    }
    template <int N>
    static R srl32(R a)
    {
        return _mm256_srli_epi32(a, N);
    }
    template <int N>
    static R sll32(R a)
    {
        return _mm256_slli_epi32(a, N);
    }
    static R packs32(R a, R b) { return _mm256_packs_epi32(a, b); }
    static R unpacklo16(R a, R b) { return _mm256_unpacklo_epi16(a, b); }
    static R unpackhi16(R a, R b) { return _mm256_unpackhi_epi16(a, b); }
    static R add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R max16(R a, R b) { return _mm256_max_epi16(a, b); }
    static R min16(R a, R b) { return _mm256_min_epi16(a, b); }
    static R eq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
    static R gt16(R a, R b) { return _mm256_cmpgt_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm256_mulhi_epi16(a, b); }
    static R mulhiu16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    static R madd16(R a, R b) { return _mm256_madd_epi16(a, b); }
    static R add32(R a, R b) { return _mm256_add_epi32(a, b); }

    // For 0 <= x <= n <= 255 the table gives (x * w + 2^21) >> 22 = floor((510 x + n) / (2 n)), x * 255 / n
    // rounded half up: w exceeds 255 * 2^22 / n by less than 1, which moves x * 255 / n + 1/2 by less
    // than 2^-14, while a quotient of denominator 2n is an integer or at least 1/510 short of one.
    // A single-precision division of these integers (below 2^24, so exact as floats) is off by less
    // than 2^-15 in any rounding mode, so truncating it gives the same integer. Gathering the
    // entries instead takes 1.7 times as long.
    static R quotient32(R x, R n)
    {
        const R numerator = _mm256_add_epi32(_mm256_madd_epi16(x, _mm256_set1_epi32(510)), n);
        const R denominator = _mm256_max_epi32(_mm256_add_epi32(n, n), _mm256_set1_epi32(1));
        return _mm256_cvttps_epi32(
            _mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(denominator)));
    }

    static R quotient16(R x, R n)
    {
        return _mm256_packs_epi32(
            quotient32(_mm256_unpacklo_epi16(x, zero()), _mm256_unpacklo_epi16(n, zero())),
            quotient32(_mm256_unpackhi_epi16(x, zero()), _mm256_unpackhi_epi16(n, zero())));
    }
};

} // namespace
} // namespace vyr::convert::kernels

#include "convert/kernels/hexcone_body.h"

namespace vyr::convert::kernels {

void rgb8888ToHsvAvx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Avx2, HexconePass<Avx2, false>>(src, dst, pixels);
    _mm256_zeroupper();
}

void rgb8888ToHsiAvx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Avx2, HexconePass<Avx2, true>>(src, dst, pixels);
    _mm256_zeroupper();
}

void hsvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<Avx2, HsvToRgbPass<Avx2>>(src, dst, pixels);
    _mm256_zeroupper();
}

} // namespace vyr::convert::kernels
