#include "convert/kernels/avx512_first.h"

#include "convert/kernels/hexcone_body.h"
#include "convert/kernels/pixels512.h"

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

// ---- HSV (and HSI) to RGB8888, a pixel a 32-bit lane ----------------------------------------------
//
// V, S and H each fill both 16-bit halves of a pixel's lane, so that 16-bit multiplies give a 32-bit
// product (low half, then high half under a mask) and the high halves give P in place. The sector is
// floor(6 H / 255) by one multiply-high, and F' = |6 H - 255 (sector | 1)| (255 - F in the even sectors, F
// in the odd ones). The ramp comes from y = V (65025 - S F') by one single-precision multiply-add, a byte
// in each lane; P replaces H (byte 2), and one two-register byte permute picks B, G and R from V, P and the
// ramp, its indices looked up by sector.
//
// y < 2^24 converts exactly, and the multiply-adds round as their instructions say, whatever the caller's
// rounding mode.
//
// Scalar rule: y / 65025 rounded (never a tie) is floor((y + 32512) / 65025), and
// truncating fl(y r + c), r = fl(1 / 65025), c = fl(32512 r), rounded to nearest, gives it for every y up to
// 255 x 65025 (checked over that whole range; the every-input test checks the kernel).
constexpr float kOver65025 = 1.0f / 65025.0f;
constexpr float kRoundedRampSum = 32512.0f * kOver65025;

// Vector rule: its ramp (2y + 515 (y >> 15) + ((515 (y & 32767)) >> 15) + 65536) >> 17 is
// floor((66051 y + 2^31) / 2^32), the floors of whole numbers plus 515 y / 2^15 folding into one: y 66051 /
// 2^32 + 1/2, which a multiply-add forms exactly (66051 / 2^32 is a float) and rounds down once, to a
// float no lower than its floor (a whole number below 2^24), so its truncation is the ramp. At most 255
// for y up to 255 x 65025.
constexpr float kRampFactor = 66051.0f / 4294967296.0f;

// The sector of every hue byte by the multiply-high (6 for H = 255, which the tables take as 5).
constexpr bool sectorsHold()
{
    for (int h = 0; h < 256; ++h) {
        const int sector = (h > 42) + (h > 84) + (h > 127) + (h > 169) + (h > 212);
        const int high = (h * 1543) >> 16;
        if ((high == 6 ? 5 : high) != sector)
            return false;
    }
    return true;
}
static_assert(sectorsHold(), "sector by multiply-high");

// By sector 0..6: 255 (sector | 1) in both halves, and the byte indices of B, G and R from pixel j's V at
// 4j and P at 4j + 2 of the first permute operand and its ramp at 4j of the second (64 + 4j); j's 4j is
// added after the lookup.
struct ToRgbTables {
    alignas(64) uint32_t odd255[16];
    alignas(64) uint32_t picks[16];
};

constexpr ToRgbTables makeToRgbTables()
{
    ToRgbTables t{};
    const uint32_t v = 0, p = 2, ramp = 64;
    // (R, G, B) by sector: 0 (V, ramp, P), 1 (ramp, V, P), 2 (P, V, ramp), 3 (P, ramp, V), 4 (ramp, P, V),
    // 5 and 6 (V, P, ramp).
    const uint32_t rgb[7][3] = {{v, ramp, p}, {ramp, v, p}, {p, v, ramp}, {p, ramp, v},
                                {ramp, p, v}, {v, p, ramp}, {v, p, ramp}};
    for (int sector = 0; sector < 7; ++sector) {
        t.odd255[sector] = 255 * uint32_t(sector == 6 ? 5 : sector | 1) * 0x10001;
        t.picks[sector] = rgb[sector][2] | rgb[sector][1] << 8 | rgb[sector][0] << 16;
    }
    return t;
}

constexpr ToRgbTables kToRgbTables = makeToRgbTables();

// Bytes (V or I, S, H, X) to RGB8888 in 32-bit lanes: the vector rule, or (Rounded) P and the ramp
// rounded to nearest as the double-precision rule gives them (see HsvToRgb).
template <bool Rounded>
struct ToRgb512 {
    static constexpr size_t kPixels = 16;

    // Byte b of each pixel in both 16-bit halves of its lane.
    static __m512i spread(__m512i p, int b)
    {
        auto at = [b](int lane) { return (4 * lane + b) * 0x10001 | 0x80008000; };
        return _mm512_shuffle_epi8(p, _mm512_set4_epi32(at(3), at(2), at(1), at(0)));
    }

