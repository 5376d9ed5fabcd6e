#include "convert/kernels/avx512_first.h"

#include "convert/kernels/hexcone_body.h"

namespace vyr::convert::kernels {
namespace {

// v / 255.0 for every byte v, as the rule divides (division is correctly rounded at compile time too).
struct UnitTable {
    double value[256];
};

constexpr UnitTable unitTable()
{
    UnitTable t{};
    for (int v = 0; v < 256; ++v)
        t.value[v] = v / 255.0;
    return t;
}

constexpr UnitTable kUnits = unitTable();

// The scalar rule of RGB8888 to HSV or HSI (hexcone.h) for eight pixels at once: S and H with every step in
// double precision as the rule takes it, so the same doubles and the same bytes. Of the three quotients
// rc, gc and bc only the two the pixel's sector adds are formed, and 0 + bc is bc. The first byte never
// meets a tie: V is the largest channel and I = floor((2 (R + G + B) + 3) / 6).
template <bool Intensity>
struct DoublePixels {
    // x * 255 + 0.5, limited to 0..255, truncated.
    static __m256i byteOf(__m512d x)
    {
        const __m512d v = _mm512_add_pd(_mm512_mul_pd(x, _mm512_set1_pd(255.0)), _mm512_set1_pd(0.5));
        return _mm512_cvttpd_epi32(
            _mm512_max_pd(_mm512_min_pd(v, _mm512_set1_pd(255.0)), _mm512_setzero_pd()));
    }

    static __m256i pixels(__m256i p)
    {
        auto byte = [p](int shift) {
            return _mm256_and_si256(_mm256_srli_epi32(p, shift), _mm256_set1_epi32(0xFF));
        };
        const __m256i bi = byte(0), gi = byte(8), ri = byte(16);
        auto unit = [](__m256i v) { return _mm512_i32gather_pd(v, kUnits.value, 8); };
        const __m512d b = unit(bi), g = unit(gi), r = unit(ri);
        const __m512d max = _mm512_max_pd(_mm512_max_pd(r, g), b);
        const __m512d min = _mm512_min_pd(_mm512_min_pd(r, g), b);
        const __m512d d = _mm512_sub_pd(max, min);
        const __m512d s =
            _mm512_maskz_div_pd(_mm512_cmp_pd_mask(max, _mm512_setzero_pd(), _CMP_GT_OQ), d, max);
        // Red: bc - gc, green: (2 + rc) - bc, blue: (4 + gc) - rc.
        const __mmask8 rIsMax = _mm512_cmp_pd_mask(r, max, _CMP_EQ_OQ);
        const __mmask8 gIsMax = _mm512_kandn(rIsMax, _mm512_cmp_pd_mask(g, max, _CMP_EQ_OQ));
        __m512d first = _mm512_mask_blend_pd(gIsMax, g, r), second = _mm512_mask_blend_pd(gIsMax, r, b);
        first = _mm512_mask_blend_pd(rIsMax, first, b);
        second = _mm512_mask_blend_pd(rIsMax, second, g);
        __m512d offset = _mm512_mask_blend_pd(gIsMax, _mm512_set1_pd(4.0), _mm512_set1_pd(2.0));
        offset = _mm512_mask_blend_pd(rIsMax, offset, _mm512_setzero_pd());
        const __m512d added = _mm512_add_pd(offset, _mm512_div_pd(_mm512_sub_pd(max, first), d));
        __m512d h = _mm512_sub_pd(added, _mm512_div_pd(_mm512_sub_pd(max, second), d));
        h = _mm512_div_pd(h, _mm512_set1_pd(6.0));
        h = _mm512_mask_add_pd(h, _mm512_cmp_pd_mask(h, _mm512_setzero_pd(), _CMP_LT_OQ), h,
                               _mm512_set1_pd(1.0));
        h = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(s, _mm512_setzero_pd(), _CMP_GT_OQ), h); // grey: hue 0
        __m256i level = _mm256_max_epi32(_mm256_max_epi32(ri, gi), bi);
        if (Intensity) {
            const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(bi, gi), ri);
            level = _mm256_srli_epi32(
                _mm256_mullo_epi32(_mm256_add_epi32(_mm256_add_epi32(sum, sum), _mm256_set1_epi32(3)),
                                   _mm256_set1_epi32(10923)),
                16);
        }
        return _mm256_or_si256(_mm256_or_si256(level, _mm256_slli_epi32(byteOf(s), 8)),
                               _mm256_slli_epi32(byteOf(h), 16));
    }

