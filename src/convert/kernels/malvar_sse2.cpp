#include <emmintrin.h>

#include "convert/kernels/malvar_lanes.h"

namespace vyr::convert::kernels {
namespace {

inline __m128i select128(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

struct Lanes16 { // eight 8-bit samples
    using Vec = __m128i;
    static constexpr size_t kSampleBytes = 1;
    static constexpr size_t kPixels = 8;
    static Vec load(const uint8_t* p)
    {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static Vec add(Vec a, Vec b) { return _mm_add_epi16(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm_sub_epi16(a, b); }
    template <int N>
    static Vec shl(Vec a)
    {
        return _mm_slli_epi16(a, N);
    }
    static Vec over16(Vec a) { return _mm_srai_epi16(a, 4); }
    static Vec firstPhaseLanes() { return _mm_set1_epi32(0x0000FFFF); }
    static Vec select(Vec mask, Vec a, Vec b) { return select128(mask, a, b); }

    // Clamped to 0..255 in the low eight bytes.
    static Vec toBytes(Vec v) { return _mm_packus_epi16(v, v); }
    static void storeSamples(uint8_t* p, Vec v)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), toBytes(v));
    }
    static void storeRgb8888(uint8_t* p, const MalvarColours<Lanes16>& c)
    {
        const __m128i fourth = _mm_set1_epi32(int(0xFF000000u));
        const __m128i bg = _mm_unpacklo_epi8(toBytes(c.blue), toBytes(c.green));
        const __m128i r0 = _mm_unpacklo_epi8(toBytes(c.red), _mm_setzero_si128());
        for (int half = 0; half < 2; ++half, p += 16) {
            const __m128i pixels4 = half ? _mm_unpackhi_epi16(bg, r0) : _mm_unpacklo_epi16(bg, r0);
            const __m128i kept = _mm_and_si128(fourth, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(pixels4, kept));
        }
    }
};

struct Lanes32 { // four 16-bit samples
    using Vec = __m128i;
    static constexpr size_t kSampleBytes = 2;
    static constexpr size_t kPixels = 4;
    static Vec load(const uint8_t* p)
    {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static Vec add(Vec a, Vec b) { return _mm_add_epi32(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm_sub_epi32(a, b); }
    template <int N>
    static Vec shl(Vec a)
    {
        return _mm_slli_epi32(a, N);
    }
    static Vec over16(Vec a) { return _mm_srai_epi32(a, 4); }
    static Vec firstPhaseLanes() { return _mm_set_epi32(0, -1, 0, -1); }
    static Vec select(Vec mask, Vec a, Vec b) { return select128(mask, a, b); }

    // Clamped to 0..32767.
    static void storeSamples(uint8_t* p, Vec v)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p),
                         _mm_max_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128()));
    }
};

} // namespace

void malvar8ToRgb8888Sse2(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes16>::Rgb8888>(phase, l, dst, x0, pixels);
}

void malvar8ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                         size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes16>::Planar>(phase, l, red, green, blue, x0, pixels);
}

void malvar15ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                          size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes32>::Planar>(phase, l, red, green, blue, x0, pixels);
}

} // namespace vyr::convert::kernels
