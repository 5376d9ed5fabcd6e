// The packed RGB unit kernels written once over the register vocabulary of vec.h and the byte routes
// of route.h.
#pragma once

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/units.h"

namespace vyr::convert::kernels {
namespace {

// ---- 8-bit channels into 5- and 6-bit fields --------------------------------------------------------

using BgrWords = ChannelWords<3, 0, 1, 2>; // blue, green, red words of RGB888

// Words of blue | green << 8, then words of red << 8 (two registers each), from RGB888.
struct BlueGreenAndRedHigh {
    static constexpr int kIn[1] = {3}, kOut[1] = {4};
    static constexpr From from(int, int byte, int unit)
    {
        const int p = byte % (2 * unit) / 2;
        if (byte < 2 * unit)
            return {0, 3 * p + byte % 2};
        return byte % 2 ? From{0, 3 * p + 2} : zeroByte();
    }
};

// Blue >> 3 and the green field at bit 5 by one byte multiply-add: blue + 2^k (green with its bits
// below the field cleared), >> 3 (at most 255 + 64 x 252: never saturated). Red from the high byte.
template <class W>
inline typename W::V blueGreenFields(typename W::V blueGreen, int16_t greenMask, int8_t greenWeight)
{
    const typename W::V masked = W::and_(blueGreen, W::set16(greenMask));
    return W::template srli16<3>(W::maddubs16(masked, W::set16(int16_t(1 | greenWeight << 8))));
}

template <class W>
struct Steps<tag::Rgb888ToRgb5551, W> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V c[4];
        routeUnitToRegisters<BlueGreenAndRedHigh, W>(in, i, c);
        for (size_t h = 0; h < 2; ++h) {
            const typename W::V red = W::and_(W::template srli16<1>(c[2 + h]), W::set16(0x7C00));
            storeUnit<tag::Rgb888ToRgb5551, W, Stream>(
                out, 0, i, h, W::or_(blueGreenFields<W>(c[h], int16_t(0xF8FF), 32), red));
        }
    }
};

// Shifted, not cut: a channel beyond its depth spills into the next field. At full depth nothing
// spills and the fields come from the multiply-add.
template <class W>
struct Steps<tag::Rgb888ToRgb565, W> {
    __m128i five, six;
    bool full;
    explicit Steps(uint32_t a) : five(shiftBy<3>(a)), six(shiftBy<2>(a)), full(a == 0) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        if (full) {
            typename W::V c[4];
            routeUnitToRegisters<BlueGreenAndRedHigh, W>(in, i, c);
            for (size_t h = 0; h < 2; ++h) {
                const typename W::V red = W::and_(c[2 + h], W::set16(int16_t(0xF800)));
                storeUnit<tag::Rgb888ToRgb565, W, Stream>(
                    out, 0, i, h, W::or_(blueGreenFields<W>(c[h], int16_t(0xFCFF), 64), red));
            }
            return;
        }
        typename W::V c[6];
        routeUnitToRegisters<BgrWords, W>(in, i, c);
        for (size_t h = 0; h < 2; ++h) {
            const typename W::V b = W::srl16(c[h], five), g = W::srl16(c[2 + h], six),
                                r = W::srl16(c[4 + h], five);
            storeUnit<tag::Rgb888ToRgb565, W, Stream>(
                out, 0, i, h, W::or_(W::or_(W::template slli16<11>(r), W::template slli16<5>(g)), b));
        }
    }
};

// ---- 5- and 6-bit fields to 8-bit channels ------------------------------------------------------------

// Words of blue | green << 8 and words of red, to RGB888.
struct BlueGreenAndRed {
    static constexpr int kIn[] = {2, 2}, kOut[] = {3};
    static constexpr From from(int, int byte, int)
    {
        return byte % 3 < 2 ? From{0, byte / 3 * 2 + byte % 3} : From{1, byte / 3 * 2};
    }
};

