// The YUV equations on 16-bit lanes, and the loops and stores of the YUV kernels, written once over the
// register vocabulary of vec.h.
//
// YUV to RGB: Y * 2^14 is a whole multiple of 2^14, so (Y * 2^14 + t) >> 14 = Y + (t >> 14) and
// each channel is Y plus a chroma offset. With 4u and 4v in 16-bit lanes the high half of a
// 16 x 16 product is (4u * c) >> 16 = (u * c) >> 14, and a multiply-add of the pair gives the green
// sum exactly before its shift: bit-identical to the 32-bit equations.
//
// RGB to YUV: the weighted sums need 32 bits (multiply-add of 16-bit pairs); the chroma rules then
// work on 16-bit lanes, where every colour difference fits.
#pragma once

#include <algorithm>
#include <array>
#include <type_traits>

#include "convert/kernels/passes.h"
#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"
#if defined(__AVX512VBMI__)
#include "convert/kernels/pixels512.h"
#endif

namespace vyr::convert::kernels {
namespace {

// A register of constant bytes (of a constexpr array: the compiler folds the load).
template <class W, size_t N>
inline typename W::V constant(const std::array<int8_t, N>& bytes)
{
    static_assert(N == W::kBytes, "one register of bytes");
    return W::load(reinterpret_cast<const uint8_t*>(bytes.data()));
}

template <size_t N>
constexpr std::array<int8_t, 2 * N> join(const std::array<int8_t, N>& a, const std::array<int8_t, N>& b)
{
    std::array<int8_t, 2 * N> out{};
    for (size_t i = 0; i < N; ++i) {
        out[i] = a[i];
        out[N + i] = b[i];
    }
    return out;
}

// acc + W::madd16(a, b) in 32-bit lanes: one instruction with AVX-512 VNNI.
template <class W>
inline typename W::V maddAdd16(typename W::V acc, typename W::V a, typename W::V b)
{
    return W::add32(acc, W::madd16(a, b));
}
#if defined(__AVX512VNNI__)
template <>
inline __m512i maddAdd16<V512>(__m512i acc, __m512i a, __m512i b)
{
    return _mm512_dpwssd_epi32(acc, a, b);
}
#endif

// ---- Loops -------------------------------------------------------------------------------------------

// A step that writes only some bytes of its destination (Step::kKeeps) reads it first.
template <class Step, class = void>
struct KeepsBytes : std::false_type {
};
template <class Step>
struct KeepsBytes<Step, std::void_t<decltype(Step::kKeeps)>> : std::bool_constant<Step::kKeeps> {
};

// Steps of 16-byte registers: Step::kSrcStep source and Step::kDstStep destination bytes each,
// converted by step.convert<W, Stream>(src, dst) on a width W, Wide::kBytes / 16 steps at a time and
// the rest one at a time with V128. Beyond the caches the hardware prefetcher falls behind the loads of
// a step that reads more than it writes (the lumas, the encoders: RGB888 to YUY2 on a frame 1.1-1.4
// times as fast when the source is fetched a page ahead), and of one that writes twice what it reads or
// more (on long runs: Y411 and 4:2:2 to RGB8888 1.1-1.3 times; in the cache the fetches cost 5-10%, and
// 4:2:2 to RGB888 loses 5% on a frame with them).
template <class Wide, class Step>
struct Walk {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t steps, const Step& step, bool longRun)
    {
        constexpr size_t k = Wide::kBytes / 16;
        constexpr bool kReadsMore = Step::kSrcStep > Step::kDstStep;
        const bool fetch = kReadsMore || (longRun && Step::kDstStep >= 2 * Step::kSrcStep);
        size_t i = 0;
        for (; i + k <= steps; i += k) {
            if (fetch)
                fetchAhead<k * Step::kSrcStep, kPageAhead, true>(src + i * Step::kSrcStep);
            step.template convert<Wide, Stream>(src + i * Step::kSrcStep, dst + i * Step::kDstStep);
        }
        for (; i < steps; ++i)
            step.template convert<V128, Stream>(src + i * Step::kSrcStep, dst + i * Step::kDstStep);
    }
};

// Streaming stores where the line allows them (store.h), or where it is a long run (LongRunsStream); a
// step that keeps destination bytes (KeepFourth) takes the choice as the line's size and never streams.
template <class Wide, class Step>
inline void walk(const uint8_t* src, uint8_t* dst, size_t steps, const Step& step, size_t pixels)
{
    const size_t bytes = steps * std::max(Step::kSrcStep, Step::kDstStep);
    withStores<Walk<Wide, Step>>(dst, lineBytes<Step, false>(bytes, pixels), src, dst, steps, step,
                                 pixels >= kStreamingPixels);
}

// ---- YUV to RGB ------------------------------------------------------------------------------------

// 4 * (b - 128) in 16-bit lanes, b being the low or the high byte of each lane.
template <class W>
inline typename W::V lowByteTimes4(typename W::V x)
{
    return W::template srai16<6>(W::xor_(W::template slli16<8>(x), W::set16(-32768)));
}
template <class W>
inline typename W::V highByteTimes4(typename W::V x)
{
    return W::template srai16<6>(W::xor_(W::and_(x, W::set16(-256)), W::set16(-32768)));
}

// A byte shuffle doing the same in every 32-bit lane: byte i of a lane takes byte B_i of it (0x80, a
// 0, for B_i < 0). 64 bytes, for every register width.
template <int B0, int B1, int B2, int B3>
constexpr std::array<int8_t, 64> inEachLane32()
{
    const int from[4] = {B0, B1, B2, B3};
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 64; ++i)
        m[i] = int8_t(from[i % 4] < 0 ? -128 : i % 16 / 4 * 4 + from[i % 4]);
    return m;
}
template <int B0, int B1, int B2, int B3>
constexpr std::array<int8_t, 64> kInEachLane32 = inEachLane32<B0, B1, B2, B3>();

