#include <immintrin.h>

#include "convert/kernels/malvar_lanes.h"

namespace vyr::convert::kernels {
namespace {

inline __m256i select256(__m256i mask, __m256i a, __m256i b)
{
    return _mm256_or_si256(_mm256_and_si256(mask, a), _mm256_andnot_si256(mask, b));
}

inline __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The packs work within each 128-bit half: quadwords 0 and 2 hold the results in order.
inline __m128i inOrder(__m256i packed)
{
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
}

struct Lanes16 { // sixteen 8-bit samples
    using Vec = __m256i;
    static constexpr size_t kSampleBytes = 1;
    static constexpr size_t kPixels = 16;
    static Vec load(const uint8_t* p) { return _mm256_cvtepu8_epi16(load16(p)); }
    static Vec add(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm256_sub_epi16(a, b); }
    template <int N>
    static Vec shl(Vec a)
    {
        return _mm256_slli_epi16(a, N);
    }
    static Vec over16(Vec a) { return _mm256_srai_epi16(a, 4); }
    static Vec firstPhaseLanes() { return _mm256_set1_epi32(0x0000FFFF); }
    static Vec select(Vec mask, Vec a, Vec b) { return select256(mask, a, b); }

    // Clamped to 0..255.
    static __m128i toBytes(Vec v) { return inOrder(_mm256_packus_epi16(v, v)); }
    static void storeSamples(uint8_t* p, Vec v) { store16(p, toBytes(v)); }
    static void storeRgb8888(uint8_t* p, const MalvarColours<Lanes16>& c)
    {
        const __m128i fourth = _mm_set1_epi32(int(0xFF000000u)), zero = _mm_setzero_si128();
        const __m128i red = toBytes(c.red), green = toBytes(c.green), blue = toBytes(c.blue);
        const __m128i bg[2] = {_mm_unpacklo_epi8(blue, green), _mm_unpackhi_epi8(blue, green)};
        const __m128i r0[2] = {_mm_unpacklo_epi8(red, zero), _mm_unpackhi_epi8(red, zero)};
        for (int quarter = 0; quarter < 4; ++quarter, p += 16) {
            const __m128i a = bg[quarter / 2], b = r0[quarter / 2];
            const __m128i pixels4 = quarter % 2 ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
            store16(p, _mm_or_si128(pixels4, _mm_and_si128(fourth, load16(p))));
        }
    }
};

struct Lanes32 { // eight 16-bit samples
    using Vec = __m256i;
    static constexpr size_t kSampleBytes = 2;
    static constexpr size_t kPixels = 8;
    static Vec load(const uint8_t* p) { return _mm256_cvtepu16_epi32(load16(p)); }
    static Vec add(Vec a, Vec b) { return _mm256_add_epi32(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm256_sub_epi32(a, b); }
    template <int N>
    static Vec shl(Vec a)
    {
        return _mm256_slli_epi32(a, N);
    }
    static Vec over16(Vec a) { return _mm256_srai_epi32(a, 4); }
    static Vec firstPhaseLanes() { return _mm256_set1_epi64x(0xFFFFFFFFll); }
    static Vec select(Vec mask, Vec a, Vec b) { return select256(mask, a, b); }

    // Clamped to 0..32767.
    static void storeSamples(uint8_t* p, Vec v)
    {
        store16(p, _mm_max_epi16(inOrder(_mm256_packs_epi32(v, v)), _mm_setzero_si128()));
    }
};

} // namespace

void malvar8ToRgb8888Avx2(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes16>::Rgb8888>(phase, l, dst, x0, pixels);
}

void malvar8ToPlanarAvx2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                         size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes16>::Planar>(phase, l, red, green, blue, x0, pixels);
}

void malvar15ToPlanarAvx2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                          size_t pixels, uint32_t phase)
{
    withMalvarPhase<MalvarRuns<Lanes32>::Planar>(phase, l, red, green, blue, x0, pixels);
}

} // namespace vyr::convert::kernels