// Fields of a word at Green (5 or 6 bits wide) widened by the shifts: blue and red by `five`, green
// by `six`; every result fits a byte.
template <class K, class W, bool Stream, int GreenBits, int RedAt>
inline void fieldsToRgb888(const uint8_t* const* in, uint8_t* const* out, size_t i, __m128i five, __m128i six)
{
    typename W::V bg[2], r[2];
    eachInput<K, W>(in, i, [&](size_t k, typename W::V w) {
        const typename W::V b = W::sll16(W::and_(w, W::set16(31)), five);
        const typename W::V g =
            W::sll16(W::and_(W::template srli16<5>(w), W::set16((1 << GreenBits) - 1)), six);
        bg[k] = W::or_(b, W::template slli16<8>(g));
        r[k] = W::sll16(W::and_(W::template srli16<RedAt>(w), W::set16(31)), five);
    });
    const typename W::V* streams[2] = {bg, r};
    routeToMemory<BlueGreenAndRed, W, Stream>(streams, out, i);
}

template <class W>
struct Steps<tag::Rgb5551ToRgb888, W> {
    __m128i five;
    explicit Steps(uint32_t a) : five(shiftBy<3>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        fieldsToRgb888<tag::Rgb5551ToRgb888, W, Stream, 5, 10>(in, out, i, five, five);
    }
};

template <class W>
struct Steps<tag::Rgb565ToRgb888, W> {
    __m128i five, six;
    explicit Steps(uint32_t a) : five(shiftBy<3>(a)), six(shiftBy<2>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        fieldsToRgb888<tag::Rgb565ToRgb888, W, Stream, 6, 11>(in, out, i, five, six);
    }
};

#if defined(__AVX512VBMI__)
// 16-bit pixels of fields (Start[c], Width[c]; blue, green, red) to RGB888, each field << (8 - width - a)
// in its byte: per output register of a unit, one permute gathers into every 8-byte group the (up to
// four) pixels whose bytes it holds, one multishift puts each byte's field in place, one AND clears
// the neighbouring fields' bits.
struct WordFieldTables {
    alignas(64) uint8_t gather[3][64], at[3][64], mask[3][64];
};
constexpr WordFieldTables wordFieldTables(const int (&start)[3], const int (&width)[3])
{
    WordFieldTables t{};
    for (int r = 0; r < 3; ++r) {
        for (int j = 0; j < 64; ++j) {
            const int first = (64 * r + j / 8 * 8) / 3, pixel = first + j % 8 / 2, out = 64 * r + j;
            const int c = out % 3, slot = out / 3 - first, zeros = 8 - width[c];
            t.gather[r][j] = uint8_t(pixel < 64 ? 2 * pixel + j % 2 : 0);
            t.at[r][j] = uint8_t((16 * slot + start[c] - zeros) & 63);
            t.mask[r][j] = uint8_t(((1 << width[c]) - 1) << zeros);
        }
    }
    return t;
}

template <int B, int Bw, int G, int Gw, int R, int Rw>
struct WordFieldsToRgb888 {
    static constexpr int kStart[3] = {B, G, R}, kWidth[3] = {Bw, Gw, Rw};
    static constexpr WordFieldTables kTables = wordFieldTables(kStart, kWidth);
    // The counts a bits lower; the masks too (a never exceeds a mask's zero bits, so no bit crosses
    // into the byte below).
    __m512i at[3], mask[3];
    explicit WordFieldsToRgb888(uint32_t a)
    {
        for (int r = 0; r < 3; ++r) {
            at[r] = _mm512_add_epi8(V512::load(kTables.at[r]), _mm512_set1_epi8(char(a)));
            mask[r] = _mm512_srl_epi16(V512::load(kTables.mask[r]), _mm_cvtsi32_si128(int(a)));
        }
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const __m512i first = V512::load(in[0] + 2 * i), second = V512::load(in[0] + 2 * i + 64);
        for (int r = 0; r < 3; ++r) {
            const __m512i pixels = _mm512_permutex2var_epi8(first, V512::load(kTables.gather[r]), second);
            V512::store<Stream>(out[0] + 3 * i + 64 * r,
                                _mm512_and_si512(_mm512_multishift_epi64_epi8(at[r], pixels), mask[r]));
        }
    }
};

