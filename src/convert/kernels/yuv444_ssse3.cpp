#include <tmmintrin.h>

#include "convert/kernels/y411_shuffle.h"
#include "convert/kernels/yuv444_kernels.h"
#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

inline __m128i highBytes(int at, const int (&offsets)[8])
{
    alignas(16) int8_t m[16];
    highByteShuffle(m, at, offsets);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

} // namespace

// Four units (24 bytes) per pass from two overlapping loads that stay within them.
void y411ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t units)
{
    const __m128i lumas0 = highBytes(0, kY411Lumas), chromas0 = highBytes(0, kY411Chromas);
    const __m128i lumas1 = highBytes(4, kY411Lumas), chromas1 = highBytes(4, kY411Chromas);
    walk<V128, 24, 64>(src, dst, units / 4, [&](auto, auto stream, const uint8_t* s, uint8_t* d) {
        const __m128i a = V128::load(s), b = V128::load(s + 8);
        __m128i first, second;
        bgrxFromCells<V128>(_mm_srli_epi16(_mm_shuffle_epi8(a, lumas0), 8),
                            highByteTimes4<V128>(_mm_shuffle_epi8(a, chromas0)), first, second);
        V128::storeLanes<decltype(stream)::value>(d, first, second);
        bgrxFromCells<V128>(_mm_srli_epi16(_mm_shuffle_epi8(b, lumas1), 8),
                            highByteTimes4<V128>(_mm_shuffle_epi8(b, chromas1)), first, second);
        V128::storeLanes<decltype(stream)::value>(d + 32, first, second);
    });
}

} // namespace vyr::convert::kernels
