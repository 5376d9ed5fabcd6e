// The RGB and MONO to YUV kernels over the register vocabulary of vec.h; each instruction-set file
// instantiates them for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// (b * B + g * G + r * R) >> 10 per pixel, from words B, R (br) and G, X (gx) of its 32-bit lane.
template <class W>
inline typename W::V weigh(typename W::V br, typename W::V gx, int16_t b, int16_t g, int16_t r)
{
    return W::template srai32<10>(W::add32(W::madd16(br, W::pair16(b, r)), W::madd16(gx, W::pair16(g, 0))));
}

// c sits in the low word of its lane, the high word being its sign.
template <class W>
inline typename W::V chroma(typename W::V c)
{
    return W::add32(W::template srai32<15>(W::madd16(c, W::pair16(29426, 0))), W::set32(128));
}

// Four pixels per lane. Every product fits 32 bits: the sums are exact before their shifts.
struct Rgb8888ToYuv {
    static constexpr size_t kSrcStep = 16, kDstStep = 16;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        using V = typename W::V;
        const V x = W::load(s);
        const V br = W::and_(x, W::set32(0x00FF00FF)); // words B, R
        const V gx = W::template srli16<8>(x);         // words G, X
        const V y = weigh<W>(br, gx, 117, 601, 306);
        const V u = chroma<W>(weigh<W>(br, gx, 512, -339, -173));
        const V v = chroma<W>(weigh<W>(br, gx, -83, -429, 512));
        W::template store<Stream>(d, W::or_(W::or_(v, W::template slli32<8>(u)), W::template slli32<16>(y)));
    }
};

struct Mono8ToYuy2 {
    static constexpr size_t kSrcStep = 16, kDstStep = 32;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const typename W::V x = W::load(s);
        const typename W::V half = W::set16(int16_t(0x8080));
        W::template storeLanes<Stream>(d, W::unpacklo8(x, half), W::unpackhi8(x, half));
    }
};

struct Mono16ToYuy2 {
    static constexpr size_t kSrcStep = 16, kDstStep = 16;
    __m128i count;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const typename W::V y = W::and_(W::srl16(W::load(s), count), W::set16(0xFF));
        W::template store<Stream>(d, W::or_(y, W::set16(-32768)));
    }
};

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_YUV_ENCODE_KERNELS(Isa, Wide)                                                                    \
    namespace vyr::convert::kernels {                                                                        \
    void rgb8888ToYuv##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        walk<Wide>(s, d, pixels / 4, Rgb8888ToYuv());                                                        \
    }                                                                                                        \
    void mono8ToYuy2##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                       \
    {                                                                                                        \
        walk<Wide>(s, d, pixels / 16, Mono8ToYuy2());                                                        \
    }                                                                                                        \
    void mono16ToYuy2##Isa(const uint8_t* s, uint8_t* d, size_t pixels, uint32_t shift)                      \
    {                                                                                                        \
        walk<Wide>(s, d, pixels / 8, Mono16ToYuy2{_mm_cvtsi32_si128(int(shift))});                           \
    }                                                                                                        \
    }