template <>
struct Steps<tag::Rgb5551ToRgb888, V512> : WordFieldsToRgb888<0, 5, 5, 5, 10, 5> {
    using WordFieldsToRgb888::WordFieldsToRgb888;
};
template <>
struct Steps<tag::Rgb565ToRgb888, V512> : WordFieldsToRgb888<0, 5, 5, 6, 11, 5> {
    using WordFieldsToRgb888::WordFieldsToRgb888;
};
#endif

// ---- RGB101010 ------------------------------------------------------------------------------------------

// The top bits of each 10-bit field (shifted right by 2 - a) in bytes 0, 1 and 2, the fourth 0.
template <class W>
struct Bytes101010 {
    __m128i blue, green, red;
    explicit Bytes101010(uint32_t a) : blue(shiftBy<2>(a)), green(shiftBy<4>(a)), red(shiftBy<6>(a)) {}
    typename W::V operator()(typename W::V w) const
    {
        return W::or_(
            W::or_(W::and_(W::srl32(w, blue), W::set32(0xFF)), W::and_(W::srl32(w, green), W::set32(0xFF00))),
            W::and_(W::srl32(w, red), W::set32(0xFF0000)));
    }
};

#if defined(__AVX512VBMI__)
// Each byte taken from its bits by one multishift (counts 2 - a, 12 - a, 22 - a in each pixel), the
// fourth zeroed by the mask.
template <>
struct Bytes101010<V512> {
    static constexpr int64_t kAt =
        2 | 12 << 8 | 22 << 16 | int64_t(34) << 32 | int64_t(44) << 40 | int64_t(54) << 48;
    __m512i at;
    explicit Bytes101010(uint32_t a) : at(_mm512_sub_epi8(_mm512_set1_epi64(kAt), _mm512_set1_epi8(char(a))))
    {
    }
    __m512i operator()(__m512i w) const
    {
        return _mm512_maskz_multishift_epi64_epi8(0x7777777777777777, at, w);
    }
};
#endif

template <class W>
struct Steps<tag::Rgb101010ToRgb8888, W> {
    Bytes101010<W> bytes;
    explicit Steps(uint32_t a) : bytes(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Rgb101010ToRgb8888;
        eachInput<K, W>(in, i,
                        [&](size_t k, typename W::V w) { storeUnit<K, W, Stream>(out, 0, i, k, bytes(w)); });
    }
};

template <class W>
struct Steps<tag::Rgb101010ToRgb888, W> {
    Bytes101010<W> bytes;
    explicit Steps(uint32_t a) : bytes(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V q[4];
        eachInput<tag::Rgb101010ToRgb888, W>(in, i, [&](size_t k, typename W::V w) { q[k] = bytes(w); });
        const typename W::V* quads[1] = {q};
        routeToMemory<tag::Rgb8888ToRgb888, W, Stream>(quads, out, i);
    }
};

// Each 10-bit field << (6 - a), low 16 bits: blue and green words in `low`, red and a 0 word in `high`.
template <class W>
struct Words101010 {
    __m128i shift;
    explicit Words101010(uint32_t a) : shift(shiftBy<6>(a)) {}
    void operator()(typename W::V w, typename W::V& low, typename W::V& high) const
    {
        const typename W::V blueGreen =
            W::or_(W::and_(w, W::set32(0x3FF)), W::and_(W::template slli32<6>(w), W::set32(0x3FF0000)));
        low = W::sll32(blueGreen, shift);
        high = W::sll32(W::and_(W::template srli32<20>(w), W::set32(0x3FF)), shift);
    }
};

