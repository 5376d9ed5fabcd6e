#include <emmintrin.h>

#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/store.h"

namespace vyr::kernels {
namespace {

// One byte of each of eight pixels (two registers of four) as 16-bit lanes.
template <int Shift>
inline __m128i channel(__m128i first, __m128i second)
{
    const __m128i low = _mm_set1_epi32(0xFF);
    return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(first, Shift), low),
                           _mm_and_si128(_mm_srli_epi32(second, Shift), low));
}

inline __m128i select(__m128i mask, __m128i ifSet, __m128i ifClear)
{
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// ---- RGB8888 to HSV and HSI -------------------------------------------------------------------

// Reciprocal entries of eight 16-bit indices, as two registers of four (no gather in SSE2).
inline void lookUp(__m128i index, __m128i& first, __m128i& second)
{
    alignas(16) uint16_t i[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
    const uint32_t* t = kHexconeReciprocals.entry;
    first = _mm_setr_epi32(int(t[i[0]]), int(t[i[1]]), int(t[i[2]]), int(t[i[3]]));
    second = _mm_setr_epi32(int(t[i[4]]), int(t[i[5]]), int(t[i[6]]), int(t[i[7]]));
}

// (x * w + 2^21) >> 22 for x in the low word of each 32-bit lane and entries of words (low, high):
// x * w = (x * low) << 15 + x * high, both from 16-bit multiply-adds.
inline __m128i timesReciprocal(__m128i x, __m128i entries)
{
    const __m128i byLow = _mm_madd_epi16(x, entries);
    const __m128i byHigh = _mm_madd_epi16(_mm_slli_epi32(x, 16), entries);
    const __m128i product = _mm_add_epi32(_mm_slli_epi32(byLow, 15), byHigh);
    return _mm_srli_epi32(_mm_add_epi32(product, _mm_set1_epi32(1 << 21)), 22);
}

// Eight 16-bit x (0..255) times their entries, back in 16-bit lanes.
inline __m128i timesReciprocal8(__m128i x, __m128i entries0, __m128i entries1)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_packs_epi32(timesReciprocal(_mm_unpacklo_epi16(x, zero), entries0),
                           timesReciprocal(_mm_unpackhi_epi16(x, zero), entries1));
}

// Eight RGB8888 pixels to bytes (V or I), S, H, 0.
template <bool Intensity>
inline void hexcone8(__m128i first, __m128i second, __m128i& out0, __m128i& out1)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i b = channel<0>(first, second);
    const __m128i g = channel<8>(first, second);
    const __m128i r = channel<16>(first, second);
    const __m128i max = _mm_max_epi16(_mm_max_epi16(r, g), b);
    const __m128i d = _mm_sub_epi16(max, _mm_min_epi16(_mm_min_epi16(r, g), b));

    __m128i byMax0, byMax1, byD0, byD1;
    lookUp(max, byMax0, byMax1);
    lookUp(d, byD0, byD1);
    const __m128i s = timesReciprocal8(d, byMax0, byMax1);

    // Sector by the first channel equal to the maximum, in the order R, G, B.
    const __m128i rIsMax = _mm_cmpeq_epi16(r, max);
    const __m128i gIsMax = _mm_cmpeq_epi16(g, max);
    const __m128i n = select(rIsMax, _mm_sub_epi16(g, b),
                             select(gIsMax, _mm_sub_epi16(b, r), _mm_sub_epi16(r, g)));
    const __m128i offset = select(rIsMax, _mm_set1_epi16(1530),
                                  select(gIsMax, _mm_set1_epi16(510), _mm_set1_epi16(1020)));
    const __m128i negative = _mm_cmpgt_epi16(zero, n);
    const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(n, negative), negative);
    const __m128i q = timesReciprocal8(magnitude, byD0, byD1);
    const __m128i x = _mm_add_epi16(_mm_sub_epi16(_mm_xor_si128(q, negative), negative), offset);
    const __m128i third = _mm_mulhi_epi16(x, _mm_set1_epi16(21846));
    const __m128i h = _mm_and_si128(_mm_srli_epi16(_mm_add_epi16(third, _mm_set1_epi16(1)), 1),
                                    _mm_set1_epi16(255));

    __m128i level = max;
    if (Intensity)
        level = _mm_mulhi_epi16(_mm_add_epi16(_mm_add_epi16(b, g), r), _mm_set1_epi16(21846));
    const __m128i low = _mm_or_si128(level, _mm_slli_epi16(s, 8));
    out0 = _mm_unpacklo_epi16(low, h);
    out1 = _mm_unpackhi_epi16(low, h);
}

template <bool Intensity, bool Stream>
void hexconeLoop(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    size_t i = 0;
    // Two blocks per pass.
    for (; i + 8 <= pixels; i += 8) {
        __m128i out0, out1;
        hexcone8<Intensity>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i + 16)), out0, out1);
        store16<Stream>(dst + 4 * i, out0);
        store16<Stream>(dst + 4 * i + 16, out1);
    }
    if (Stream)
        _mm_sfence();
    if (i < pixels) { // one block left
        __m128i out0, out1;
        hexcone8<Intensity>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)),
                            _mm_setzero_si128(), out0, out1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), out0);
    }
}

template <bool Intensity>
void hexconeKernel(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    if (streamable(dst, pixels * 4))
        hexconeLoop<Intensity, true>(src, dst, pixels);
    else
        hexconeLoop<Intensity, false>(src, dst, pixels);
}

// ---- HSV to RGB8888 ---------------------------------------------------------------------------

