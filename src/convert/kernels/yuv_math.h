// The YUV equations on 16-bit lanes, written once over the register vocabulary of vec.h.
//
// YUV to RGB: Y * 2^14 is a whole multiple of 2^14, so (Y * 2^14 + t) >> 14 = Y + (t >> 14) and
// each channel is Y plus a chroma offset. With 4u and 4v in 16-bit lanes the high half of a
// 16 x 16 product is (4u * c) >> 16 = (u * c) >> 14, and a multiply-add of the pair gives the green
// sum exactly before its shift: bit-identical to the 32-bit equations.
#pragma once

#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Steps of 16-byte registers: Step::kSrcStep source and Step::kDstStep destination bytes each,
// converted by step.convert<W, Stream>(src, dst) on a width W, Wide::kBytes / 16 steps at a time and
// the rest one at a time with V128.
template <class Wide, class Step>
struct Walk {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t steps, const Step& step)
    {
        constexpr size_t k = Wide::kBytes / 16;
        size_t i = 0;
        for (; i + k <= steps; i += k)
            step.template convert<Wide, Stream>(src + i * Step::kSrcStep, dst + i * Step::kDstStep);
        for (; i < steps; ++i)
            step.template convert<V128, Stream>(src + i * Step::kSrcStep, dst + i * Step::kDstStep);
    }
};

template <class Wide, class Step>
inline void walk(const uint8_t* src, uint8_t* dst, size_t steps, const Step& step)
{
    withStores<Walk<Wide, Step>>(dst, steps * Step::kDstStep, src, dst, steps, step);
}

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

// Eight pixels per lane: luma and the three offsets in 16-bit lanes to B, G, R, 0 bytes (pixels
// 0-3 of each lane in `first`, 4-7 in `second`).
template <class W>
inline void bgrxFromOffsets(typename W::V y, typename W::V b, typename W::V g, typename W::V r,
                            typename W::V& first, typename W::V& second)
{
    bgrxFromWords<W>(W::add16(y, b), W::add16(y, g), W::add16(y, r), first, second);
}

// Four cells per lane: uv4 holds 4u, 4v of each cell side by side, y the cells' eight lumas.
template <class W>
inline void bgrxFromCells(typename W::V y, typename W::V uv4, typename W::V& first, typename W::V& second)
{
    const typename W::V br = W::mulhi16(uv4, W::pair16(29147, 23060));
    const typename W::V g = W::template srai32<16>(W::madd16(uv4, W::pair16(-5661, -11746)));
    bgrxFromOffsets<W>(y, W::template shuffle16<0xA0>(br), W::template shuffle16<0xA0>(g),
                       W::template shuffle16<0xF5>(br), first, second);
}

// Eight pixels per lane with their own chroma: u4 = 4u and v4 = 4v per pixel.
template <class W>
inline void bgrxFromPixels(typename W::V y, typename W::V u4, typename W::V v4, typename W::V& first,
                           typename W::V& second)
{
    const typename W::V k = W::pair16(-5661, -11746);
    const typename W::V g = W::packs32(W::template srai32<16>(W::madd16(W::unpacklo16(u4, v4), k)),
                                       W::template srai32<16>(W::madd16(W::unpackhi16(u4, v4), k)));
    bgrxFromOffsets<W>(y, W::mulhi16(u4, W::set16(29147)), g, W::mulhi16(v4, W::set16(23060)), first, second);
}

} // namespace
} // namespace vyr::convert::kernels
