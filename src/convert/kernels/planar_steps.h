// The planar unit kernels written once over the register vocabulary of vec.h and the byte routes of
// route.h.
#pragma once

#include "convert/kernels/packed_rgb_steps.h"
#include "convert/kernels/planar_kernels.h"
#include "convert/kernels/units.h"

namespace vyr::convert::kernels {
namespace {

// The red word of one stream, the green and blue words of another, to planes red, green, blue.
struct LowAndHighToPlanes {
    static constexpr int kIn[] = {4, 4}, kOut[] = {2, 2, 2};
    static constexpr From from(int plane, int byte, int)
    {
        const int at = byte / 2 * 4 + byte % 2;
        return plane == 0 ? From{1, at} : From{0, at + (plane == 1 ? 2 : 0)};
    }
};

template <class W>
struct Steps<tag::Rgb101010ToRgbp16, W> {
    Words101010<W> words;
    explicit Steps(uint32_t a) : words(a) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        typename W::V low[4], high[4];
        eachInput<tag::Rgb101010ToRgbp16, W>(in, i,
                                             [&](size_t k, typename W::V w) { words(w, low[k], high[k]); });
        const typename W::V* streams[2] = {low, high};
        routeToMemory<LowAndHighToPlanes, W, Stream>(streams, out, i);
    }
};

// The low bytes of words in planes red, green, blue, to RGB8888 with a 0 fourth byte.
struct WordPlanesToRgb8888 {
    static constexpr int kIn[] = {2, 2, 2}, kOut[] = {4};
    static constexpr From from(int, int byte, int)
    {
        return byte % 4 < 3 ? From{2 - byte % 4, byte / 4 * 2} : zeroByte();
    }
};

template <class W>
struct Steps<tag::Rgbp16ToRgb8888, W> {
    __m128i shift;
    explicit Steps(uint32_t a) : shift(shiftBy<8>(a)) {}
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        using K = tag::Rgbp16ToRgb8888;
        typename W::V planes[3][2];
        for (size_t k = 0; k < 3; ++k) {
            for (size_t h = 0; h < 2; ++h)
                planes[k][h] = W::srl16(loadUnit<K, W>(in, k, i, h), shift);
        }
        const typename W::V* streams[3] = {planes[0], planes[1], planes[2]};
        routeToMemory<WordPlanesToRgb8888, W, Stream>(streams, out, i);
    }
};

// Byte n of every 16-byte lane: the mirror of the nibble n, in the high nibble or the low one.
struct MirrorTables {
    alignas(64) uint8_t high[64], low[64];
};
constexpr MirrorTables mirrorTables()
{
    MirrorTables t{};
    for (int i = 0; i < 64; ++i) {
        const int n = i % 16, m = (n & 1) << 3 | (n & 2) << 1 | (n & 4) >> 1 | (n & 8) >> 3;
        t.high[i] = uint8_t(m << 4);
        t.low[i] = uint8_t(m);
    }
    return t;
}
constexpr MirrorTables kMirrorTables = mirrorTables();

inline __m128i shuffleBytes(__m128i table, __m128i index) { return _mm_shuffle_epi8(table, index); }
#if defined(__AVX512BW__)
inline __m512i shuffleBytes(__m512i table, __m512i index) { return _mm512_shuffle_epi8(table, index); }
#endif

// The low nibble mirrored into the high one, the high nibble into the low one.
template <class W>
struct Steps<tag::MirrorBits, W> {
    typename W::V toHigh, toLow;
    explicit Steps(uint32_t) : toHigh(W::load(kMirrorTables.high)), toLow(W::load(kMirrorTables.low)) {}
    typename W::V mirror(typename W::V v) const
    {
        const typename W::V nibble = W::set16(0x0F0F);
        const typename W::V low = shuffleBytes(toHigh, W::and_(v, nibble));
        const typename W::V high = shuffleBytes(toLow, W::and_(W::template srli16<4>(v), nibble));
        return W::or_(low, high);
    }
    template <bool Stream>
    void unit(const uint8_t* const* in, uint8_t* const* out, size_t i) const
    {
        storeUnit<tag::MirrorBits, W, Stream>(out, 0, i, 0,
                                              mirror(loadUnit<tag::MirrorBits, W>(in, 0, i, 0)));
    }
};

} // namespace
} // namespace vyr::convert::kernels
