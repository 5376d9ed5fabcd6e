#include <emmintrin.h>

#include "convert/kernels/malvar_kernels.h"

namespace vyr::kernels {
namespace {

// Lane arithmetic: 16-bit lanes for 8-bit samples (every sum and numerator lies within
// -3060..7140), 32-bit lanes for 16-bit samples.
struct Lanes16 {
    static constexpr size_t kSampleBytes = 1;
    static __m128i load(const uint8_t* p) // eight samples
    {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
    static __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi16(a, b); }
    static __m128i shl(__m128i a, int n) { return _mm_sll_epi16(a, _mm_cvtsi32_si128(n)); }
    static __m128i over16(__m128i a) { return _mm_srai_epi16(a, 4); }
    static __m128i firstPhaseLanes() { return _mm_set1_epi32(0x0000FFFF); }
};

struct Lanes32 {
    static constexpr size_t kSampleBytes = 2;
    static __m128i load(const uint8_t* p) // four samples
    {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
    static __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
    static __m128i shl(__m128i a, int n) { return _mm_sll_epi32(a, _mm_cvtsi32_si128(n)); }
    static __m128i over16(__m128i a) { return _mm_srai_epi32(a, 4); }
    static __m128i firstPhaseLanes() { return _mm_set_epi32(0, -1, 0, -1); }
};

// Every estimate of each lane, indexed by MalvarEstimate.
struct Candidates {
    __m128i e[5];
};

// The neighbourhood sums of the pixels from column x, then the four estimates.
template <class L>
inline Candidates candidates(const MalvarLines& l, size_t x)
{
    auto at = [x](const uint8_t* line, ptrdiff_t dx) {
        return L::load(line + (ptrdiff_t(x) + dx) * ptrdiff_t(L::kSampleBytes));
    };
    const __m128i c = at(l.centre, 0);
    const __m128i h1 = L::add(at(l.centre, -1), at(l.centre, 1));
    const __m128i h2 = L::add(at(l.centre, -2), at(l.centre, 2));
    const __m128i v1 = L::add(at(l.north, 0), at(l.south, 0));
    const __m128i v2 = L::add(at(l.top, 0), at(l.bottom, 0));
    const __m128i d = L::add(L::add(at(l.north, -1), at(l.north, 1)), L::add(at(l.south, -1), at(l.south, 1)));

    const __m128i hv2 = L::add(h2, v2);
    const __m128i c8 = L::shl(c, 3);
    const __m128i c10 = L::add(c8, L::shl(c, 1));
    const __m128i d2 = L::shl(d, 1);
    Candidates k;
    k.e[kCentre] = c;
    k.e[kGreenAtColour] = L::over16(L::sub(L::add(c8, L::shl(L::add(h1, v1), 2)), L::shl(hv2, 1)));
    k.e[kOpposite] = L::over16(L::sub(L::add(L::add(c8, L::shl(c, 2)), L::shl(d, 2)), L::add(L::shl(hv2, 1), hv2)));
    k.e[kLeftRight] = L::over16(L::add(L::sub(L::sub(L::add(c10, L::shl(h1, 3)), L::shl(h2, 1)), d2), v2));
    k.e[kUpDown] = L::over16(L::add(L::sub(L::sub(L::add(c10, L::shl(v1, 3)), L::shl(v2, 1)), d2), h2));
    return k;
}

struct Colours {
    __m128i red, green, blue;
};

// Lanes alternate between the phase of the run's first column and the next one's. The phase is a
// template argument so that the choice of estimates is made once, not per block.
template <class L, uint32_t Phase>
inline Colours colours(const MalvarLines& l, size_t x)
{
    const Candidates k = candidates<L>(l, x);
    constexpr MalvarAssignment a = kMalvarAssignments[Phase];
    constexpr MalvarAssignment b = kMalvarAssignments[Phase ^ 1];
    const __m128i first = L::firstPhaseLanes();
    auto pick = [&](MalvarEstimate e0, MalvarEstimate e1) {
        return _mm_or_si128(_mm_and_si128(first, k.e[e0]), _mm_andnot_si128(first, k.e[e1]));
    };
    return {pick(a.red, b.red), pick(a.green, b.green), pick(a.blue, b.blue)};
}

// Runs Body<Phase> with the phase as a constant.
template <template <uint32_t> class Body, class... Args>
inline void withPhase(uint32_t phase, Args... args)
{
    switch (phase & 3) {
    case 0: Body<0>::run(args...); break;
    case 1: Body<1>::run(args...); break;
    case 2: Body<2>::run(args...); break;
    default: Body<3>::run(args...); break;
    }
}

inline void storeLow(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// Clamped to 0..255 in the low eight bytes.
inline __m128i toBytes(__m128i lanes16) { return _mm_packus_epi16(lanes16, lanes16); }

// Clamped to 0..32767 in the low four 16-bit lanes.
inline __m128i toWords15(__m128i lanes32)
{
    return _mm_max_epi16(_mm_packs_epi32(lanes32, lanes32), _mm_setzero_si128());
}

template <uint32_t Phase>
struct ToRgb8888 {
    static void run(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels)
    {
        const __m128i fourth = _mm_set1_epi32(int(0xFF000000u));
        for (size_t x = x0; x < x0 + pixels; x += 8) {
            const Colours c = colours<Lanes16, Phase>(l, x);
            const __m128i bg = _mm_unpacklo_epi8(toBytes(c.blue), toBytes(c.green));
            const __m128i r0 = _mm_unpacklo_epi8(toBytes(c.red), _mm_setzero_si128());
            uint8_t* p = dst + 4 * x;
            for (int half = 0; half < 2; ++half, p += 16) {
                const __m128i pixels4 = half ? _mm_unpackhi_epi16(bg, r0) : _mm_unpacklo_epi16(bg, r0);
                const __m128i kept = _mm_and_si128(fourth, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(pixels4, kept));
            }
        }
    }
};

template <uint32_t Phase>
struct ToPlanar8 {
    static void run(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0, size_t pixels)
    {
        for (size_t x = x0; x < x0 + pixels; x += 8) {
            const Colours c = colours<Lanes16, Phase>(l, x);
            storeLow(red + x, toBytes(c.red));
            storeLow(green + x, toBytes(c.green));
            storeLow(blue + x, toBytes(c.blue));
        }
    }
};

template <uint32_t Phase>
struct ToPlanar15 {
    static void run(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0, size_t pixels)
    {
        for (size_t x = x0; x < x0 + pixels; x += 4) {
            const Colours c = colours<Lanes32, Phase>(l, x);
            storeLow(red + 2 * x, toWords15(c.red));
            storeLow(green + 2 * x, toWords15(c.green));
            storeLow(blue + 2 * x, toWords15(c.blue));
        }
    }
};

} // namespace

void malvar8ToRgb8888Sse2(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase)
{
    withPhase<ToRgb8888>(phase, l, dst, x0, pixels);
}

void malvar8ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                         size_t pixels, uint32_t phase)
{
    withPhase<ToPlanar8>(phase, l, red, green, blue, x0, pixels);
}

void malvar15ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                          size_t pixels, uint32_t phase)
{
    withPhase<ToPlanar15>(phase, l, red, green, blue, x0, pixels);
}

} // namespace vyr::kernels
