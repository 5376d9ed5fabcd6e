#include "convert/kernels/avx512_first.h"

#include "convert/kernels/hexcone_body.h"
#include "convert/kernels/pixels512.h"

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

    // The pixels at the given positions of a run, eight at a time; `at` is readable to a whole eight.
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

// ---- RGB8888 to HSV and HSI: 64 pixels a pass, channels in bytes, quotients in 16-bit lanes ---------------
//
// Both rules divide only by channel values n = 1..255 (the largest channel or the difference d), with x
// at most n: the quotients are x * 255 / n rounded or floored. A multiply-high by a 16-bit reciprocal
// C = 65280 / n (rounded, or rounded up) gives mulhi(256 x, C) = floor(x C / 256) = floor(x * 255 / n + e)
// with |e| <= x / 512 < 1/2 (rounded C), or 0 <= e < x / 256 < 1 (rounded-up C): one step off at most,
// and the remainder, small enough for 16-bit lanes whatever the products wrap to, says which way.
//
// Layout: the bytes of a channel of 64 pixels sit in the order that unpacking them to 16-bit lanes (low
// and high halves of each 128-bit lane, two registers) and those again to 32-bit lanes gives the pixels
// back in order: byte o of 128-bit lane k is pixel 16 (o / 4) + 4 k + o % 4.

// 65280 / n for n = 0..255, rounded to nearest or up, 0 for n = 0, as low bytes and high bytes; the high
// byte is 1 from n = 128 on, so only its first 128 are kept.
struct Reciprocals8 {
    alignas(64) uint8_t low[256];
    alignas(64) uint8_t high[128];
};

constexpr Reciprocals8 reciprocals8(bool up)
{
    Reciprocals8 table{};
    for (uint32_t n = 1; n < 256; ++n) {
        const uint32_t c = up ? (65280 + n - 1) / n : (2 * 65280 + n) / (2 * n);
        table.low[n] = uint8_t(c);
        if (n < 128)
            table.high[n] = uint8_t(c >> 8);
    }
    return table;
}

constexpr Reciprocals8 kNearestReciprocals = reciprocals8(false);
constexpr Reciprocals8 kUpperReciprocals = reciprocals8(true);

// A plane of 64 bytes as two registers of 16-bit lanes in the layout above.
struct Words {
    __m512i w[2];
};

inline Words widened(__m512i bytes)
{
    return {{_mm512_unpacklo_epi8(bytes, _mm512_setzero_si512()),
             _mm512_unpackhi_epi8(bytes, _mm512_setzero_si512())}};
}

inline Words times256(__m512i bytes)
{
    return {{_mm512_unpacklo_epi8(_mm512_setzero_si512(), bytes),
             _mm512_unpackhi_epi8(_mm512_setzero_si512(), bytes)}};
}

// Entry n of a reciprocal table for bytes n, as 16-bit lanes: three two-register byte lookups.
inline Words reciprocalsOf(const Reciprocals8& table, __m512i n)
{
    const __mmask64 high = _mm512_movepi8_mask(n);
    __m512i low = _mm512_mask2_permutex2var_epi8(_mm512_load_si512(table.low), n, _knot_mask64(high),
                                                 _mm512_load_si512(table.low + 64));
    low = _mm512_mask2_permutex2var_epi8(_mm512_load_si512(table.low + 128), low, high,
                                         _mm512_load_si512(table.low + 192));
    const __m512i top = _mm512_mask_mov_epi8(
        _mm512_permutex2var_epi8(_mm512_load_si512(table.high), n, _mm512_load_si512(table.high + 64)), high,
        _mm512_set1_epi8(1));
    return {{_mm512_unpacklo_epi8(low, top), _mm512_unpackhi_epi8(low, top)}};
}

