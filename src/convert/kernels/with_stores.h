// Runs a kernel loop with streaming stores where the destination allows them (large and 16-byte
// aligned, see store.h) and with plain ones elsewhere. The loop is a generic lambda taking a
// Stores<bool>; it passes Stores::kStream to store16. Internal linkage, as in store.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

#include "convert/kernels/store.h"

namespace vyr::convert::kernels {

template <bool Stream>
struct Stores {
    static constexpr bool kStream = Stream;
};

template <class Loop>
static inline void withStores(uint8_t* dst, size_t bytes, Loop&& loop)
{
    if (streamable(dst, bytes)) {
        loop(Stores<true>());
        _mm_sfence();
    } else {
        loop(Stores<false>());
    }
}

static inline __m128i load16(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
static inline __m128i load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
static inline void put8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

} // namespace vyr::convert::kernels