// (u * 257 + 128) >> 16 for u up to 65025, in 16-bit lanes: floor((256u + u + 128) / 65536)
// = floor((u + floor((u + 128) / 256)) / 256), and no sum leaves 16 bits.
inline __m128i divideBy255(__m128i u)
{
    return _mm_srli_epi16(_mm_add_epi16(u, _mm_srli_epi16(_mm_add_epi16(u, _mm_set1_epi16(128)), 8)), 8);
}

// The ramp of four 32-bit y: (2y + 515 (y >> 15) + ((515 (y & 32767)) >> 15) + 65536) >> 17.
inline __m128i ramp4(__m128i y)
{
    const __m128i by515 = _mm_set1_epi32(515); // words 515, 0: the multiply-adds see one factor
    const __m128i hi = _mm_madd_epi16(_mm_srli_epi32(y, 15), by515);
    const __m128i lo = _mm_srli_epi32(_mm_madd_epi16(_mm_and_si128(y, _mm_set1_epi32(32767)), by515), 15);
    const __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm_add_epi32(y, y), hi), _mm_add_epi32(lo, _mm_set1_epi32(65536)));
    return _mm_srli_epi32(sum, 17);
}

inline void hsvToRgb8(__m128i first, __m128i second, __m128i& out0, __m128i& out1)
{
    const __m128i v = channel<0>(first, second);
    const __m128i s = channel<8>(first, second);
    const __m128i h = channel<16>(first, second);

    // Sector: minus the sum of the all-ones masks of the thresholds exceeded.
    __m128i sector = _mm_setzero_si128();
    sector = _mm_sub_epi16(sector, _mm_cmpgt_epi16(h, _mm_set1_epi16(42)));
    sector = _mm_sub_epi16(sector, _mm_cmpgt_epi16(h, _mm_set1_epi16(84)));
    sector = _mm_sub_epi16(sector, _mm_cmpgt_epi16(h, _mm_set1_epi16(127)));
    sector = _mm_sub_epi16(sector, _mm_cmpgt_epi16(h, _mm_set1_epi16(169)));
    sector = _mm_sub_epi16(sector, _mm_cmpgt_epi16(h, _mm_set1_epi16(212)));
    const __m128i f = _mm_sub_epi16(_mm_mullo_epi16(h, _mm_set1_epi16(6)),
                                    _mm_mullo_epi16(sector, _mm_set1_epi16(255)));
    const __m128i odd = _mm_cmpeq_epi16(_mm_and_si128(sector, _mm_set1_epi16(1)), _mm_set1_epi16(1));
    const __m128i rising = select(odd, f, _mm_sub_epi16(_mm_set1_epi16(255), f));

    const __m128i p = divideBy255(_mm_mullo_epi16(_mm_sub_epi16(_mm_set1_epi16(255), s), v));
    // y = V (65025 - S F'): both factors fit 16 unsigned bits, the product 24.
    const __m128i k = _mm_sub_epi16(_mm_set1_epi16(int16_t(65025)), _mm_mullo_epi16(s, rising));
    const __m128i yLow = _mm_mullo_epi16(v, k);
    const __m128i yHigh = _mm_mulhi_epu16(v, k);
    const __m128i ramp = _mm_min_epi16(_mm_packs_epi32(ramp4(_mm_unpacklo_epi16(yLow, yHigh)),
                                                       ramp4(_mm_unpackhi_epi16(yLow, yHigh))),
                                       _mm_set1_epi16(255));

    auto in = [&](int a, int b) {
        return _mm_or_si128(_mm_cmpeq_epi16(sector, _mm_set1_epi16(int16_t(a))),
                            _mm_cmpeq_epi16(sector, _mm_set1_epi16(int16_t(b))));
    };
    // (R, G, B) by sector: 0 (V, ramp, P), 1 (ramp, V, P), 2 (P, V, ramp), 3 (P, ramp, V),
    // 4 (ramp, P, V), 5 (V, P, ramp); grey (S = 0) is V in all three.
    const __m128i grey = _mm_cmpeq_epi16(s, _mm_setzero_si128());
    const __m128i red = select(_mm_or_si128(grey, in(0, 5)), v, select(in(1, 4), ramp, p));
    const __m128i green = select(_mm_or_si128(grey, in(1, 2)), v, select(in(0, 3), ramp, p));
    const __m128i blue = select(_mm_or_si128(grey, in(3, 4)), v, select(in(2, 5), ramp, p));

    const __m128i blueGreen = _mm_or_si128(blue, _mm_slli_epi16(green, 8));
    out0 = _mm_unpacklo_epi16(blueGreen, red);
    out1 = _mm_unpackhi_epi16(blueGreen, red);
}

template <bool Stream>
void hsvToRgb8888Loop(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; i += 8) {
        __m128i out0, out1;
        hsvToRgb8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)),
                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i + 16)), out0, out1);
        store16<Stream>(dst + 4 * i, out0);
        store16<Stream>(dst + 4 * i + 16, out1);
    }
    if (Stream)
        _mm_sfence();
}

} // namespace

void rgb8888ToHsvSse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    hexconeKernel<false>(src, dst, pixels);
}

void rgb8888ToHsiSse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    hexconeKernel<true>(src, dst, pixels);
}

void hsvToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    if (streamable(dst, pixels * 4))
        hsvToRgb8888Loop<true>(src, dst, pixels);
    else
        hsvToRgb8888Loop<false>(src, dst, pixels);
}

} // namespace vyr::kernels
