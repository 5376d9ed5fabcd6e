// The grey kernels written once over the register vocabulary of vec.h.
#pragma once

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/store.h"
#include "convert/kernels/units.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Pixels as bytes B, G, R, G to 32-bit luminances (117 B + 601 G + 306 R) >> 10: one byte multiply-add
// gives words 117 B + 7 G and 34 R + 66 G (at most 124 x 255, never saturated), one word multiply-add
// adds the first to 9 times the second (all of it Scale times over).
template <class W, int16_t Scale = 1>
inline typename W::V lumaSumOfBgrg(typename W::V bgrg)
{
    const typename W::V words = W::maddubs16(bgrg, W::set32(int32_t(117 | 7 << 8 | 34 << 16 | 66u << 24)));
    return W::madd16(words, W::pair16(Scale, 9 * Scale));
}
template <class W>
inline typename W::V lumaOfBgrg(typename W::V bgrg)
{
    return W::template srli32<10>(lumaSumOfBgrg<W>(bgrg));
}

// Bytes 0, 1, 2, 1 of every 4-byte pixel, in each 16-byte lane.
struct BgrgOfPixels {
    alignas(64) uint8_t index[64];
};
constexpr BgrgOfPixels bgrgOfPixels()
{
    BgrgOfPixels t{};
    for (int i = 0; i < 64; ++i)
        t.index[i] = uint8_t(i % 16 / 4 * 4 + (i % 4 == 3 ? 1 : i % 4));
    return t;
}
constexpr BgrgOfPixels kBgrgOfPixels = bgrgOfPixels();

// RGB8888 pixels to 32-bit luminances (117 B + 601 G + 306 R) >> 10: by bytes where the width
// shuffles them (AVX2 and up), by words at SSE2.
template <class W>
inline typename W::V luma(typename W::V pixels)
{
    if constexpr (W::kBytes > 16)
        return lumaOfBgrg<W>(W::shuffle8(pixels, W::load(kBgrgOfPixels.index)));
    const typename W::V blueRed = W::and_(pixels, W::set16(0xFF));
    const typename W::V greenFourth = W::template srli16<8>(pixels);
    const typename W::V sum =
        W::add32(W::madd16(blueRed, W::pair16(117, 306)), W::madd16(greenFourth, W::set32(601)));
    return W::template srli32<10>(sum);
}

// The luminances of four registers of pixels as bytes.
template <class W>
inline typename W::V lumaBytes(const uint8_t* src)
{
    return W::bytesOf32Ordered(luma<W>(W::load(src)), luma<W>(W::load(src + W::kBytes)),
                               luma<W>(W::load(src + 2 * W::kBytes)), luma<W>(W::load(src + 3 * W::kBytes)));
}

// RGB8888 to MONO8, W::kBytes pixels per pass.
template <class W>
struct Rgb8888ToMono8 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += W::kBytes)
            W::template store<Stream>(dst + i, lumaBytes<W>(src + 4 * i));
    }
};

// ---- Unit kernels ------------------------------------------------------------------------------------

// The unit's bytes zero-extended to words: the first half of the pixels, then the second.
template <class W>
inline void widenedBytes(const uint8_t* p, typename W::V& first, typename W::V& second)
{
    first = W::loadWidened8(p);
    second = W::loadWidened8(p + W::kBytes / 2);
}

// Words of a unit (two registers) through f, packed to a register of bytes.
template <class K, class W, class F>
inline typename W::V bytesOfWords(const uint8_t* const* in, size_t i, F f)
{
    return W::packus16Ordered(f(loadUnit<K, W>(in, 0, i, 0)), f(loadUnit<K, W>(in, 0, i, 1)));
}

// Bytes of a unit widened to words, through f, stored as two registers of words.
template <class K, class W, bool Stream, class F>
inline void wordsOfBytes(const uint8_t* const* in, uint8_t* const* out, size_t i, F f)
{
    typename W::V first, second;
    widenedBytes<W>(in[0] + i, first, second);
    storeUnit<K, W, Stream>(out, 0, i, 0, f(first));
    storeUnit<K, W, Stream>(out, 0, i, 1, f(second));
}

template <class W>
struct Steps<tag::Mono16ToMono8, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const auto low = [&](typename W::V v) { return W::and_(W::srl16(v, shift), W::set16(0xFF)); };
        storeUnit<tag::Mono16ToMono8, W, Stream>(out, 0, i, 0,
                                                 bytesOfWords<tag::Mono16ToMono8, W>(in, i, low));
    }
};