// x * 255 / n for 0 <= x <= n <= 255 (x256 = 256 x, c the rounded reciprocal of n): q0, the quotient rounded
// half up or one less, and twice the remainder 255 x - n q0. As x * 255 / n - q0 lies between -1/2 and 3/2,
// twice the remainder lies between -n and 3n; the rounded quotient is one more than q0 where it is at least
// n, and the quotient is whole plus a half where it equals n. For n = 0, q0 = 0 and the remainder is 0.
struct NearestQuotient {
    __m512i q0, twice;
    NearestQuotient(__m512i x, __m512i x256, __m512i n, __m512i c)
    {
        q0 = _mm512_mulhi_epu16(x256, c);
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

// Byte indices: a channel's plane from four registers of pixels (two lookups, o < 8 and o >= 8), and the
// pixel number of each 16-bit lane of the two registers of widened planes.
struct PixelOrder {
    alignas(64) uint8_t channel[3][64];
    alignas(64) uint16_t pixel[2][32];
};

constexpr PixelOrder pixelOrder()
{
    PixelOrder t{};
    for (int k = 0; k < 4; ++k)
        for (int o = 0; o < 16; ++o)
            for (int c = 0; c < 3; ++c)
                t.channel[c][16 * k + o] = uint8_t(64 * (o / 4 % 2) + 16 * k + 4 * (o % 4) + c);
    for (int half = 0; half < 2; ++half)
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 8; ++j)
                t.pixel[half][8 * k + j] = uint16_t(16 * (2 * half + j / 4) + 4 * k + j % 4);
    return t;
}

constexpr PixelOrder kPixelOrder = pixelOrder();

// Where the scalar rule's kernel lists the positions of its ties.
struct TieList {
    uint16_t* at;
    size_t count;
};

// RGB8888 to HSV or HSI, the vector rule or (Rounded) the scalar rule, its ties listed.
//
// Hue: the vector rule takes x = 510 k + Q (Q signed, k = 3, 1, 2 for red, green, blue) to
// (((x * 21846) >> 16) + 1) >> 1 modulo 256; for 0 < x < 1786, (x * 21846) >> 16 = floor(x / 3), so the hue
// is 85 k + floor((Q + 3) / 6) modulo 256. The scalar rule's floor(X / 6) for X = F + 3 + 255 k, with
// F = floor(255 n / d) and k = 0 (red, n >= 0), 6 (red, n < 0), 2 (green) or 4 (blue), is
// 85 k / 2 + floor((F + 3) / 6).
template <bool Intensity, bool Rounded>
struct FromRgb512 {
    static constexpr size_t kPixels = 64;

    static __m512i channel(const __m512i (&in)[4], int c)
    {
        const __m512i index = _mm512_load_si512(kPixelOrder.channel[c]);
        const __m512i low = _mm512_mask2_permutex2var_epi8(in[0], index, 0x00FF00FF00FF00FFull, in[1]);
        return _mm512_mask2_permutex2var_epi8(in[2], low, 0xFF00FF00FF00FF00ull, in[3]);
    }

