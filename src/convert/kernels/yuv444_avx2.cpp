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

} // namespace

void yuvToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    yuvToRgb8888<V256>(src, dst, pixels);
}

// Four units (24 bytes) per pass: bytes 0-15 in the first lane, 8-23 in the second.
void y411ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t units)
{
    const __m256i lumas = highBytes(kY411Lumas), chromas = highBytes(kY411Chromas);
    walk<V128, 24, 64>(src, dst, units / 4, [&](auto, auto stream, const uint8_t* s, uint8_t* d) {
        const __m256i x =
            _mm256_inserti128_si256(_mm256_castsi128_si256(V128::load(s)), V128::load(s + 8), 1);
        __m256i first, second;
        bgrxFromCells<V256>(_mm256_srli_epi16(_mm256_shuffle_epi8(x, lumas), 8),
                            highByteTimes4<V256>(_mm256_shuffle_epi8(x, chromas)), first, second);
        V256::storeLanes<decltype(stream)::value>(d, first, second);
    });
}

} // namespace vyr::convert::kernels