#if defined(__AVX512VBMI__)
// The bytes of each word taken from the field's bits by one multishift (counts 8k - s for the byte k of
// a field << s, s = 6 - a), the bits of other fields cleared by one AND.
template <>
struct Words101010<V512> {
    static constexpr int64_t kLow =
        0 | 8 << 8 | 10 << 16 | 18 << 24 | int64_t(32 | 40 << 8 | 42 << 16 | 50 << 24) << 32;
    static constexpr int64_t kHigh = 20 | 28 << 8 | int64_t(52 | 60 << 8) << 32;
    __m512i atLow, atHigh, maskLow, maskHigh;
    explicit Words101010(uint32_t a)
    {
        const __m512i s = _mm512_set1_epi8(char(6 - a));
        const uint32_t field = (0x3FFu << ((6 - a) & 31)) & 0xFFFF;
        atLow = _mm512_sub_epi8(_mm512_set1_epi64(kLow), s);
        atHigh = _mm512_sub_epi8(_mm512_set1_epi64(kHigh), s);
        maskLow = _mm512_set1_epi32(int(field | field << 16));
        maskHigh = _mm512_set1_epi32(int(field));
    }
    void operator()(__m512i w, __m512i& low, __m512i& high) const
    {
        low = _mm512_and_si512(_mm512_multishift_epi64_epi8(atLow, w), maskLow);
        high = _mm512_and_si512(_mm512_multishift_epi64_epi8(atHigh, w), maskHigh);
    }
};
#endif

template <class W>
struct Steps<tag::Rgb101010ToRgb16161616, W> {
    Words101010<W> words;
    explicit Steps(uint32_t a) : words(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        eachInput<tag::Rgb101010ToRgb16161616, W>(in, i, [&](size_t k, typename W::V w) {
            typename W::V low, high;
            words(w, low, high);
            W::template storeLanes<Stream>(out[0] + 8 * i + 2 * k * W::kBytes, W::unpacklo32(low, high),
                                           W::unpackhi32(low, high));
        });
    }
};

// The blue and green words of one stream and the red word of another, to RGB161616.
struct LowAndHighTo161616 {
    static constexpr int kIn[] = {4, 4}, kOut[] = {6};
    static constexpr From from(int, int byte, int)
    {
        return byte % 6 < 4 ? From{0, byte / 6 * 4 + byte % 6} : From{1, byte / 6 * 4 + byte % 6 - 4};
    }
};

template <class W>
struct Steps<tag::Rgb101010ToRgb161616, W> {
    Words101010<W> words;
    explicit Steps(uint32_t a) : words(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V low[4], high[4];
        eachInput<tag::Rgb101010ToRgb161616, W>(
            in, i, [&](size_t k, typename W::V w) { words(w, low[k], high[k]); });
        const typename W::V* streams[2] = {low, high};
        routeToMemory<LowAndHighTo161616, W, Stream>(streams, out, i);
    }
};

// ---- 16-bit channels --------------------------------------------------------------------------------------

// Pixels of four words (blue, green, red, fourth): the first three >> (6 - a), cut to 10 bits, put
// together in the low 32 bits of the pixel (blue + 1024 green by a multiply-add, red << 20 added).
template <class W>
inline typename W::V fields101010(typename W::V v, __m128i shift)
{
    const typename W::V t = W::and_(W::srl16(v, shift), W::set16(0x3FF));
    const typename W::V m = W::madd16(t, W::pair32(0x04000001, 1));
    return W::or_(m, W::template srli64<32>(W::template slli32<20>(m)));
}

// The low 32 bits of every 8-byte pixel.
using LowQuads = PixelRoute<8, 4, 0, 1, 2, 3>;

template <class W>
struct Steps<tag::Rgb16161616ToRgb101010, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<6>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V q[8];
        eachInput<tag::Rgb16161616ToRgb101010, W>(
            in, i, [&](size_t k, typename W::V v) { q[k] = fields101010<W>(v, shift); });
        const typename W::V* quads[1] = {q};
        routeToMemory<LowQuads, W, Stream>(quads, out, i);
    }
};

// RGB161616 spread to four words, the fourth 0, then as RGB16161616.
using SpreadTo16161616 = PixelRoute<6, 8, 0, 1, 2, 3, 4, 5, kZero, kZero>;

