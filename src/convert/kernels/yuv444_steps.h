// The 4:4:4 YUV kernel over the register vocabulary of vec.h; each instruction-set file
// instantiates it for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// Eight pixels per lane from two loads. The lumas and the V | U << 8 words are packed from the
// 32-bit pixels in lane order, so `first` holds the pixels of the first load and `second` those of
// the second, each in memory order.
struct YuvToRgb8888 {
    static constexpr size_t kSrcStep = 32, kDstStep = 32;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        using V = typename W::V;
        const V a = W::load(s), b = W::load(s + W::kBytes);
        const V byteMask = W::set32(0xFF);
        const V y = W::packs32(W::and_(W::template srli32<16>(a), byteMask),
                               W::and_(W::template srli32<16>(b), byteMask));
        const V vu = W::packs32(W::template srai32<16>(W::template slli32<16>(a)),
                                W::template srai32<16>(W::template slli32<16>(b)));
        V first, second;
        bgrxFromPixels<W>(y, highByteTimes4<W>(vu), lowByteTimes4<W>(vu), first, second);
        W::template store<Stream>(d, first);
        W::template store<Stream>(d + W::kBytes, second);
    }
};

} // namespace
} // namespace vyr::convert::kernels