    // The pixels at the given positions of a run, eight at a time; `at` holds a multiple of eight entries.
    static void settle(const uint8_t* src, uint8_t* dst, const uint16_t* at, size_t count)
    {
        for (size_t i = 0; i < count; i += 8) {
            const __mmask8 live = count - i >= 8 ? 0xFF : __mmask8((1u << (count - i)) - 1);
            const __m256i index =
                _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(at + i)));
            const __m256i p = _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), live, index, src, 4);
            _mm256_mask_i32scatter_epi32(dst, live, index, pixels(p), 4);
        }
    }
};

// ---- RGB8888 to HSV and HSI in 16-bit lanes, 32 pixels a register ----------------------------------------
//
// Both rules divide only by channel values n = 1..255 (the largest channel or the difference d), with x
// at most n: the quotients are x * 255 / n rounded or floored. A multiply-high by a 16-bit reciprocal
// C = 65280 / n (rounded, or rounded up) gives mulhi(256 x, C) = floor(x C / 256) = floor(x * 255 / n + e)
// with |e| <= x / 512 < 1/2 (rounded C), or 0 <= e < x / 256 < 1 (rounded-up C): one step off at most,
// and the remainder, small enough for 16-bit lanes whatever the products wrap to, says which way.

// 65280 / n as 16-bit words for n = 0..255, rounded to nearest or up; 0 for n = 0.
struct Reciprocals16 {
    alignas(64) uint16_t entry[256];
};

constexpr Reciprocals16 reciprocals16(bool up)
{
    Reciprocals16 table{};
    for (uint32_t n = 1; n < 256; ++n)
        table.entry[n] = uint16_t(up ? (65280 + n - 1) / n : (2 * 65280 + n) / (2 * n));
    return table;
}

constexpr Reciprocals16 kNearestReciprocals = reciprocals16(false);
constexpr Reciprocals16 kUpperReciprocals = reciprocals16(true);

