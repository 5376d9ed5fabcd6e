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

// RGB8888 to HSV or HSI in 32-bit lanes, a pixel a lane, the sectors and ties in mask registers: the
// vector rule, or (Rounded) the scalar rule with its ties. The quotients as in floorQuotient.
template <bool Intensity, bool Rounded>
struct FromRgb512 {
    static constexpr size_t kPixels = 32; // two registers a pass

    static __m512 ps(__m512i v) { return _mm512_cvtepi32_ps(v); }
    static __m512 atLeastOne(__m512 v) { return _mm512_max_ps(v, _mm512_set1_ps(1.0f)); }
    static __mmask16 whole(__m512 q)
    {
        return _mm512_cmp_ps_mask(q, _mm512_roundscale_ps(q, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC),
                                  _CMP_EQ_OQ);
    }

    // The pixels (V or I, S, H, 0) of one register, and their ties.
    static __m512i pixels(__m512i p, __mmask16& ties)
    {
        const __m512i byte = _mm512_set1_epi32(0xFF);
        const __m512i b = _mm512_and_si512(p, byte);
        const __m512i g = _mm512_and_si512(_mm512_srli_epi32(p, 8), byte);
        const __m512i r = _mm512_and_si512(_mm512_srli_epi32(p, 16), byte);
        const __m512i max = _mm512_max_epi32(_mm512_max_epi32(r, g), b);
        const __m512i d = _mm512_sub_epi32(max, _mm512_min_epi32(_mm512_min_epi32(r, g), b));
        // The sector by the first channel equal to the largest, in the order R, G, B, and its numerator.
        const __mmask16 rIsMax = _mm512_cmpeq_epi32_mask(r, max), gIsMax = _mm512_cmpeq_epi32_mask(g, max);
        __m512i n = _mm512_sub_epi32(r, g);
        n = _mm512_mask_sub_epi32(n, gIsMax, b, r);
        n = _mm512_mask_sub_epi32(n, rIsMax, g, b);
        const __mmask16 negative = _mm512_cmplt_epi32_mask(n, _mm512_setzero_si512());
        const __m512 dF = ps(d), maxF = ps(max);

        const __m512 sq = _mm512_div_ps(_mm512_fmadd_ps(dF, _mm512_set1_ps(510.0f), maxF),
                                        atLeastOne(_mm512_add_ps(maxF, maxF)));
        const __m512i s = _mm512_cvttps_epi32(sq);
        __m512i h, level = max;
        if constexpr (Rounded) {
            // floor((510 n + d (6 + 510 k)) / (12 d)), a turn up below 0 in the red sector, at most 255
            __m512 offset = _mm512_set1_ps(6.0f + 2040.0f);
            offset = _mm512_mask_mov_ps(offset, gIsMax, _mm512_set1_ps(6.0f + 1020.0f));
            offset = _mm512_mask_mov_ps(offset, rIsMax, _mm512_set1_ps(6.0f));
            offset = _mm512_mask_mov_ps(offset, rIsMax & negative, _mm512_set1_ps(6.0f + 3060.0f));
            const __m512 hq =
                _mm512_div_ps(_mm512_fmadd_ps(ps(n), _mm512_set1_ps(510.0f), _mm512_mul_ps(dF, offset)),
                              atLeastOne(_mm512_mul_ps(dF, _mm512_set1_ps(12.0f))));
            h = _mm512_min_epi32(_mm512_cvttps_epi32(hq), byte);
            ties = _mm512_test_epi32_mask(d, d) & (whole(sq) | whole(hq));
            if (Intensity) { // floor((2 (R + G + B) + 3) / 6)
                const __m512i sum = _mm512_add_epi32(_mm512_add_epi32(b, g), r);
                level = _mm512_mulhi_epu16(_mm512_add_epi32(_mm512_add_epi32(sum, sum), _mm512_set1_epi32(3)),
                                           _mm512_set1_epi32(10923));
            }
        } else {
            const __m512i q = _mm512_cvttps_epi32(
                _mm512_div_ps(_mm512_fmadd_ps(ps(_mm512_abs_epi32(n)), _mm512_set1_ps(510.0f), dF),
                              atLeastOne(_mm512_add_ps(dF, dF))));
            __m512i offset = _mm512_set1_epi32(1020);
            offset = _mm512_mask_mov_epi32(offset, gIsMax, _mm512_set1_epi32(510));
            offset = _mm512_mask_mov_epi32(offset, rIsMax, _mm512_set1_epi32(1530));
            const __m512i x =
                _mm512_add_epi32(_mm512_mask_sub_epi32(q, negative, _mm512_setzero_si512(), q), offset);
            // (x * 21846) >> 16 in the low 16 bits of each lane, whose high 16 bits hold 0
            const __m512i third = _mm512_mulhi_epi16(x, _mm512_set1_epi32(21846));
            h = _mm512_and_si512(_mm512_srli_epi32(_mm512_add_epi32(third, _mm512_set1_epi32(1)), 1), byte);
            if (Intensity)
                level =
                    _mm512_mulhi_epi16(_mm512_add_epi32(_mm512_add_epi32(b, g), r), _mm512_set1_epi32(21846));
        }
        return _mm512_ternarylogic_epi32(level, _mm512_slli_epi32(s, 8), _mm512_slli_epi32(h, 16), 0xFE);
    }

    // Two registers of pixels; returns the ties, one bit a pixel.
    template <bool Stream>
    static uint64_t convert(const uint8_t* src, uint8_t* dst)
    {
        __mmask16 first = 0, second = 0;
        V512::store<Stream>(dst, pixels(V512::load(src), first));
        V512::store<Stream>(dst + 64, pixels(V512::load(src + 64), second));
        return first | uint64_t(second) << 16;
    }
};

struct Avx512Passes {
    template <bool Intensity>
    using FromRgb = FromRgb512<Intensity, false>;
    template <bool Intensity>
    using FromRgbRounded = FromRgb512<Intensity, true>;
    template <bool Intensity>
    using Settle = DoublePixels<Intensity>;
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx512, V512, Avx512Passes)