template <class W, int B0, int B1, int B2, int B3>
inline typename W::V shuffleEachLane32(typename W::V x)
{
    return W::shuffle8(x, W::load(reinterpret_cast<const uint8_t*>(kInEachLane32<B0, B1, B2, B3>.data())));
}

template <class W, bool Odd>
inline typename W::V bothHalves(typename W::V x)
{
#if defined(__SSSE3__)
    return Odd ? shuffleEachLane32<W, 2, 3, 2, 3>(x) : shuffleEachLane32<W, 0, 1, 0, 1>(x);
#else
    return W::template shuffle16 < Odd ? 0xF5 : 0xA0 > (x);
#endif
}

// The chroma offsets of B, G and R (words, (c * u) >> 14 and the like) for every pixel.
template <class W>
struct Offsets {
    typename W::V b, g, r;
};

// The offsets of cells of two pixels sharing one chroma pair (or of pixels with their own), one a cell:
// br holds the blue offset in the cell's even word and the red one in its odd word (the other way round
// without UFirst), g the green one in its odd word. uv4 holds 4c0, 4c1 in each 32-bit lane, c0 being U
// and c1 V where UFirst, else the other way round.
template <class W>
struct CellOffsets {
    typename W::V br, g;
};
template <class W, bool UFirst>
inline CellOffsets<W> offsetsOfCells(typename W::V uv4)
{
    return {W::mulhi16(uv4, UFirst ? W::pair16(29147, 23060) : W::pair16(23060, 29147)),
            W::madd16(uv4, UFirst ? W::pair16(-5661, -11746) : W::pair16(-11746, -5661))};
}

// The same, each spread to both pixels of its cell.
template <class W, bool UFirst>
inline Offsets<W> cellOffsets(typename W::V uv4)
{
    const CellOffsets<W> c = offsetsOfCells<W, UFirst>(uv4);
    return {bothHalves<W, !UFirst>(c.br), bothHalves<W, true>(c.g), bothHalves<W, UFirst>(c.br)};
}

// Pixels with their own chroma: u4 = 4u and v4 = 4v per pixel.
template <class W>
inline Offsets<W> pixelOffsets(typename W::V u4, typename W::V v4)
{
    const typename W::V k = W::pair16(-5661, -11746);
    const typename W::V g = W::packs32(W::template srai32<16>(W::madd16(W::unpacklo16(u4, v4), k)),
                                       W::template srai32<16>(W::madd16(W::unpackhi16(u4, v4), k)));
    return {W::mulhi16(u4, W::set16(29147)), g, W::mulhi16(v4, W::set16(23060))};
}

// ---- Pixels of B, G, R words to memory ---------------------------------------------------------------