template <class W>
struct Steps<tag::Rgb161616ToRgb101010, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<6>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V q[8];
        routeUnitToRegisters<SpreadTo16161616, W>(in, i, q);
        for (typename W::V& v : q)
            v = fields101010<W>(v, shift);
        const typename W::V* quads[1] = {q};
        routeToMemory<LowQuads, W, Stream>(quads, out, i);
    }
};

#if defined(__AVX512VBMI__)
// Pixels of 16-bit blue, green and red at bits 0, 16 and 32 of 8-byte groups to RGB101010, two groups
// (one pixel each) to one group of two pixels. Every output byte holds at most two pieces of fields
// (channel >> (6 - a), 10 bits): one multishift per piece and group register takes each piece's bits
// into place, one bitwise select keeps each piece's bits. The second piece is zero in bytes 0 and 3, so
// bits 30 and 31 stay 0.
struct Pack101010 {
    // Bit of the group where each output byte's lower piece starts (blue, blue, green, red), and its
    // upper piece (green, red), at a = 0.
    static constexpr int64_t kLower = 6 | 14 << 8 | 28 << 16 | int64_t(42) << 24;
    static constexpr int64_t kUpper = 20 << 8 | 34 << 16;
    static constexpr int64_t twice(int64_t half) { return half | half << 32; }
    __m512i lower, upper, select;
    explicit Pack101010(uint32_t a)
        : lower(_mm512_sub_epi8(_mm512_set1_epi64(twice(kLower)), _mm512_set1_epi8(char(a)))),
          upper(_mm512_sub_epi8(_mm512_set1_epi64(twice(kUpper)), _mm512_set1_epi8(char(a)))),
          select(_mm512_set1_epi32(0x3F0F03FF))
    {
    }
    // The pixels of `first` in the low halves of the groups, those of `second` in the high halves.
    __m512i operator()(__m512i first, __m512i second) const
    {
        __m512i low = _mm512_maskz_multishift_epi64_epi8(0x0F0F0F0F0F0F0F0F, lower, first);
        low = _mm512_mask_multishift_epi64_epi8(low, 0xF0F0F0F0F0F0F0F0, lower, second);
        __m512i high = _mm512_maskz_multishift_epi64_epi8(0x0606060606060606, upper, first);
        high = _mm512_mask_multishift_epi64_epi8(high, 0x6060606060606060, upper, second);
        return _mm512_ternarylogic_epi64(select, low, high, 0xCA); // select ? low : high
    }
};

// RGB161616 to RGB101010, sixteen pixels a register from registers (0, 1), (1, 2) at byte 32, (3, 4),
// (4, 5) at byte 32: two permutes give every pixel's blue and green words, and its red word in the high
// half, and the shifts are multiplies (off the shuffle ports, which the permutes keep busy). The fields
// (channel >> s, s = 6 - a, cut to 10 bits) of blue and green are added as blue + 1024 green; red is
// moved by s - 4 (the high half of a product for s >= 5, the low half for s <= 4) so that its field lands
// on bits 20-29 and one bitwise select keeps just those.
struct Words161616 {
    alignas(64) uint8_t blueGreen[2][64], red[2][64]; // [pixels from byte 0 or 32 of two registers]
};
constexpr Words161616 words161616()
{
    Words161616 t{};
    for (int base = 0; base < 2; ++base) {
        for (int j = 0; j < 64; ++j) {
            const int at = 32 * base + 6 * (j / 4);
            t.blueGreen[base][j] = uint8_t(at + j % 4);
            t.red[base][j] = uint8_t(at + 4 + j % 2);
        }
    }
    return t;
}
constexpr Words161616 kWords161616 = words161616();