    static __m512i pixels(__m512i p)
    {
        const __m512i v = spread(p, 0), s = spread(p, 1), h = spread(p, 2);
        const __m512i sector = _mm512_mulhi_epu16(h, _mm512_set1_epi16(1543));
        // 6 H by a byte multiply-add, which the compiler keeps as one instruction
        const __m512i f = _mm512_abs_epi16(
            _mm512_sub_epi16(_mm512_maddubs_epi16(h, _mm512_set1_epi16(6)),
                             _mm512_permutexvar_epi32(sector, _mm512_load_si512(kToRgbTables.odd255))));
        // y = V (65025 - S F'), S F' <= 65025; the low half of the product, then the high half
        constexpr __mmask32 kHighHalves = 0xAAAAAAAA;
        const __m512i k =
            _mm512_sub_epi16(_mm512_set1_epi16(int16_t(65025 - 65536)), _mm512_mullo_epi16(s, f));
        const __m512 y =
            _mm512_cvtepi32_ps(_mm512_mask_mulhi_epu16(_mm512_mullo_epi16(v, k), kHighHalves, v, k));
        const __m512i u = _mm512_mullo_epi16(_mm512_sub_epi16(_mm512_set1_epi16(255), s), v); // (255 - S) V
        const __m512i table = _mm512_load_si512(kToRgbTables.picks);
        __m512i ramp, withP, picks;
        if constexpr (Rounded) {
            ramp = _mm512_cvttps_epi32(_mm512_fmadd_round_ps(y, _mm512_set1_ps(kOver65025),
                                                             _mm512_set1_ps(kRoundedRampSum),
                                                             _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
            // u / 255 rounded: floor((u + 128) 257 / 2^16)
            withP = _mm512_mask_mulhi_epu16(p, kHighHalves, _mm512_add_epi16(u, _mm512_set1_epi16(128)),
                                            _mm512_set1_epi16(257));
            picks = _mm512_permutexvar_epi32(sector, table);
        } else {
            ramp = _mm512_cvttps_epi32(_mm512_fmadd_round_ps(y, _mm512_set1_ps(kRampFactor),
                                                             _mm512_set1_ps(0.5f),
                                                             _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
            // (u 257 + 128) >> 16 as divideBy255
            const __m512i t =
                _mm512_add_epi16(u, _mm512_srli_epi16(_mm512_add_epi16(u, _mm512_set1_epi16(128)), 8));
            withP = _mm512_mask_srli_epi16(p, kHighHalves, t, 8);
            // S = 0: grey, V in all three
            picks = _mm512_maskz_permutexvar_epi32(_mm512_test_epi32_mask(s, s), sector, table);
        }
        constexpr int k4 = 0x040404; // 4 in each index byte
        const __m512i lanes = _mm512_set_epi32(15 * k4, 14 * k4, 13 * k4, 12 * k4, 11 * k4, 10 * k4, 9 * k4,
                                               8 * k4, 7 * k4, 6 * k4, 5 * k4, 4 * k4, 3 * k4, 2 * k4, k4, 0);
        return _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, withP, _mm512_add_epi32(picks, lanes), ramp);
    }

    // Whole registers, then the rest through masked loads and stores. Beyond the caches (streaming stores)
    // the source is fetched 2 KiB ahead, since the arithmetic between loads leaves the hardware prefetcher
    // behind (a prefetch past the end of the source does not fault), and a destination aligned to 64 bytes
    // streams a register a store rather than in four 16-byte pieces and three extracts.
    static constexpr size_t kAheadBytes = 2048;

    enum Stores { kPlainStores, kStreamed16, kStreamed64 };

    template <Stores How>
    static void loop(const uint8_t* src, uint8_t* dst, size_t n)
    {
        for (size_t i = 0; i < n; i += kPixels) {
            const __m512i out = pixels(V512::load(src + 4 * i));
            if (How == kPlainStores) {
                V512::store<false>(dst + 4 * i, out);
                continue;
            }
            _mm_prefetch(reinterpret_cast<const char*>(src + 4 * i + kAheadBytes), _MM_HINT_T0);
            if (How == kStreamed64)
                _mm512_stream_si512(reinterpret_cast<__m512i*>(dst + 4 * i), out);
            else
                V512::store<true>(dst + 4 * i, out);
        }
    }

    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t n)
    {
        if (!Stream)
            loop<kPlainStores>(src, dst, n);
        else if ((reinterpret_cast<uintptr_t>(dst) & 63) == 0)
            loop<kStreamed64>(src, dst, n);
        else
            loop<kStreamed16>(src, dst, n);
    }

    static void line(const uint8_t* src, uint8_t* dst, size_t n)
    {
        const size_t whole = n / kPixels * kPixels;
        withStores<ToRgb512>(dst, 4 * n, src, dst, whole);
        if (whole < n) {
            const __mmask16 m = __mmask16((1u << (n - whole)) - 1);
            _mm512_mask_storeu_epi32(dst + 4 * whole, m,
                                     pixels(_mm512_maskz_loadu_epi32(m, src + 4 * whole)));
        }
    }
};

struct Avx512Passes {
    template <bool Intensity>
    using FromRgb = FromRgb512<Intensity, false>;
    template <bool Intensity>
    using FromRgbRounded = FromRgb512<Intensity, true>;
    template <bool Intensity>
    using Settle = DoublePixels<Intensity>;
    template <bool Rounded>
    using ToRgb = ToRgb512<Rounded>;
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx512, V512, Avx512Passes)
