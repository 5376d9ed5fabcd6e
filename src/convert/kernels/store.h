// Stores shared by the kernels: plain unaligned ones, or streaming ones for large destinations.
// Kernel files are compiled for different instruction sets, so everything here has internal
// linkage: the linker must never pick one file's copy for another.
#pragma once

#include <cstdint>
#include <emmintrin.h>

#include "convert/kernels/simd.h"

namespace vyr::convert::kernels {

template <bool Stream>
static inline void store16(uint8_t* p, __m128i v)
{
    if (Stream)
        _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Streaming pays only for destinations beyond the caches, and needs 16-byte alignment.
static inline bool streamable(const uint8_t* dst, size_t bytes)
{
    return bytes >= kStreamingBytes && (reinterpret_cast<uintptr_t>(dst) & 15) == 0;
}

} // namespace vyr::convert::kernels
