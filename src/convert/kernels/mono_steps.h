// The grey kernels written once over the register vocabulary of vec.h.
#pragma once

#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// RGB8888 pixels to 32-bit luminances (117 B + 601 G + 306 R) >> 10.
template <class W>
inline typename W::V luma(typename W::V pixels)
{
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

} // namespace
} // namespace vyr::convert::kernels
