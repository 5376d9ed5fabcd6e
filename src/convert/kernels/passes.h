// Pixel kernels that convert a fixed number of pixels a pass, run over any number of pixels: whole
// passes on the caller's buffers, the rest through one pass on zeroed stack blocks, so that a kernel
// reads and writes only its run.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

// Beyond the caches, a kernel whose arithmetic between loads leaves the hardware prefetcher behind fetches
// the `Bytes` it reads next this far ahead (2 KiB measured best of 1-4 KiB); a prefetch past the end of a
// buffer does not fault.
constexpr size_t kAheadBytes = 2048;
template <size_t Bytes>
inline void fetchAhead(const uint8_t* src)
{
    for (size_t k = 0; k < Bytes; k += 64)
        _mm_prefetch(reinterpret_cast<const char*>(src + kAheadBytes + k), _MM_HINT_T0);
}

// Pass::convert<Stream>(src, dst) converts Pass::kPixels pixels of SrcBytes to DstBytes bytes.
template <class Pass, size_t SrcBytes, size_t DstBytes>
struct WholePasses {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += Pass::kPixels)
            Pass::template convert<Stream>(src + SrcBytes * i, dst + DstBytes * i);
    }
};

template <class Pass, size_t SrcBytes = 4, size_t DstBytes = 4>
inline void runPasses(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const size_t whole = pixels / Pass::kPixels * Pass::kPixels;
    withStores<WholePasses<Pass, SrcBytes, DstBytes>>(dst, DstBytes * pixels, src, dst, whole);
    if (whole < pixels) {
        alignas(64) uint8_t in[SrcBytes * Pass::kPixels] = {};
        alignas(64) uint8_t out[DstBytes * Pass::kPixels];
        __builtin_memcpy(in, src + SrcBytes * whole, SrcBytes * (pixels - whole));
        Pass::template convert<false>(in, out);
        __builtin_memcpy(dst + DstBytes * whole, out, DstBytes * (pixels - whole));
    }
}

} // namespace
} // namespace vyr::convert::kernels