// B, G, R words (unclamped) of W::kBytes / 2 pixels in memory order, as 4-byte pixels B, G, R, 0 in
// memory order: pixels 0 to W::kBytes / 4 - 1 in lo, the rest in hi.
template <class W>
struct BgrxBytes {
    static void get(typename W::V b, typename W::V g, typename W::V r, typename W::V& lo, typename W::V& hi)
    {
        typename W::V first, second;
        bgrxFromWords<W>(b, g, r, first, second);
        lo = W::lanesOrderedLow(first, second);
        hi = W::lanesOrderedHigh(first, second);
    }
};

// A register stored over 4-byte pixels whose fourth byte stays as it was; Large: a destination of the
// size that streams (store.h), which is never streamed here since the fourth bytes are kept.
template <class W>
struct KeepFourth {
    template <bool Large>
    static void store(uint8_t* p, typename W::V v)
    {
        W::template store<false>(p, W::select(W::set32(0x00FFFFFF), v, W::load(p)));
    }
};

#if defined(__AVX512VBMI__)
// Lane l of bg holds the blue and green bytes of pixels 8l..8l+7, lane l of r0 their red bytes and
// eight zeros; the index takes pixels 16 * Half.. of them to B, G, R, 0.
template <int Half>
constexpr std::array<int8_t, 64> bgrxIndex()
{
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 64; ++i) {
        const int p = 16 * Half + i / 4, at = p / 8 * 16 + p % 8, c = i % 4;
        m[i] = int8_t(c == 0 ? at : c == 1 ? at + 8 : c == 2 ? 64 + at : 64 + p / 8 * 16 + 8);
    }
    return m;
}
template <int Half>
constexpr std::array<int8_t, 64> kBgrxIndex = bgrxIndex<Half>();

template <>
struct BgrxBytes<V512> {
    static void get(__m512i b, __m512i g, __m512i r, __m512i& lo, __m512i& hi)
    {
        const __m512i bg = V512::packus16(b, g), r0 = V512::packus16(r, V512::zero());
        lo = _mm512_permutex2var_epi8(bg, constant<V512>(kBgrxIndex<0>), r0);
        hi = _mm512_permutex2var_epi8(bg, constant<V512>(kBgrxIndex<1>), r0);
    }
};

template <>
struct KeepFourth<V512> {
    template <bool>
    static void store(uint8_t* p, __m512i v)
    {
        storeKeeping(p, kFirstThreeBytes, v);
    }
};
#endif

// Two registers of 4-byte pixels from d on: all their bytes, or (Keep) all but every fourth.
template <class W, bool Keep, bool Stream>
inline void storeQuads(uint8_t* d, typename W::V lo, typename W::V hi)
{
    if constexpr (Keep) {
        KeepFourth<W>::template store<Stream>(d, lo);
        KeepFourth<W>::template store<Stream>(d + W::kBytes, hi);
    } else {
        W::template store<Stream>(d, lo);
        W::template store<Stream>(d + W::kBytes, hi);
    }
}

// Every fourth byte written as 0 (Keep false) or left as it was (Keep true).
template <bool Keep>
struct BgrxOut {
    static constexpr size_t kBytes = 4;
    static constexpr bool kKeeps = Keep;

    template <class W, bool Stream>
    static void put(uint8_t* d, typename W::V b, typename W::V g, typename W::V r)
    {
        typename W::V lo, hi;
        BgrxBytes<W>::get(b, g, r, lo, hi);
        storeQuads<W, Keep, Stream>(d, lo, hi);
    }
#if defined(__AVX512VBMI__)
    // As BgrOut::putPicked.
    template <bool Stream, class Picks>
    static void putPicked(uint8_t* d, __m512i blueRed, __m512i green);
#endif
};

// 3-byte pixels from the clamped bytes: for each 16-byte lane, bg holds the blue bytes of its eight
// pixels and then their green bytes, rr their red bytes. Byte i of the lane's 24 output bytes, counted
// from `from`, comes from bg (Red false) or rr (Red true); 0x80 elsewhere.
template <int From, bool Red>
constexpr std::array<int8_t, 16> tripleShuffle()
{
    std::array<int8_t, 16> m{};
    for (int i = 0; i < 16; ++i) {
        const int at = From + i, p = at / 3, c = at % 3;
        m[i] = int8_t(at >= 24 || (c == 2) != Red ? -128 : c == 1 ? 8 + p : p);
    }
    return m;
}
template <int From, bool Red>
constexpr std::array<int8_t, 16> kTriples = tripleShuffle<From, Red>();
template <int From0, int From1, bool Red>
constexpr std::array<int8_t, 32> kTriplePairs = join(kTriples<From0, Red>, kTriples<From1, Red>);