template <>
struct Steps<tag::Rgb161616ToRgb101010, V512> {
    bool shifted, redDown; // s >= 1; s >= 5
    __m512i scale, redScale;
    explicit Steps(uint32_t a)
    {
        const uint32_t s = 6 - a;
        shifted = s >= 1;
        redDown = s >= 5;
        scale = V512::set16(sampleScale(s));
        redScale = V512::set16(int16_t(redDown ? 1 << (20 - s) : 1 << (4 - s)));
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        __m512i v[6];
        for (size_t k = 0; k < 6; ++k)
            v[k] = V512::load(in[0] + 6 * i + 64 * k);
        for (size_t r = 0; r < 4; ++r) {
            const size_t from = r + r / 2, base = r % 2;
            __m512i blueGreen =
                _mm512_permutex2var_epi8(v[from], V512::load(kWords161616.blueGreen[base]), v[from + 1]);
            __m512i red = _mm512_permutex2var_epi8(v[from], V512::load(kWords161616.red[base]), v[from + 1]);
            if (shifted)
                blueGreen = V512::mulhiu16(blueGreen, scale);
            blueGreen = V512::madd16(V512::and_(blueGreen, V512::set16(0x3FF)), V512::pair16(1, 1024));
            red = redDown ? V512::mulhiu16(red, redScale) : V512::mullo16(red, redScale);
            V512::store<Stream>(out[0] + 4 * i + 64 * r,
                                _mm512_ternarylogic_epi32(blueGreen, red, V512::set32(0x3FF00000),
                                                          0xF8)); // blueGreen | (red & field)
        }
    }
};

// The pixels of two registers come out as pixel k, pixel 8 + k in group k; one permute orders them.
struct Interleaved32 {
    alignas(64) uint32_t index[16];
};
constexpr Interleaved32 interleaved32()
{
    Interleaved32 t{};
    for (int d = 0; d < 16; ++d)
        t.index[d] = uint32_t(d < 8 ? 2 * d : 2 * (d - 8) + 1);
    return t;
}
constexpr Interleaved32 kInterleaved32 = interleaved32();

template <>
struct Steps<tag::Rgb16161616ToRgb101010, V512> {
    Pack101010 pack;
    explicit Steps(uint32_t a) : pack(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const __m512i order = V512::load(reinterpret_cast<const uint8_t*>(kInterleaved32.index));
        for (size_t r = 0; r < 4; ++r) {
            const uint8_t* p = in[0] + 8 * i + 128 * r;
            V512::store<Stream>(out[0] + 4 * i + 64 * r,
                                _mm512_permutexvar_epi32(order, pack(V512::load(p), V512::load(p + 64))));
        }
    }
};
#endif

// Every word of the input >> (8 - a); Map takes the low bytes it needs.
template <class K, class Map, class W, bool Stream>
inline void lowBytesOfShifted(const uint8_t* const* in, uint8_t* const* out, size_t i, __m128i shift)
{
    typename W::V v[K::kIn[0]];
    eachInput<K, W>(in, i, [&](size_t k, typename W::V x) { v[k] = W::srl16(x, shift); });
    const typename W::V* words[1] = {v};
    routeToMemory<Map, W, Stream>(words, out, i);
}

template <class W>
struct Steps<tag::Rgb161616ToRgb8888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        lowBytesOfShifted<tag::Rgb161616ToRgb8888, PixelRoute<6, 4, 0, 2, 4, kZero>, W, Stream>(in, out, i,
                                                                                                shift);
    }
};

template <class W>
struct Steps<tag::Rgb161616ToRgb888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        lowBytesOfShifted<tag::Rgb161616ToRgb888, PixelRoute<6, 3, 0, 2, 4>, W, Stream>(in, out, i, shift);
    }
};

template <class W>
struct Steps<tag::Rgb16161616ToRgb888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        lowBytesOfShifted<tag::Rgb16161616ToRgb888, PixelRoute<8, 3, 0, 2, 4>, W, Stream>(in, out, i, shift);
    }
};

// All four words to bytes: the grey rule on four times the pixels.
template <class W>
struct Steps<tag::Rgb16161616ToRgb8888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Rgb16161616ToRgb8888;
        const auto low = [&](typename W::V v) { return W::and_(W::srl16(v, shift), W::set16(0xFF)); };
        for (size_t k = 0; k < 4; ++k) {
            storeUnit<K, W, Stream>(out, 0, i, k,
                                    W::packus16Ordered(low(loadUnit<K, W>(in, 0, i, 2 * k)),
                                                       low(loadUnit<K, W>(in, 0, i, 2 * k + 1))));
        }
    }
};

