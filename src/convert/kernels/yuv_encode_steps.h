// The RGB and MONO to YUV kernels over the register vocabulary of vec.h; each instruction-set file
// instantiates them for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// Four pixels per lane. Every product fits 32 bits: the sums are exact before their shifts.
template <class Wide>
inline void rgb8888ToYuv(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<Wide, 16, 16>(src, dst, pixels / 4, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        using V = typename O::V;
        const V x = O::load(s);
        const V br = O::and_(x, O::set32(0x00FF00FF)); // words B, R
        const V gx = O::template srli16<8>(x);         // words G, X
        auto weigh = [&](int16_t b, int16_t g, int16_t r) {
            return O::template srai32<10>(
                O::add32(O::madd16(br, O::pair16(b, r)), O::madd16(gx, O::pair16(g, 0))));
        };
        // c sits in the low word of its lane, the high word being its sign.
        auto chroma = [](V c) {
            return O::add32(O::template srai32<15>(O::madd16(c, O::pair16(29426, 0))), O::set32(128));
        };
        const V y = weigh(117, 601, 306);
        const V u = chroma(weigh(512, -339, -173));
        const V v = chroma(weigh(-83, -429, 512));
        O::template store<decltype(stream)::value>(
            d, O::or_(O::or_(v, O::template slli32<8>(u)), O::template slli32<16>(y)));
    });
}

template <class Wide>
inline void mono8ToYuy2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<Wide, 16, 32>(src, dst, pixels / 16, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        const typename O::V x = O::load(s);
        const typename O::V half = O::set16(int16_t(0x8080));
        O::template storeLanes<decltype(stream)::value>(d, O::unpacklo8(x, half), O::unpackhi8(x, half));
    });
}

template <class Wide>
inline void mono16ToYuy2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t shift)
{
    const __m128i count = _mm_cvtsi32_si128(int(shift));
    walk<Wide, 16, 16>(src, dst, pixels / 8, [count](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        const typename O::V y = O::and_(O::srl16(O::load(s), count), O::set16(0xFF));
        O::template store<decltype(stream)::value>(d, O::or_(y, O::set16(-32768)));
    });
}

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_YUV_ENCODE_KERNELS(Isa, Wide)                                                                    \
    namespace vyr::convert::kernels {                                                                        \
    void rgb8888ToYuv##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        rgb8888ToYuv<Wide>(s, d, pixels);                                                                    \
    }                                                                                                        \
    void mono8ToYuy2##Isa(const uint8_t* s, uint8_t* d, size_t pixels) { mono8ToYuy2<Wide>(s, d, pixels); }  \
    void mono16ToYuy2##Isa(const uint8_t* s, uint8_t* d, size_t pixels, uint32_t shift)                      \
    {                                                                                                        \
        mono16ToYuy2<Wide>(s, d, pixels, shift);                                                             \
    }                                                                                                        \
    }