template <class W>
struct Steps<tag::Mono32ToMono8, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<24>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Mono32ToMono8;
        typename W::V v[4];
        eachInput<K, W>(
            in, i, [&](size_t k, typename W::V x) { v[k] = W::and_(W::srl32(x, shift), W::set32(0xFF)); });
        storeUnit<K, W, Stream>(out, 0, i, 0, W::bytesOf32Ordered(v[0], v[1], v[2], v[3]));
    }
};

template <class W>
struct Steps<tag::Mono8ToMono16, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordsOfBytes<tag::Mono8ToMono16, W, Stream>(in, out, i,
                                                    [&](typename W::V v) { return W::sll16(v, shift); });
    }
};

// The offset is added whatever the depth: it flips bit 15.
template <class W>
struct Steps<tag::Mono8ToInt16, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordsOfBytes<tag::Mono8ToInt16, W, Stream>(in, out, i, [&](typename W::V v) {
            return W::xor_(W::sll16(v, shift), W::set16(int16_t(0x8000)));
        });
    }
};

template <class W>
struct Steps<tag::FlipSign8, W> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const typename W::V v = loadUnit<tag::FlipSign8, W>(in, 0, i, 0);
        storeUnit<tag::FlipSign8, W, Stream>(out, 0, i, 0, W::xor_(v, W::set16(int16_t(0x8080))));
    }
};

// q = v / 2^s truncated toward zero (a bias of 2^s - 1 for negative v), + 128, saturated to a byte.
// Full depth takes floor(v / 256) + 128 instead: no bias.
template <class W>
struct Steps<tag::Int16ToMono8, W> {
    __m128i shift;
    typename W::V bias;
    explicit Steps(uint32_t a)
        : shift(shiftBy<8>(a)), bias(W::set16(int16_t(a == 0 ? 0 : (1 << (8 - a)) - 1)))
    {
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const auto offset = [&](typename W::V v) {
            const typename W::V q = W::sra16(W::add16(v, W::and_(W::template srai16<15>(v), bias)), shift);
            return W::adds16(q, W::set16(128));
        };
        storeUnit<tag::Int16ToMono8, W, Stream>(out, 0, i, 0,
                                                bytesOfWords<tag::Int16ToMono8, W>(in, i, offset));
    }
};

// One value c in the three fields of RGB5551, ORed (a value wider than a field spills).
template <class W>
inline typename W::V rgb5551Fields(typename W::V c)
{
    return W::or_(W::or_(c, W::template slli16<5>(c)), W::template slli16<10>(c));
}

// Green g and c = g >> 1 in the fields of RGB565, ORed.
template <class W>
inline typename W::V rgb565Fields(typename W::V g)
{
    const typename W::V c = W::template srli16<1>(g);
    return W::or_(W::or_(W::template slli16<11>(c), W::template slli16<5>(g)), c);
}

// Each word of the input through f to a word of the output.
template <class K, class W, bool Stream, class F>
inline void wordToWord(const uint8_t* const* in, uint8_t* const* out, size_t i, F f)
{
    eachInput<K, W>(in, i, [&](size_t k, typename W::V v) { storeUnit<K, W, Stream>(out, 0, i, k, f(v)); });
}

template <class W>
struct Steps<tag::Mono16ToRgb5551, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<11>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordToWord<tag::Mono16ToRgb5551, W, Stream>(in, out, i, [&](typename W::V v) {
            return rgb5551Fields<W>(W::and_(W::srl16(v, shift), W::set16(31)));
        });
    }
};

template <class W>
struct Steps<tag::Mono16ToRgb565, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<10>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordToWord<tag::Mono16ToRgb565, W, Stream>(in, out, i, [&](typename W::V v) {
            return rgb565Fields<W>(W::and_(W::srl16(v, shift), W::set16(63)));
        });
    }
};

// c in the low byte of every word, doubled to both bytes, doubled again to four.
template <class W>
struct Steps<tag::Mono16ToRgb8888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Mono16ToRgb8888;
        eachInput<K, W>(in, i, [&](size_t k, typename W::V v) {
            const typename W::V c = W::and_(W::srl16(v, shift), W::set16(0xFF));
            const typename W::V cc = W::or_(c, W::template slli16<8>(c));
            W::template storeLanes<Stream>(out[0] + 4 * i + 2 * k * W::kBytes, W::unpacklo16(cc, cc),
                                           W::unpackhi16(cc, cc));
        });
    }
};

// The low byte of every word to all three bytes of a pixel.
using WordLowTo3 = PixelRoute<2, 3, 0, 0, 0>;

template <class W>
struct Steps<tag::Mono16ToRgb888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V c[2];
        eachInput<tag::Mono16ToRgb888, W>(in, i,
                                          [&](size_t k, typename W::V v) { c[k] = W::srl16(v, shift); });
        const typename W::V* words[1] = {c};
        routeToMemory<WordLowTo3, W, Stream>(words, out, i);
    }
};