template <class W>
struct BgrStore;

#if defined(__SSSE3__)
template <>
struct BgrStore<V128> {
    template <int From>
    static __m128i triples(__m128i bg, __m128i rr)
    {
        return V128::or_(V128::shuffle8(bg, constant<V128>(kTriples<From, false>)),
                         V128::shuffle8(rr, constant<V128>(kTriples<From, true>)));
    }
    template <bool>
    static void put(uint8_t* d, __m128i bg, __m128i rr)
    {
        V128::store<false>(d, triples<0>(bg, rr));
        V128::storeLow(d + 16, triples<16>(bg, rr));
    }
};
#endif

#if defined(__AVX2__)
template <>
struct BgrStore<V256> {
    // Lane 0 gives output bytes 0-15 in a and 16-23 in the low half of b; lane 1 bytes 32-47 in a
    // and 24-31 in the low half of b.
    template <int From0, int From1>
    static __m256i triples(__m256i bg, __m256i rr)
    {
        return V256::or_(V256::shuffle8(bg, constant<V256>(kTriplePairs<From0, From1, false>)),
                         V256::shuffle8(rr, constant<V256>(kTriplePairs<From0, From1, true>)));
    }
    template <bool Stream>
    static void put(uint8_t* d, __m256i bg, __m256i rr)
    {
        const __m256i a = triples<0, 8>(bg, rr), b = triples<16, 0>(bg, rr);
        V128::store<Stream>(d, _mm256_castsi256_si128(a));
        V128::store<Stream>(d + 16, _mm256_castsi256_si128(_mm256_permute4x64_epi64(b, 0x08)));
        V128::store<Stream>(d + 32, _mm256_extracti128_si256(a, 1));
    }
};
#endif

#if defined(__AVX512VBMI__)
// Bytes From.. of the 96 a 64-byte group of bg and rr (lanes as for V128) gives.
template <int From>
constexpr std::array<int8_t, 64> tripleIndex()
{
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 64 && From + i < 96; ++i) {
        const int at = From + i, p = at / 3, c = at % 3, lane = p / 8 * 16 + p % 8;
        m[i] = int8_t(c == 0 ? lane : c == 1 ? lane + 8 : 64 + lane);
    }
    return m;
}
template <int From>
constexpr std::array<int8_t, 64> kTripleIndex = tripleIndex<From>();

template <>
struct BgrStore<V512> {
    template <bool Stream>
    static void put(uint8_t* d, __m512i bg, __m512i rr)
    {
        V512::store<Stream>(d, _mm512_permutex2var_epi8(bg, constant<V512>(kTripleIndex<0>), rr));
        V256::store<Stream>(d + 64, _mm512_castsi512_si256(
                                        _mm512_permutex2var_epi8(bg, constant<V512>(kTripleIndex<64>), rr)));
    }
};
#endif

// 3-byte pixels B, G, R.
struct BgrOut {
    static constexpr size_t kBytes = 3;

    template <class W, bool Stream>
    static void put(uint8_t* d, typename W::V b, typename W::V g, typename W::V r)
    {
        BgrStore<W>::template put<Stream>(d, W::packus16(b, g), W::packus16(r, r));
    }
#if defined(__AVX512VBMI__)
    // 32 pixels from two registers of clamped sums, their bytes where Picks says (pickIndex, below).
    template <bool Stream, class Picks>
    static void putPicked(uint8_t* d, __m512i blueRed, __m512i green);
#endif
};

#if defined(__AVX512VBMI__)
// Where the bytes of 32 pixels of PixelBytes bytes come from in two registers of sums clamped to bytes,
// blueRed and then green: Picks::at(p, c) for channel c (0 blue, 1 green, 2 red) of pixel p; a fourth
// byte takes 0, which the caller masks.
template <class Picks, int PixelBytes, int From>
constexpr std::array<int8_t, 64> pickIndex()
{
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 64 && From + i < 32 * PixelBytes; ++i) {
        const int p = (From + i) / PixelBytes, c = (From + i) % PixelBytes;
        m[i] = int8_t(c == 3 ? 0 : Picks::at(p, c));
    }
    return m;
}
template <class Picks, int PixelBytes, int From>
constexpr std::array<int8_t, 64> kPickIndex = pickIndex<Picks, PixelBytes, From>();

