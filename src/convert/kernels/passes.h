// Pixel kernels that convert a fixed number of pixels a pass, run over any number of pixels: whole
// passes on the caller's buffers, the rest through one pass on zeroed stack blocks, so that a kernel
// reads and writes only its run.
//
// Kernel files are compiled for different instruction sets: everything here has internal linkage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

// Beyond the caches, a kernel whose arithmetic between loads leaves the hardware prefetcher behind fetches
// the `Bytes` it reads next this far ahead (2 KiB measured best of 1-4 KiB); a prefetch past the end of a
// buffer does not fault.
constexpr size_t kAheadBytes = 2048;
// A kernel that does almost nothing per byte read outruns the prefetcher instead, its loads waiting on
// memory one after the other: it fetches a page ahead into the second-level cache only (hint T2), which
// leaves the first level's fill buffers to its own loads (T0 measured slower than none).
constexpr size_t kPageAhead = 4096;

template <size_t Bytes, size_t Ahead = kAheadBytes, bool SecondLevel = false>
inline void fetchAhead(const uint8_t* src)
{
    for (size_t k = 0; k < Bytes; k += 64) {
        const char* p = reinterpret_cast<const char*>(src + Ahead + k);
        if constexpr (SecondLevel)
            _mm_prefetch(p, _MM_HINT_T2);
        else
            _mm_prefetch(p, _MM_HINT_T0);
    }
}

#if defined(__AVX512BW__)
// The bytes of `bytes` stored, the rest of the destination kept. Unlike a plain store, a masked one does
// not bring its line in ahead of it: beyond the caches each waited for memory, until the line kAheadBytes
// on was fetched with it (Bicolor88 to RGB8888 on a frame: 0.49 to 0.9 of memcpy).
inline void storeKeeping(uint8_t* p, __mmask64 bytes, __m512i v)
{
    fetchAhead<64>(p);
    _mm512_mask_storeu_epi8(p, bytes, v);
}
#endif

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

// Loop::run<Stream>(src, dst, n) over the whole passes of Pixels pixels, then the rest through one
// pass on zeroed stack blocks.
template <class Loop, size_t Pixels, size_t SrcBytes = 4, size_t DstBytes = 4>
inline void runWholeThenRest(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const size_t whole = pixels / Pixels * Pixels;
    withStores<Loop>(dst, std::max(SrcBytes, DstBytes) * pixels, src, dst, whole);
    if (whole < pixels) {
        alignas(64) uint8_t in[SrcBytes * Pixels] = {};
        alignas(64) uint8_t out[DstBytes * Pixels];
        __builtin_memcpy(in, src + SrcBytes * whole, SrcBytes * (pixels - whole));
        Loop::template run<false>(in, out, Pixels);
        __builtin_memcpy(dst + DstBytes * whole, out, DstBytes * (pixels - whole));
    }
}

template <class Pass, size_t SrcBytes = 4, size_t DstBytes = 4>
inline void runPasses(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    runWholeThenRest<WholePasses<Pass, SrcBytes, DstBytes>, Pass::kPixels, SrcBytes, DstBytes>(src, dst,
                                                                                               pixels);
}

} // namespace
} // namespace vyr::convert::kernels
