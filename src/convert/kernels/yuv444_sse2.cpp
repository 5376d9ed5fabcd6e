#include "convert/kernels/yuv444_kernels.h"
#include "convert/kernels/yuv444_steps.h"

namespace vyr::convert::kernels {
namespace {

// Two units: the eight lumas and each unit's U and V twice (once per two-pixel cell), gathered
// word by word.
inline void twoY411Units(const uint8_t* p, __m128i& first, __m128i& second)
{
    const __m128i y = _mm_setr_epi16(p[1], p[2], p[4], p[5], p[7], p[8], p[10], p[11]);
    const __m128i uv = _mm_setr_epi16(p[0], p[3], p[0], p[3], p[6], p[9], p[6], p[9]);
    bgrxFromCells<V128>(y, _mm_slli_epi16(_mm_sub_epi16(uv, _mm_set1_epi16(128)), 2), first, second);
}

struct Y411ToRgb8888 {
    static constexpr size_t kSrcStep = 24, kDstStep = 64;

    template <class, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        __m128i first, second;
        twoY411Units(s, first, second);
        V128::storeLanes<Stream>(d, first, second);
        twoY411Units(s + 12, first, second);
        V128::storeLanes<Stream>(d + 32, first, second);
    }
};

} // namespace

void yuvToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<V128>(src, dst, pixels / 8, YuvToRgb8888());
}

void y411ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t units)
{
    walk<V128>(src, dst, units / 4, Y411ToRgb8888());
}

} // namespace vyr::convert::kernels