// CellPicks: 4:2:2 cells without each cell's chroma offsets spread to both its pixels. With y the lumas
// and y' the lumas of each cell exchanged, each 16-byte lane of blueRed holds the bytes of y + br (bytes
// 0-7) and y' + br (8-15), br holding the cell's blue offset in its even word and its red one in the odd
// word (the other way round without UFirst); green those of y + g and y' + g, whose odd words are the
// pixels' greens.
template <bool UFirst>
struct CellPicks {
    static constexpr int at(int p, int c)
    {
        const int lane = p / 8 * 16, j = p % 8;
        const bool odd = j % 2, evenWords = (c == 0) == UFirst; // c's offset is the cell's even word
        return c == 1      ? 64 + lane + (odd ? j : 8 + j + 1)
               : evenWords ? lane + (odd ? 8 + j - 1 : j)
                           : lane + (odd ? j : 8 + j + 1);
    }
};

// PixelPicks: pixels with chroma of their own, as pairs of words (blue and red, something and green) in
// each pixel's 32-bit lane, pixels 0-15 in the first register of each pair packed, 16-31 in the second.
struct PixelPicks {
    static constexpr int at(int p, int c)
    {
        const int pair = p % 16 / 4 * 16 + p / 16 * 8 + p % 4 * 2; // bytes of p's lane in the packs
        return c == 1 ? 64 + pair + 1 : pair + (c == 2);
    }
};

template <bool Stream, class Picks>
void BgrOut::putPicked(uint8_t* d, __m512i blueRed, __m512i green)
{
    const __m512i lo = _mm512_permutex2var_epi8(blueRed, constant<V512>(kPickIndex<Picks, 3, 0>), green);
    const __m512i hi = _mm512_permutex2var_epi8(blueRed, constant<V512>(kPickIndex<Picks, 3, 64>), green);
    V512::store<Stream>(d, lo);
    V256::store<Stream>(d + 64, _mm512_castsi512_si256(hi));
}

template <bool Keep>
template <bool Stream, class Picks>
void BgrxOut<Keep>::putPicked(uint8_t* d, __m512i blueRed, __m512i green)
{
    const __m512i lo = _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, blueRed,
                                                      constant<V512>(kPickIndex<Picks, 4, 0>), green);
    const __m512i hi = _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, blueRed,
                                                      constant<V512>(kPickIndex<Picks, 4, 64>), green);
    storeQuads<V512, Keep, Stream>(d, lo, hi);
}

// 32 pixels through Out::putPicked from two registers of lumas and the offsets each takes (for cells the
// lumas and the lumas exchanged within each cell, with the same offsets).
template <class Out, bool Stream, class Picks>
inline void putSums(uint8_t* d, __m512i y0, const CellOffsets<V512>& o0, __m512i y1,
                    const CellOffsets<V512>& o1)
{
    Out::template putPicked<Stream, Picks>(d, V512::packus16(V512::add16(y0, o0.br), V512::add16(y1, o1.br)),
                                           V512::packus16(V512::add16(y0, o0.g), V512::add16(y1, o1.g)));
}
#endif

// ---- RGB to YUV ------------------------------------------------------------------------------------

// The words of 4-byte pixels B, G, R, X (any X) the weighted sums take, in each pixel's 32-bit lane:
// B and R, and G with G (or, without the byte shuffle, with X) beside it.
template <class W>
struct PixelWords {
    typename W::V br, g;
};
template <class W>
inline PixelWords<W> pixelWords(typename W::V x)
{
#if defined(__SSSE3__)
    return {W::and_(x, W::set32(0x00FF00FF)), shuffleEachLane32<W, 1, -1, 1, -1>(x)};
#else
    return {W::and_(x, W::set32(0x00FF00FF)), W::template srli16<8>(x)};
#endif
}

// cb * B + cg * G + cr * R in each pixel's 32-bit lane (a colour difference before its shift).
template <class W>
inline typename W::V differenceSum(const PixelWords<W>& p, int16_t cb, int16_t cg, int16_t cr)
{
    return maddAdd16<W>(W::madd16(p.br, W::pair16(cb, cr)), p.g, W::pair16(cg, 0));
}

