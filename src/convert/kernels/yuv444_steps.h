// The 4:4:4 YUV kernel over the register vocabulary of vec.h; each instruction-set file
// instantiates it for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// Eight pixels per lane from two loads. The lumas and the V | U << 8 words are packed from the
// 32-bit pixels in lane order, so `first` holds the pixels of the first load and `second` those of
// the second, each in memory order.
template <class Wide>
inline void yuvToRgb8888(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<Wide, 32, 32>(src, dst, pixels / 8, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        using V = typename O::V;
        const V a = O::load(s), b = O::load(s + O::kBytes);
        const V byteMask = O::set32(0xFF);
        const V y = O::packs32(O::and_(O::template srli32<16>(a), byteMask),
                               O::and_(O::template srli32<16>(b), byteMask));
        const V vu = O::packs32(O::template srai32<16>(O::template slli32<16>(a)),
                                O::template srai32<16>(O::template slli32<16>(b)));
        typename O::V first, second;
        bgrxFromPixels<O>(y, highByteTimes4<O>(vu), lowByteTimes4<O>(vu), first, second);
        O::template store<decltype(stream)::value>(d, first);
        O::template store<decltype(stream)::value>(d + O::kBytes, second);
    });
}

} // namespace
} // namespace vyr::convert::kernels