// The grey value shifted, unmasked: a value wider than a field spills into the next.
template <class W>
struct Steps<tag::Mono8ToRgb5551, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<3>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordsOfBytes<tag::Mono8ToRgb5551, W, Stream>(
            in, out, i, [&](typename W::V v) { return rgb5551Fields<W>(W::srl16(v, shift)); });
    }
};

template <class W>
struct Steps<tag::Mono8ToRgb565, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<2>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordsOfBytes<tag::Mono8ToRgb565, W, Stream>(
            in, out, i, [&](typename W::V v) { return rgb565Fields<W>(W::srl16(v, shift)); });
    }
};

// Every field of the doubled byte is its top five bits c = v >> 3: c times 1 + 2^6 + 2^11 puts c in
// blue, in green above its lowest bit, and in red (c < 32: nothing carries).
template <class W>
struct Steps<tag::Mono8ToRgb565Doubled, W> {
    typename W::V fields = opaque(W::set16(0x0841));
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        wordsOfBytes<tag::Mono8ToRgb565Doubled, W, Stream>(
            in, out, i, [&](typename W::V v) { return W::mullo16(W::template srli16<3>(v), fields); });
    }
};

template <class W>
struct Steps<tag::Rgb8888ToMono8, W> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        storeUnit<tag::Rgb8888ToMono8, W, Stream>(out, 0, i, 0, lumaBytes<W>(in[0] + 4 * i));
    }
};

// RGB888 spread to bytes B, G, R, G.
using Rgb888ToBgrg = PixelRoute<3, 4, 0, 1, 2, 1>;

template <class W>
struct Steps<tag::Rgb888ToMono8, W> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V q[4];
        routeUnitToRegisters<Rgb888ToBgrg, W>(in, i, q);
        storeUnit<tag::Rgb888ToMono8, W, Stream>(out, 0, i, 0,
                                                 W::bytesOf32Ordered(lumaOfBgrg<W>(q[0]), lumaOfBgrg<W>(q[1]),
                                                                     lumaOfBgrg<W>(q[2]),
                                                                     lumaOfBgrg<W>(q[3])));
    }
};

#if defined(__AVX512VBMI__)
// Sums 64 times over put the luminance in byte 2 of every 32-bit lane (at most 64 x (31620 + 9 x 25500),
// below 2^31).
inline __m512i lumaSum64OfBgrg(__m512i bgrg) { return lumaSumOfBgrg<V512, 64>(bgrg); }

// Byte 2 of every 32-bit lane of two registers, in order, twice over.
struct Byte2OfTwo {
    alignas(64) uint8_t index[64];
};
constexpr Byte2OfTwo byte2OfTwo()
{
    Byte2OfTwo t{};
    for (int j = 0; j < 64; ++j)
        t.index[j] = uint8_t(4 * (j % 32) + 2);
    return t;
}
constexpr Byte2OfTwo kByte2OfTwo = byte2OfTwo();

// Byte 2 of every 32-bit lane of four registers (pixels 16k to 16k + 15 in register k) as one register
// of bytes: a permute per two registers, one blend of the halves.
inline __m512i bytes2Of(__m512i v0, __m512i v1, __m512i v2, __m512i v3)
{
    const __m512i index = V512::load(kByte2OfTwo.index);
    return _mm512_mask_mov_epi8(_mm512_permutex2var_epi8(v0, index, v1), 0xFFFFFFFF00000000,
                                _mm512_permutex2var_epi8(v2, index, v3));
}

template <>
struct Steps<tag::Rgb888ToMono8, V512> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        __m512i q[4];
        routeUnitToRegisters<Rgb888ToBgrg, V512>(in, i, q);
        V512::store<Stream>(out[0] + i, bytes2Of(lumaSum64OfBgrg(q[0]), lumaSum64OfBgrg(q[1]),
                                                 lumaSum64OfBgrg(q[2]), lumaSum64OfBgrg(q[3])));
    }
};

template <>
struct Steps<tag::Rgb8888ToMono8, V512> {
    explicit Steps(uint32_t) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        const __m512i bgrg = V512::load(kBgrgOfPixels.index);
        const auto sum = [&](size_t k) {
            return lumaSum64OfBgrg(V512::shuffle8(V512::load(in[0] + 4 * i + 64 * k), bgrg));
        };
        V512::store<Stream>(out[0] + i, bytes2Of(sum(0), sum(1), sum(2), sum(3)));
    }
};
#endif

} // namespace
} // namespace vyr::convert::kernels