    // 64 pixels; the scalar rule lists its ties from position `first` on. Beyond the caches (streaming
    // stores) the source is fetched ahead.
    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst, TieList* ties = nullptr, uint16_t first = 0)
    {
        const __m512i in[4] = {V512::load(src), V512::load(src + 64), V512::load(src + 128),
                               V512::load(src + 192)};
        if (Stream)
            fetchAhead<256>(src);
        const __m512i b = channel(in, 0), g = channel(in, 1), r = channel(in, 2);
        const __m512i max = _mm512_max_epu8(_mm512_max_epu8(r, g), b);
        const __m512i d = _mm512_sub_epi8(max, _mm512_min_epu8(_mm512_min_epu8(r, g), b));
        // The sector by the first channel equal to the largest, in the order R, G, B; its numerator is
        // plus - minus: G - B, B - R or R - G.
        const __mmask64 rIsMax = _mm512_cmpeq_epi8_mask(r, max), gIsMax = _mm512_cmpeq_epi8_mask(g, max);
        const __m512i plus = _mm512_mask_blend_epi8(rIsMax, _mm512_mask_blend_epi8(gIsMax, r, b), g);
        const __m512i minus = _mm512_mask_blend_epi8(rIsMax, _mm512_mask_blend_epi8(gIsMax, g, r), b);
        const __m512i magnitude = _mm512_sub_epi8(_mm512_max_epu8(plus, minus), _mm512_min_epu8(plus, minus));
        const __m512i negative = _mm512_movm_epi8(_mm512_cmplt_epu8_mask(plus, minus)); // 0xFF or 0

        const Words maxW = widened(max), dW = widened(d), d256 = times256(d);
        const Words nW = widened(magnitude), n256 = times256(magnitude);
        const Words signW = {
            {_mm512_unpacklo_epi8(negative, negative), _mm512_unpackhi_epi8(negative, negative)}};
        const Words byMax = reciprocalsOf(kNearestReciprocals, max);
        const Words byD = reciprocalsOf(Rounded ? kUpperReciprocals : kNearestReciprocals, d);
        auto signed16 = [&](__m512i v, int w) {
            return _mm512_sub_epi16(_mm512_xor_si512(v, signW.w[w]), signW.w[w]);
        };

        __m512i sW[2], hW[2], levelW[2];
        __mmask32 tieW[2];
        for (int w = 0; w < 2; ++w) {
            const __mmask32 lit = _mm512_test_epi16_mask(maxW.w[w], maxW.w[w]);
            const NearestQuotient sq(dW.w[w], d256.w[w], maxW.w[w], byMax.w[w]);
            sW[w] = sq.rounded(maxW.w[w], lit);
            if (Rounded) {
                // F = q + (remainder < 0 ? -1 : 0) with q = sign * q0 and the remainder 255 n - d q; X + 258.
                const __m512i q0 = _mm512_mulhi_epu16(n256.w[w], byD.w[w]);
                const __m512i unsignedRemainder =
                    _mm512_sub_epi16(_mm512_sub_epi16(n256.w[w], nW.w[w]), _mm512_mullo_epi16(dW.w[w], q0));
                const __m512i f =
                    _mm512_add_epi16(signed16(q0, w), _mm512_srai_epi16(signed16(unsignedRemainder, w), 15));
                const __m512i t = _mm512_add_epi16(f, _mm512_set1_epi16(3 + 258));
                hW[w] = _mm512_mulhi_epu16(t, _mm512_set1_epi16(10923)); // floor((F + 3) / 6) + 43
                const __mmask32 whole = _mm512_testn_epi16_mask(unsignedRemainder, unsignedRemainder);
                tieW[w] =
                    _mm512_mask_cmpeq_epi16_mask(lit, sq.twice, maxW.w[w]) |
                    _mm512_mask_cmpeq_epi16_mask(whole, _mm512_mullo_epi16(hW[w], _mm512_set1_epi16(6)), t);
            } else {
                // Grey (d = 0) gives Q = 1 rather than 0: floor((Q + 3) / 6) is 0 either way.
                const __m512i q =
                    NearestQuotient(nW.w[w], n256.w[w], dW.w[w], byD.w[w]).rounded(dW.w[w], ~__mmask32(0));
                // floor((Q + 3) / 6), or -floor((Q + 2) / 6) = floor((3 - Q) / 6) where negative
                const __m512i t = _mm512_add_epi16(q, _mm512_add_epi16(signW.w[w], _mm512_set1_epi16(3)));
                hW[w] = signed16(_mm512_mulhi_epu16(t, _mm512_set1_epi16(10923)), w);
            }
            if (Intensity) {
                // B + G by one multiply-add of byte pairs, then R.
                const __m512i blueGreen = w == 0 ? _mm512_unpacklo_epi8(b, g) : _mm512_unpackhi_epi8(b, g);
                const __m512i sum =
                    _mm512_add_epi16(_mm512_maddubs_epi16(blueGreen, _mm512_set1_epi8(1)), widened(r).w[w]);
                levelW[w] = Rounded // floor((2 (R + G + B) + 3) / 6), or the sum times 21846 >> 16
                                ? _mm512_mulhi_epu16(
                                      _mm512_add_epi16(_mm512_add_epi16(sum, sum), _mm512_set1_epi16(3)),
                                      _mm512_set1_epi16(10923))
                                : _mm512_mulhi_epi16(sum, _mm512_set1_epi16(21846));
            }
        }
        if (Rounded) {
            for (int w = 0; w < 2; ++w) {
                const __m512i at = _mm512_add_epi16(_mm512_set1_epi16(int16_t(first)),
                                                    _mm512_load_si512(kPixelOrder.pixel[w]));
                _mm512_storeu_si512(ties->at + ties->count, _mm512_maskz_compress_epi16(tieW[w], at));
                ties->count += size_t(__builtin_popcount(tieW[w]));
            }
        }

        // The hue's sector part in bytes: 85 k modulo 256 (vector), 85 k / 2 - 43 (scalar).
        __m512i offset = _mm512_set1_epi8(char(Rounded ? 170 - 43 : 170));
        offset = _mm512_mask_mov_epi8(offset, gIsMax, _mm512_set1_epi8(char(Rounded ? 85 - 43 : 85)));
        offset = _mm512_mask_mov_epi8(offset, rIsMax, _mm512_set1_epi8(char(Rounded ? 256 - 43 : 255)));
        if (Rounded)
            offset = _mm512_mask_mov_epi8(offset, _mm512_movepi8_mask(negative) & rIsMax,
                                          _mm512_set1_epi8(char(255 - 43)));
        const __m512i h = _mm512_add_epi8(offset, _mm512_packs_epi16(hW[0], hW[1]));
        const __m512i s = _mm512_packus_epi16(sW[0], sW[1]);
        const __m512i level = Intensity ? _mm512_packus_epi16(levelW[0], levelW[1]) : max;

        const __m512i low[2] = {_mm512_unpacklo_epi8(level, s), _mm512_unpackhi_epi8(level, s)};
        const __m512i third[2] = {_mm512_unpacklo_epi8(h, _mm512_setzero_si512()),
                                  _mm512_unpackhi_epi8(h, _mm512_setzero_si512())};
        for (int w = 0; w < 2; ++w) {
            V512::store<Stream>(dst + 128 * w, _mm512_unpacklo_epi16(low[w], third[w]));
            V512::store<Stream>(dst + 128 * w + 64, _mm512_unpackhi_epi16(low[w], third[w]));
        }
    }
};

