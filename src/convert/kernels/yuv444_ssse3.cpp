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

// Four units (24 bytes) per step from two overlapping loads that stay within them.
struct Y411ToRgb8888 {
    static constexpr size_t kSrcStep = 24, kDstStep = 64;
    __m128i lumas0 = highBytes(0, kY411Lumas), chromas0 = highBytes(0, kY411Chromas);
    __m128i lumas1 = highBytes(4, kY411Lumas), chromas1 = highBytes(4, kY411Chromas);

    template <class, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const __m128i a = V128::load(s), b = V128::load(s + 8);
        __m128i first, second;
        bgrxFromCells<V128>(_mm_srli_epi16(_mm_shuffle_epi8(a, lumas0), 8),
                            highByteTimes4<V128>(_mm_shuffle_epi8(a, chromas0)), first, second);
        V128::storeLanes<Stream>(d, first, second);
        bgrxFromCells<V128>(_mm_srli_epi16(_mm_shuffle_epi8(b, lumas1), 8),
                            highByteTimes4<V128>(_mm_shuffle_epi8(b, chromas1)), first, second);
        V128::storeLanes<Stream>(d + 32, first, second);
    }
};

} // namespace

void y411ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t units)
{
    walk<V128>(src, dst, units / 4, Y411ToRgb8888());
}

} // namespace vyr::convert::kernels