// ---- Luminance
// ----------------------------------------------------------------------------------------------

// Full-scale 16-bit words taken as signed (each less 32768): the weighted sum less 2^29, so that its
// arithmetic shift by 14 is the luminance less 32768, whose low 16 bits with bit 15 flipped are the
// luminance.
template <class W>
struct Steps<tag::Rgb16161616ToMono16, W> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V y[8];
        eachInput<tag::Rgb16161616ToMono16, W>(in, i, [&](size_t k, typename W::V v) {
            const typename W::V signedWords = W::xor_(v, W::set16(int16_t(0x8000)));
            const typename W::V m = W::madd16(signedWords, W::pair32(1868 | 9617 << 16, 4899));
            const typename W::V sum = W::add32(m, W::template srli64<32>(m));
            y[k] = W::xor_(W::template srai32<14>(sum), W::set32(0x8000));
        });
        const typename W::V* words[1] = {y};
        routeToMemory<PixelRoute<8, 2, 0, 1>, W, Stream>(words, out, i);
    }
};

// Blue and red in the two halves of a 32-bit lane for one multiply-add, green for another; the 10-bit
// luminance widened by 6 - a and packed to words through the signed pack (less 32768, then bit 15
// flipped back).
template <class W>
struct Steps<tag::Rgb101010ToMono16, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<6>(a)) {}
    typename W::V luma(typename W::V w) const
    {
        const typename W::V blueRed =
            W::or_(W::and_(w, W::set32(0x3FF)), W::and_(W::template srli32<4>(w), W::set32(0x3FF0000)));
        const typename W::V green = W::and_(W::template srli32<10>(w), W::set32(0x3FF));
        const typename W::V sum =
            W::add32(W::madd16(blueRed, W::pair16(1868, 4899)), W::madd16(green, W::set32(9617)));
        return W::sub32(W::sll32(W::template srli32<14>(sum), shift), W::set32(0x8000));
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Rgb101010ToMono16;
        for (size_t k = 0; k < 2; ++k) {
            const typename W::V packed = W::packs32Ordered(luma(loadUnit<K, W>(in, 0, i, 2 * k)),
                                                           luma(loadUnit<K, W>(in, 0, i, 2 * k + 1)));
            storeUnit<K, W, Stream>(out, 0, i, k, W::xor_(packed, W::set16(int16_t(0x8000))));
        }
    }
};

#if defined(__AVX512VBMI__) && defined(__AVX512VNNI__)
// The high word of every 32-bit lane of two registers, in order.
struct HighWordsOfTwo {
    alignas(64) uint16_t index[32];
};
constexpr HighWordsOfTwo highWordsOfTwo()
{
    HighWordsOfTwo t{};
    for (int j = 0; j < 32; ++j)
        t.index[j] = uint16_t(2 * j + 1);
    return t;
}
constexpr HighWordsOfTwo kHighWordsOfTwo = highWordsOfTwo();

