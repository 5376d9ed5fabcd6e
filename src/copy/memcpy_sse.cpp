#include <xmmintrin.h>

#include "copy/memcpy_kernels.h"

namespace vyr::copy {

// Only SSE instructions: the path runs wherever VyrUtilIsSSE holds, SSE2 or not.
void copyStreamingSse(uint8_t* dst, const uint8_t* src, size_t bytes)
{
    auto* d = reinterpret_cast<float*>(dst);
    auto* s = reinterpret_cast<const float*>(src);
    for (size_t i = 0; i < bytes / 4; i += 8) {
        const __m128 a = _mm_load_ps(s + i);
        const __m128 b = _mm_load_ps(s + i + 4);
        _mm_stream_ps(d + i, a);
        _mm_stream_ps(d + i + 4, b);
    }
    _mm_sfence();
}

} // namespace vyr::copy
