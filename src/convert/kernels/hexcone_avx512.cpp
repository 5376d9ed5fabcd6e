#include "convert/kernels/avx512_first.h"

#include "convert/kernels/hexcone_body.h"

namespace vyr::convert::kernels {
namespace {

// The scalar rule of RGB8888 to HSV or HSI (hexcone.h) for eight pixels at once: every step in double
// precision as the rule takes it, so the same doubles and the same bytes.
template <bool Intensity>
struct DoublePixels {
    // x * 255 + 0.5, limited to 0..255, truncated.
    static __m256i byteOf(__m512d x)
    {
        const __m512d v = _mm512_add_pd(_mm512_mul_pd(x, _mm512_set1_pd(255.0)), _mm512_set1_pd(0.5));
        return _mm512_cvttpd_epi32(
            _mm512_max_pd(_mm512_min_pd(v, _mm512_set1_pd(255.0)), _mm512_setzero_pd()));
    }

    static void pixels(const uint8_t* const* src, uint8_t* const* dst, unsigned n)
    {
        alignas(32) uint32_t in[8] = {}, out[8];
        for (unsigned i = 0; i < n; ++i)
            __builtin_memcpy(&in[i], src[i], 4);
        const __m256i p = _mm256_load_si256(reinterpret_cast<const __m256i*>(in));
        auto unit = [p](int shift) {
            const __m256i byte = _mm256_and_si256(_mm256_srli_epi32(p, shift), _mm256_set1_epi32(0xFF));
            return _mm512_div_pd(_mm512_cvtepi32_pd(byte), _mm512_set1_pd(255.0));
        };
        const __m512d b = unit(0), g = unit(8), r = unit(16);
        const __m512d max = _mm512_max_pd(_mm512_max_pd(r, g), b);
        const __m512d min = _mm512_min_pd(_mm512_min_pd(r, g), b);
        const __m512d d = _mm512_sub_pd(max, min);
        const __m512d s =
            _mm512_maskz_div_pd(_mm512_cmp_pd_mask(max, _mm512_setzero_pd(), _CMP_GT_OQ), d, max);
        const __m512d rc = _mm512_div_pd(_mm512_sub_pd(max, r), d);
        const __m512d gc = _mm512_div_pd(_mm512_sub_pd(max, g), d);
        const __m512d bc = _mm512_div_pd(_mm512_sub_pd(max, b), d);
        const __m512d byRed = _mm512_sub_pd(bc, gc);
        const __m512d byGreen = _mm512_sub_pd(_mm512_add_pd(_mm512_set1_pd(2.0), rc), bc);
        const __m512d byBlue = _mm512_sub_pd(_mm512_add_pd(_mm512_set1_pd(4.0), gc), rc);
        __m512d h = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(g, max, _CMP_EQ_OQ), byBlue, byGreen);
        h = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(r, max, _CMP_EQ_OQ), h, byRed);
        h = _mm512_div_pd(h, _mm512_set1_pd(6.0));
        h = _mm512_mask_add_pd(h, _mm512_cmp_pd_mask(h, _mm512_setzero_pd(), _CMP_LT_OQ), h,
                               _mm512_set1_pd(1.0));
        h = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(s, _mm512_setzero_pd(), _CMP_GT_OQ), h); // grey: hue 0
        const __m512d level =
            Intensity ? _mm512_div_pd(_mm512_add_pd(_mm512_add_pd(b, r), g), _mm512_set1_pd(3.0)) : max;
        const __m256i pixel = _mm256_or_si256(_mm256_or_si256(byteOf(level), _mm256_slli_epi32(byteOf(s), 8)),
                                              _mm256_slli_epi32(byteOf(h), 16));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), pixel);
        for (unsigned i = 0; i < n; ++i)
            __builtin_memcpy(dst[i], &out[i], 4);
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx512, V512, DoublePixels)
