// One byte of every 4-byte pixel, written once over a width of vec.h: the grey planes of the colour
// spaces (V of HSV, L of LAB).
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/passes.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Four registers of pixels to one register of byte Byte of each.
template <class W, int Byte>
struct BytePlane {
    static constexpr size_t kPixels = W::kBytes;

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        auto plane = [src](size_t k) {
            return W::and_(W::template srli32<8 * Byte>(W::load(src + k * W::kBytes)), W::set32(0xFF));
        };
        W::template store<Stream>(dst, W::bytesOf32Ordered(plane(0), plane(1), plane(2), plane(3)));
    }
};

template <class W, int Byte>
inline void bytePlane(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runPasses<BytePlane<W, Byte>, 4, 1>(src, dst, pixels);
}

} // namespace
} // namespace vyr::convert::kernels
