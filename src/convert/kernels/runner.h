// The head/middle/tail frame around a block kernel.
//
// A kernel converts a nonzero multiple of B pixels straight from source to destination and never
// sees a partial block. The runner gives it the middle of the run on the caller's buffers, and the
// head and tail through one stack block each, so nothing outside the run is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vyr::convert::kernels {

using Kernel = void (*)(const uint8_t* src, uint8_t* dst, size_t pixels);

// Head rules: how many pixels to convert before the middle, from the destination address.
inline uint32_t headTo8(const void* dst)
{
    return static_cast<uint32_t>(0u - reinterpret_cast<uintptr_t>(dst)) & 7u;
}
inline uint32_t headWordsTo8(const void* dst) // 4-byte pixels up to an 8-byte boundary
{
    return (static_cast<uint32_t>(0u - reinterpret_cast<uintptr_t>(dst)) / 4u) & 1u;
}
inline uint32_t headTriplesTo8(const void* dst) // 3-byte pixels up to an 8-byte boundary
{
    return (3u * headTo8(dst)) & 7u;
}
// Units of unitBytes destination bytes up to the next 16-byte boundary (whole units only: with a
// destination that no whole unit aligns, the head is short and only speed suffers).
inline uint32_t headTo16(const void* dst, uint32_t unitBytes)
{
    return ((0u - static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dst))) & 15u) / unitBytes;
}

template <uint32_t B, uint32_t SrcBpp, uint32_t DstBpp, class K>
inline void throughStackBlock(const uint8_t* src, uint8_t* dst, uint32_t pixels, K&& kernel)
{
    alignas(16) uint8_t s[B * SrcBpp] = {};
    alignas(16) uint8_t d[B * DstBpp];
    std::memcpy(s, src, size_t(pixels) * SrcBpp);
    kernel(s, d, size_t(B));
    std::memcpy(dst, d, size_t(pixels) * DstBpp);
}

// h = min(n, h0) pixels through a stack block, the largest multiple of B straight through the
// kernel, the remaining fewer than B through a stack block.
template <uint32_t B, uint32_t SrcBpp, uint32_t DstBpp, class K>
inline void runBlocks(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t h0, K&& kernel)
{
    const uint32_t h = n < h0 ? n : h0;
    const uint32_t m = (n - h) / B * B;
    const uint32_t t = n - h - m;
    if (h)
        throughStackBlock<B, SrcBpp, DstBpp>(src, dst, h, kernel);
    src += size_t(h) * SrcBpp;
    dst += size_t(h) * DstBpp;
    if (m)
        kernel(src, dst, size_t(m));
    src += size_t(m) * SrcBpp;
    dst += size_t(m) * DstBpp;
    if (t)
        throughStackBlock<B, SrcBpp, DstBpp>(src, dst, t, kernel);
}

} // namespace vyr::convert::kernels
