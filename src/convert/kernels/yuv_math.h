// The YUV equations on 16-bit lanes, written once over the register vocabulary of vec.h.
//
// YUV to RGB: Y * 2^14 is a whole multiple of 2^14, so (Y * 2^14 + t) >> 14 = Y + (t >> 14) and
// each channel is Y plus a chroma offset. With 4u and 4v in 16-bit lanes the high half of a
// 16 x 16 product is (4u * c) >> 16 = (u * c) >> 14, and a multiply-add of the pair gives the green
// sum exactly before its shift: bit-identical to the 32-bit equations.
#pragma once

#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

template <bool On>
struct Streaming {
    static constexpr bool value = On;
};

// Runs `body(O, stream, src, dst)` over `steps` 16-byte steps (SrcStep source and DstStep
// destination bytes each), Wide::kBytes / 16 steps at a time and the rest one at a time.
template <class Wide, size_t SrcStep, size_t DstStep, class Body>
inline void walk(const uint8_t* src, uint8_t* dst, size_t steps, Body body)
{
    constexpr size_t k = Wide::kBytes / 16;
    auto run = [&](auto stream) {
        size_t i = 0;
        for (; i + k <= steps; i += k)
            body(Wide{}, stream, src + i * SrcStep, dst + i * DstStep);
        for (; i < steps; ++i)
            body(V128{}, stream, src + i * SrcStep, dst + i * DstStep);
    };
    if (streamable(dst, steps * DstStep)) {
        run(Streaming<true>{});
        _mm_sfence();
    } else {
        run(Streaming<false>{});
    }
}

// 4 * (b - 128) in 16-bit lanes, b being the low or the high byte of each lane.
template <class O>
inline typename O::V lowByteTimes4(typename O::V x)
{
    return O::template srai16<6>(O::xor_(O::template slli16<8>(x), O::set16(-32768)));
}
template <class O>
inline typename O::V highByteTimes4(typename O::V x)
{
    return O::template srai16<6>(O::xor_(O::and_(x, O::set16(-256)), O::set16(-32768)));
}

// Eight pixels per lane: luma and the three offsets in 16-bit lanes to B, G, R, 0 bytes (pixels
// 0-3 of each lane in `first`, 4-7 in `second`).
template <class O>
inline void bgrxFromOffsets(typename O::V y, typename O::V b, typename O::V g, typename O::V r,
                            typename O::V& first, typename O::V& second)
{
    bgrxFromWords<O>(O::add16(y, b), O::add16(y, g), O::add16(y, r), first, second);
}

// Four cells per lane: uv4 holds 4u, 4v of each cell side by side, y the cells' eight lumas.
template <class O>
inline void bgrxFromCells(typename O::V y, typename O::V uv4, typename O::V& first, typename O::V& second)
{
    const typename O::V br = O::mulhi16(uv4, O::pair16(29147, 23060));
    const typename O::V g = O::template srai32<16>(O::madd16(uv4, O::pair16(-5661, -11746)));
    bgrxFromOffsets<O>(y, O::template shuffle16<0xA0>(br), O::template shuffle16<0xA0>(g),
                       O::template shuffle16<0xF5>(br), first, second);
}

// Eight pixels per lane with their own chroma: u4 = 4u and v4 = 4v per pixel.
template <class O>
inline void bgrxFromPixels(typename O::V y, typename O::V u4, typename O::V v4, typename O::V& first,
                           typename O::V& second)
{
    const typename O::V k = O::pair16(-5661, -11746);
    const typename O::V g = O::packs32(O::template srai32<16>(O::madd16(O::unpacklo16(u4, v4), k)),
                                       O::template srai32<16>(O::madd16(O::unpackhi16(u4, v4), k)));
    bgrxFromOffsets<O>(y, O::mulhi16(u4, O::set16(29147)), g, O::mulhi16(v4, O::set16(23060)), first, second);
}

} // namespace
} // namespace vyr::convert::kernels