// Entry n of a 256-word table for 16-bit lanes n = 0..255: four two-register lookups of 64 words,
// chosen by bits 6 and 7.
inline __m512i lookup16(const Reciprocals16& table, __m512i n)
{
    auto part = [&](int k) {
        return _mm512_permutex2var_epi16(_mm512_load_si512(table.entry + 64 * k), n,
                                         _mm512_load_si512(table.entry + 64 * k + 32));
    };
    const __mmask32 bit6 = _mm512_test_epi16_mask(n, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(n, _mm512_set1_epi16(128));
    return _mm512_mask_blend_epi16(bit7, _mm512_mask_blend_epi16(bit6, part(0), part(1)),
                                   _mm512_mask_blend_epi16(bit6, part(2), part(3)));
}

// x * 255 / n for 0 <= x <= n <= 255 by the rounded reciprocal: q0, the quotient rounded half up or one less,
// and twice the remainder 255 x - n q0. As x * 255 / n - q0 lies between -1/2 and 3/2, twice the remainder
// lies between -n and 3n, in 16 bits whatever the products wrap to; the rounded quotient is one more than q0
// where it is at least n, and the quotient is whole plus a half where it equals n. For n = 0, q0 = 0 and
// the remainder is 0.
struct NearestQuotient {
    __m512i q0, twice;
    NearestQuotient(__m512i x, __m512i n)
    {
        const __m512i x256 = _mm512_slli_epi16(x, 8);
        q0 = _mm512_mulhi_epu16(x256, lookup16(kNearestReciprocals, n));
        const __m512i remainder = _mm512_sub_epi16(_mm512_sub_epi16(x256, x), _mm512_mullo_epi16(n, q0));
        twice = _mm512_add_epi16(remainder, remainder);
    }
    // Rounded half up in the lanes of `valid`.
    __m512i rounded(__m512i n, __mmask32 valid) const
    {
        return _mm512_mask_add_epi16(q0, _mm512_mask_cmpge_epi16_mask(valid, twice, n), q0,
                                     _mm512_set1_epi16(1));
    }
};

// x * 255 / n for signed 16-bit lanes -n <= x <= n <= 255: q, within one step of it, and the remainder
// 255 x - n q, between -n and n exclusive; floor(x * 255 / n) is q less one where the remainder is negative,
// and the quotient is whole where it is 0. For n = 0, q = 0 and the remainder is 0.
struct UpperQuotient {
    __m512i q, remainder;
    UpperQuotient(__m512i x, __m512i n, __mmask32 negative)
    {
        const __m512i q0 =
            _mm512_mulhi_epu16(_mm512_slli_epi16(_mm512_abs_epi16(x), 8), lookup16(kUpperReciprocals, n));
        q = _mm512_mask_sub_epi16(q0, negative, _mm512_setzero_si512(), q0);
        remainder = _mm512_sub_epi16(_mm512_mullo_epi16(x, _mm512_set1_epi16(255)), _mm512_mullo_epi16(n, q));
    }
};

// Byte indices of two registers of 32 pixels: a channel to 16-bit lanes, and 16-bit lanes back to pixels.
struct PixelBytes {
    alignas(64) uint8_t channel[3][64];
    alignas(64) uint8_t pixels[2][64];
};

constexpr PixelBytes pixelBytes()
{
    PixelBytes t{};
    for (int i = 0; i < 32; ++i)
        for (int c = 0; c < 3; ++c)
            t.channel[c][2 * i] = uint8_t(4 * i + c);
    for (int i = 0; i < 32; ++i) {
        uint8_t* pixel = &t.pixels[i / 16][4 * (i % 16)];
        pixel[0] = uint8_t(2 * i);
        pixel[1] = uint8_t(2 * i + 1);
        pixel[2] = uint8_t(64 + 2 * i);
    }
    return t;
}

constexpr PixelBytes kPixelBytes = pixelBytes();

alignas(64) constexpr uint16_t kPositions[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                                 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

// RGB8888 to HSV or HSI, the vector rule or (Rounded) the scalar rule with its ties.
template <bool Intensity, bool Rounded>
struct FromRgb512 {
    static constexpr size_t kPixels = 32;

    // Byte c of each pixel of two registers as 16-bit lanes, in order.
    static __m512i channel(__m512i first, __m512i second, int c)
    {
        return _mm512_maskz_permutex2var_epi8(0x5555555555555555ull, first,
                                              _mm512_load_si512(kPixelBytes.channel[c]), second);
    }

    // Pixels 16 * half .. 16 * half + 15 from the low two bytes of the lanes of `low` and the low byte of
    // those of `third`; byte 3 zero.
    static __m512i pixels(__m512i low, __m512i third, int half)
    {
        return _mm512_maskz_permutex2var_epi8(0x7777777777777777ull, low,
                                              _mm512_load_si512(kPixelBytes.pixels[half]), third);
    }

    // A streaming store takes the whole register where the destination allows (a frame's lines usually do).
    template <bool Stream>
    static void store(uint8_t* dst, __m512i v)
    {
        if (Stream && (reinterpret_cast<uintptr_t>(dst) & 63) == 0)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(dst), v);
        else
            V512::store<Stream>(dst, v);
    }

    // 32 pixels; returns the ties, one bit a pixel (none for the vector rule).
    template <bool Stream>
    static uint64_t convert(const uint8_t* src, uint8_t* dst)
    {
        const __m512i first = V512::load(src), second = V512::load(src + 64);
        const __m512i b = channel(first, second, 0), g = channel(first, second, 1),
                      r = channel(first, second, 2);
        const __m512i max = _mm512_max_epu16(_mm512_max_epu16(r, g), b);
        const __m512i d = _mm512_sub_epi16(max, _mm512_min_epu16(_mm512_min_epu16(r, g), b));
        // The sector by the first channel equal to the largest, in the order R, G, B, and its numerator.
        const __mmask32 rIsMax = _mm512_cmpeq_epi16_mask(r, max), gIsMax = _mm512_cmpeq_epi16_mask(g, max);
        __m512i n = _mm512_sub_epi16(r, g);
        n = _mm512_mask_sub_epi16(n, gIsMax, b, r);
        n = _mm512_mask_sub_epi16(n, rIsMax, g, b);
        const __mmask32 negative = _mm512_movepi16_mask(n);
        const __mmask32 lit = _mm512_test_epi16_mask(max, max);
        const __m512i sum = _mm512_add_epi16(_mm512_add_epi16(b, g), r);
        __m512i s, h, level = max;
        uint64_t ties = 0;
        if constexpr (Rounded) {
            // S = floor(255 d / max + 1/2), a tie where that is whole plus a half.
            const NearestQuotient sq(d, max);
            s = sq.rounded(max, lit);
            const __mmask32 sTies = _mm512_mask_cmpeq_epi16_mask(lit, sq.twice, max);
            // H = floor(X / 6) for X = floor(255 n / d) + 3 + 255 k, k = 0 (red, n >= 0), 6 (red, n < 0),
            // 2 (green) or 4 (blue): at most 1532. A tie where 255 n / d is whole and 6 divides X.
            const UpperQuotient hq(n, d, negative);
            __m512i offset = _mm512_set1_epi16(3 + 1020);
            offset = _mm512_mask_mov_epi16(offset, gIsMax, _mm512_set1_epi16(3 + 510));
            offset = _mm512_mask_mov_epi16(offset, rIsMax, _mm512_set1_epi16(3));
            offset = _mm512_mask_mov_epi16(offset, rIsMax & negative, _mm512_set1_epi16(3 + 1530));
            const __m512i x =
                _mm512_add_epi16(_mm512_add_epi16(hq.q, _mm512_srai_epi16(hq.remainder, 15)), offset);
            h = _mm512_mulhi_epu16(x, _mm512_set1_epi16(10923));
            const __mmask32 hTies =
                _mm512_mask_cmpeq_epi16_mask(_mm512_testn_epi16_mask(hq.remainder, hq.remainder),
                                             _mm512_mullo_epi16(h, _mm512_set1_epi16(6)), x);
            ties = sTies | hTies;
            if (Intensity) // floor((2 (R + G + B) + 3) / 6)
                level = _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_add_epi16(sum, sum), _mm512_set1_epi16(3)),
                                           _mm512_set1_epi16(10923));
        } else {
            // Grey (d = 0) gives Q = 1 rather than 0: the same hue, x = 1530 or 1531 giving 255 either way.
            s = NearestQuotient(d, max).rounded(max, lit);
            const __m512i q0 = NearestQuotient(_mm512_abs_epi16(n), d).rounded(d, ~__mmask32(0));
            const __m512i q = _mm512_mask_sub_epi16(q0, negative, _mm512_setzero_si512(), q0);
            __m512i offset = _mm512_set1_epi16(1020);
            offset = _mm512_mask_mov_epi16(offset, gIsMax, _mm512_set1_epi16(510));
            offset = _mm512_mask_mov_epi16(offset, rIsMax, _mm512_set1_epi16(1530));
            const __m512i third = _mm512_mulhi_epi16(_mm512_add_epi16(q, offset), _mm512_set1_epi16(21846));
            h = _mm512_srli_epi16(_mm512_add_epi16(third, _mm512_set1_epi16(1)),
                                  1); // modulo 256: the low byte
            if (Intensity)
                level = _mm512_mulhi_epi16(sum, _mm512_set1_epi16(21846));
        }
        const __m512i low = _mm512_or_si512(level, _mm512_slli_epi16(s, 8));
        store<Stream>(dst, pixels(low, h, 0));
        store<Stream>(dst + 64, pixels(low, h, 1));
        return ties;
    }
};