// Sixteen times the weighted sum from a multiply-add and a multiply-accumulate (VNNI, which folds the add):
// words of blue and red << 4 (one AND of the pixel) with 16 x 1868 and 4899, green << 4 (a shift and an
// AND) with 9617. The sum's high word, the sum >> 12 (at most 4095), is taken from two registers by one
// permute; the luminance << (6 - a) is it with its low two bits cleared, moved by 4 - a bits: one word
// shift for 32 pixels.
template <>
struct Steps<tag::Rgb101010ToMono16, V512> {
    __m128i shift;
    bool left;
    __m512i fewer; // the bits kept of the high word moved right (a of 5 and 6)
    explicit Steps(uint32_t a)
        : shift(_mm_cvtsi32_si128(int(a <= 4 ? 4 - a : a - 4))), left(a <= 4),
          fewer(_mm512_set1_epi16(int16_t(0x3FFu << ((6 - a) & 31))))
    {
    }
    static __m512i sum(const uint8_t* p)
    {
        const __m512i w = V512::load(p);
        const __m512i blueRed = _mm512_and_si512(w, _mm512_set1_epi32(0x3FF003FF));
        const __m512i green = _mm512_and_si512(_mm512_srli_epi32(w, 6), _mm512_set1_epi32(0x3FF0));
        return _mm512_dpwssd_epi32(_mm512_madd_epi16(blueRed, V512::pair16(16 * 1868, 4899)), green,
                                   _mm512_set1_epi32(9617));
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const __m512i order = V512::load(reinterpret_cast<const uint8_t*>(kHighWordsOfTwo.index));
        for (size_t h = 0; h < 2; ++h) {
            const uint8_t* p = in[0] + 4 * i + 128 * h;
            const __m512i high = _mm512_permutex2var_epi16(sum(p), order, sum(p + 64));
            const __m512i luma =
                left ? _mm512_sll_epi16(_mm512_and_si512(high, V512::set16(int16_t(0xFFFC))), shift)
                     : _mm512_and_si512(_mm512_srl_epi16(high, shift), fewer);
            V512::store<Stream>(out[0] + 2 * i + 64 * h, luma);
        }
    }
};
#endif

#if defined(__AVX512VBMI__)
// Four times the weighted sum less 2^31 from two multiply-adds of the same pixels: words blue, green
// with 4 x 1868 and 2 x 9617, words red, green with 4 x 4899 and 2 x 9617 (each word less 32768 as for
// the other widths), each pair gathered by one permute of two registers. The luminance less 32768 is
// then the high word of every sum: one permute of two registers puts them in order.
struct Rgb16161616Words {
    alignas(64) uint16_t blueGreen[32], redGreen[32], high[32];
};
constexpr Rgb16161616Words rgb16161616Words()
{
    Rgb16161616Words t{};
    for (int j = 0; j < 32; ++j) {
        const int pixel = j / 2;
        t.blueGreen[j] = uint16_t(4 * pixel + (j % 2 ? 1 : 0));
        t.redGreen[j] = uint16_t(4 * pixel + (j % 2 ? 1 : 2));
        t.high[j] = uint16_t(2 * j + 1);
    }
    return t;
}
constexpr Rgb16161616Words kRgb16161616Words = rgb16161616Words();

template <>
struct Steps<tag::Rgb16161616ToMono16, V512> {
    explicit Steps(uint32_t) {}
    // Sixteen pixels from p.
    static __m512i sum(const uint8_t* p, __m512i blueGreen, __m512i redGreen)
    {
        const __m512i flip = V512::set16(int16_t(0x8000));
        const __m512i first = _mm512_xor_si512(V512::load(p), flip),
                      second = _mm512_xor_si512(V512::load(p + 64), flip);
        return _mm512_add_epi32(_mm512_madd_epi16(_mm512_permutex2var_epi16(first, blueGreen, second),
                                                  V512::pair16(4 * 1868, 2 * 9617)),
                                _mm512_madd_epi16(_mm512_permutex2var_epi16(first, redGreen, second),
                                                  V512::pair16(4 * 4899, 2 * 9617)));
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const auto index = [](const uint16_t* t) { return V512::load(reinterpret_cast<const uint8_t*>(t)); };
        const __m512i blueGreen = index(kRgb16161616Words.blueGreen),
                      redGreen = index(kRgb16161616Words.redGreen), high = index(kRgb16161616Words.high);
        for (size_t h = 0; h < 2; ++h) {
            const uint8_t* p = in[0] + 8 * i + 256 * h;
            const __m512i words = _mm512_permutex2var_epi16(sum(p, blueGreen, redGreen), high,
                                                            sum(p + 128, blueGreen, redGreen));
            V512::store<Stream>(out[0] + 2 * i + 64 * h,
                                _mm512_xor_si512(words, V512::set16(int16_t(0x8000))));
        }
    }
};
#endif

} // namespace
} // namespace vyr::convert::kernels
