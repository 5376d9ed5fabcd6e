#include "convert/kernels/y411_shuffle.h"
#include "convert/kernels/yuv444_kernels.h"
#include "convert/kernels/yuv444_steps.h"

namespace vyr::convert::kernels {
namespace {

// The first 16-byte lane takes the two units at byte 0 of its load, the second those at byte 4.
inline __m256i highBytes(const int (&offsets)[8])
{
    alignas(32) int8_t m[32];
    highByteShuffle(m, 0, offsets);
    highByteShuffle(m + 16, 4, offsets);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

// Four units (24 bytes) per step: bytes 0-15 in the first lane, 8-23 in the second.
struct Y411ToRgb8888 {
    static constexpr size_t kSrcStep = 24, kDstStep = 64;
    __m256i lumas = highBytes(kY411Lumas), chromas = highBytes(kY411Chromas);

    template <class, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const __m256i x = _mm256_inserti128_si256(V256::loadLow(s), V128::load(s + 8), 1);
        __m256i first, second;
        bgrxFromCells<V256>(_mm256_srli_epi16(_mm256_shuffle_epi8(x, lumas), 8),
                            highByteTimes4<V256>(_mm256_shuffle_epi8(x, chromas)), first, second);
        V256::storeLanes<Stream>(d, first, second);
    }
};

} // namespace

void yuvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<V256>(src, dst, pixels / 8, YuvToRgb8888());
}

void y411ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t units)
{
    walk<V128>(src, dst, units / 4, Y411ToRgb8888());
}

} // namespace vyr::convert::kernels