// Luma of each pixel in byte 2 of its 32-bit lane, byte 3 being 0: the weights times 64, the green
// one as two halves (601 * 64 does not fit a signed 16-bit lane).
template <class W>
inline typename W::V lumaSums(const PixelWords<W>& p)
{
    const typename W::V rb = W::madd16(p.br, W::pair16(117 * 64, 306 * 64));
#if defined(__SSSE3__)
    return maddAdd16<W>(rb, p.g, W::set16(601 * 32));
#else
    const typename W::V g = W::madd16(p.g, W::pair16(601 * 32, 0));
    return W::add32(rb, W::add32(g, g));
#endif
}

// The lumas of a and b (lumaSums), as 16-bit lanes in memory order.
template <class W>
struct LumaOfSums {
    static typename W::V of(typename W::V a, typename W::V b)
    {
        return W::packs32Ordered(W::template srli32<16>(a), W::template srli32<16>(b));
    }
};

// 128 + c * 229 / 255, the quotient truncated towards zero, on 16-bit lanes: |c| <= 128, where
// (|c| * 58849) >> 16 is the exact floor of |c| * 229 / 255.
template <class W>
struct ScalarChroma {
    static typename W::V of(typename W::V c)
    {
        const typename W::V sign = W::template srai16<15>(c);
        const typename W::V magnitude = W::sub16(W::xor_(c, sign), sign);
        const typename W::V q = W::mulhiu16(magnitude, W::set16(int16_t(58849 - 65536)));
        return W::add16(W::sub16(W::xor_(q, sign), sign), W::set16(128));
    }
};

#if defined(__AVX512VBMI__)
constexpr std::array<int8_t, 64> lumaIndex()
{
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 32; ++i)
        m[2 * i] = int8_t(4 * i + 2);
    return m;
}
constexpr std::array<int8_t, 64> kLumaIndex = lumaIndex();

template <>
struct LumaOfSums<V512> {
    static __m512i of(__m512i a, __m512i b)
    {
        return _mm512_maskz_permutex2var_epi8(0x5555555555555555ull, a, constant<V512>(kLumaIndex), b);
    }
};

template <>
struct ScalarChroma<V512> {
    static __m512i of(__m512i c)
    {
        const __m512i q = _mm512_mulhi_epu16(_mm512_abs_epi16(c), V512::set16(int16_t(58849 - 65536)));
        const __m512i half = V512::set16(128);
        return _mm512_mask_sub_epi16(V512::add16(half, q), _mm512_movepi16_mask(c), half, q);
    }
};
#endif

// 4-byte pixels V, U, Y, 0 from the chroma words V, U of each 32-bit lane and the luma in byte 2 of
// lumaSums.
template <class W>
struct YuvQuads {
    static typename W::V of(typename W::V vu, typename W::V sums)
    {
        const typename W::V v0u = W::and_(W::or_(vu, W::template srli32<8>(vu)), W::set32(0xFFFF));
        return W::or_(v0u, W::and_(sums, W::set32(0xFF0000)));
    }
};

#if defined(__AVX512VBMI__)
constexpr std::array<int8_t, 64> yuvQuadIndex()
{
    std::array<int8_t, 64> m{};
    for (int i = 0; i < 64; ++i)
        m[i] = int8_t(i % 4 == 0 ? i : i % 4 == 1 ? i + 1 : i % 4 == 2 ? 64 + i : 0);
    return m;
}
constexpr std::array<int8_t, 64> kYuvQuadIndex = yuvQuadIndex();

template <>
struct YuvQuads<V512> {
    static __m512i of(__m512i vu, __m512i sums)
    {
        return _mm512_maskz_permutex2var_epi8(kFirstThreeBytes, vu, constant<V512>(kYuvQuadIndex), sums);
    }
};
#endif

template <class W>
inline typename W::V scalarChroma(typename W::V c)
{
    return ScalarChroma<W>::of(c);
}

// 128 + ((c * 29426) >> 15) on 16-bit lanes: the high half of 2c * 29426.
template <class W>
inline typename W::V vectorChroma(typename W::V c)
{
    return W::add16(W::mulhi16(W::add16(c, c), W::set16(29426)), W::set16(128));
}

} // namespace
} // namespace vyr::convert::kernels