// The scalar rule's kernel: passes of FromRgb512 whose ties are listed branch-free, a stretch of the line
// at a time, then settled by DoublePixels (after the stretch's streaming stores are done).
template <bool Intensity>
struct RoundedLine512 {
    using Pass = FromRgb512<Intensity, true>;
    static constexpr size_t kStretch = 2048; // pixels; positions within it fit 16 bits

    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        alignas(64) uint16_t at[kStretch + 32];
        for (size_t start = 0; start < pixels; start += kStretch) {
            const size_t end = pixels - start < kStretch ? pixels : start + kStretch;
            TieList ties{at, 0};
            for (size_t i = start; i < end; i += Pass::kPixels)
                Pass::template convert<Stream>(src + 4 * i, dst + 4 * i, &ties, uint16_t(i - start));
            if (ties.count == 0)
                continue;
            _mm512_storeu_si512(at + ties.count, _mm512_setzero_si512()); // a whole last eight
            if (Stream)
                _mm_sfence();
            DoublePixels<Intensity>::settle(src + 4 * start, dst + 4 * start, at, ties.count);
        }
    }

    static void line(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        runWholeThenRest<RoundedLine512, Pass::kPixels>(src, dst, pixels);
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
// 255 x 65025: y r + c is exact in double precision (y r takes at most 48 bits, from 2^-39 to 2^8, and c lies
// on that grid), so the multiply-add rounds it once. The every-input test checks every y an input reaches.
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

    // Whole registers, then the rest through masked loads and stores; beyond the caches (streaming stores)
    // the source is fetched ahead.
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t n)
    {
        for (size_t i = 0; i < n; i += kPixels) {
            const __m512i out = pixels(V512::load(src + 4 * i));
            if (Stream)
                fetchAhead<64>(src + 4 * i);
            V512::store<Stream>(dst + 4 * i, out);
        }
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
    using RoundedLine = RoundedLine512<Intensity>;
    template <bool Rounded>
    using ToRgb = ToRgb512<Rounded>;
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx512, V512, Avx512Passes)