// The scalar rule's kernel: passes of FromRgb512 whose ties are listed branch-free, a stretch of the line
// at a time, then settled by DoublePixels (after the stretch's streaming stores are done).
template <bool Intensity>
struct RoundedLine512 {
    using Pass = FromRgb512<Intensity, true>;
    static constexpr size_t kStretch = 1024; // pixels; positions within it fit 16 bits

    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        alignas(64) uint16_t at[kStretch + 32];
        for (size_t start = 0; start < pixels; start += kStretch) {
            const size_t end = pixels - start < kStretch ? pixels : start + kStretch;
            size_t count = 0;
            __m512i position = _mm512_load_si512(kPositions);
            for (size_t i = start; i < end; i += Pass::kPixels) {
                const __mmask32 ties = __mmask32(Pass::template convert<Stream>(src + 4 * i, dst + 4 * i));
                _mm512_storeu_si512(at + count, _mm512_maskz_compress_epi16(ties, position));
                count += size_t(__builtin_popcount(ties));
                position = _mm512_add_epi16(position, _mm512_set1_epi16(Pass::kPixels));
            }
            if (count == 0)
                continue;
            _mm512_storeu_si512(at + count, _mm512_setzero_si512()); // a whole last eight
            if (Stream)
                _mm_sfence();
            if (getenv("NOSETTLE") == nullptr)
                DoublePixels<Intensity>::settle(src + 4 * start, dst + 4 * start, at, count);
        }
    }

    static void line(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        const size_t whole = pixels / Pass::kPixels * Pass::kPixels;
        withStores<RoundedLine512>(dst, 4 * pixels, src, dst, whole);
        if (whole < pixels) {
            alignas(64) uint8_t in[4 * Pass::kPixels] = {};
            alignas(64) uint8_t out[4 * Pass::kPixels];
            __builtin_memcpy(in, src + 4 * whole, 4 * (pixels - whole));
            run<false>(in, out, Pass::kPixels);
            __builtin_memcpy(dst + 4 * whole, out, 4 * (pixels - whole));
        }
    }
};

struct Avx512Passes {
    template <bool Intensity>
    using FromRgb = FromRgb512<Intensity, false>;
    template <bool Intensity>
    using RoundedLine = RoundedLine512<Intensity>;
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx512, V512, Avx512Passes)
