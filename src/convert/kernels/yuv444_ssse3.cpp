#include <tmmintrin.h>

#include "convert/kernels/yuv444_kernels.h"
#include "convert/kernels/yuv_math.h"

namespace vyr::kernels
{
namespace
{

// Byte shuffles that put each sample in the high byte of a 16-bit lane (the low byte cleared), for
// the two units at byte `at` of a register: their lumas, and per cell the unit's U and V.
inline __m128i highBytes(int at, const int (&offsets)[8])
{
    alignas(16) int8_t m[16];
    for (int i = 0; i < 8; ++i) {
        m[2 * i] = -1;
        m[2 * i + 1] = static_cast<int8_t>(at + offsets[i]);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

constexpr int kLumas[8] = {1, 2, 4, 5, 7, 8, 10, 11};
constexpr int kChromas[8] = {0, 3, 0, 3, 6, 9, 6, 9};

} // namespace

// Four units (24 bytes) per pass from two overlapping loads that stay within them.
void y411ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t units)
{
    const __m128i lumas0 = highBytes(0, kLumas), chromas0 = highBytes(0, kChromas);
    const __m128i lumas1 = highBytes(4, kLumas), chromas1 = highBytes(4, kChromas);
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

} // namespace vyr::kernels
