#include "convert/kernels/avx512_first.h"

#include "convert/kernels/bayer_kernels.h"
#include "convert/kernels/pixels512.h"
#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Samples of SampleBytes bytes, 64 bytes a register; `lanes` masks the samples of a part register.
template <size_t SampleBytes>
struct Samples {
    static constexpr size_t kPerRegister = 64 / SampleBytes;
    using Mask = uint64_t; // one bit a sample

    static __m512i load(const uint8_t* p, Mask lanes)
    {
        if constexpr (SampleBytes == 1)
            return _mm512_maskz_loadu_epi8(lanes, p);
        else
            return _mm512_maskz_loadu_epi16(__mmask32(lanes), p);
    }
    static void store(uint8_t* p, __m512i v, Mask lanes)
    {
        if constexpr (SampleBytes == 1)
            _mm512_mask_storeu_epi8(p, lanes, v);
        else
            _mm512_mask_storeu_epi16(p, __mmask32(lanes), v);
    }
    // Odd samples from b, even ones from a.
    static __m512i oddFrom(__m512i a, __m512i b)
    {
        if constexpr (SampleBytes == 1)
            return _mm512_mask_blend_epi8(0xAAAAAAAAAAAAAAAAull, a, b);
        else
            return _mm512_mask_blend_epi16(0xAAAAAAAAu, a, b);
    }
    static __m512i mean(__m512i a, __m512i b)
    {
        if constexpr (SampleBytes == 1)
            return _mm512_avg_epu8(a, b);
        else
            return _mm512_avg_epu16(a, b);
    }
    static __m512i limited(__m512i v) { return _mm512_min_epu16(v, _mm512_set1_epi16(0x7FFF)); }
};

struct Colours {
    __m512i red, green, blue;
};

// The colours of the register of samples from column x (lanes: the samples there are in the run).
template <size_t SampleBytes>
inline Colours colours(const BayerRun& r, size_t x, typename Samples<SampleBytes>::Mask lanes)
{
    using S = Samples<SampleBytes>;
    const size_t at = x * SampleBytes;
    const __m512i c0 = S::load(r.colour + at, lanes), c1 = S::load(r.colour + at + SampleBytes, lanes);
    const __m512i g0 = S::load(r.green + at, lanes), g1 = S::load(r.green + at + SampleBytes, lanes);
    const __m512i colourEven = S::oddFrom(c0, c1); // colour[x + (x & 1)]
    const __m512i colourOdd = S::oddFrom(c1, c0);  // colour[x | 1]
    const __m512i greenEven = S::oddFrom(g0, g1);
    const __m512i otherOdd = S::oddFrom(g1, g0); // the other colour, at odd columns of the green line
    __m512i green = r.greenFrom == BayerGreen::OfColourLine  ? colourOdd
                    : r.greenFrom == BayerGreen::OfGreenLine ? greenEven
                                                             : S::mean(greenEven, colourOdd);
    Colours c = r.redAtEven ? Colours{colourEven, green, otherOdd} : Colours{otherOdd, green, colourEven};
    if constexpr (SampleBytes == 2) {
        if (r.limit15)
            c = {S::limited(c.red), S::limited(c.green), S::limited(c.blue)};
    }
    return c;
}

struct PackedLoop {
    template <bool Stream>
    static void run(const BayerRun& r, uint8_t* dst, size_t pixels)
    {
        size_t x = 0;
        for (; x + 64 <= pixels; x += 64) {
            const Colours c = colours<1>(r, x, ~0ull);
            for (int k = 0; k < 4; ++k)
                V512::store<Stream>(dst + 4 * x + 64 * k, bgrxPixels(c.blue, c.green, c.red, k));
        }
        if (x < pixels) {
            const size_t rest = pixels - x;
            const Colours c = colours<1>(r, x, (1ull << rest) - 1);
            for (size_t k = 0; 16 * k < rest; ++k) {
                const size_t n = rest - 16 * k < 16 ? rest - 16 * k : 16;
                _mm512_mask_storeu_epi32(dst + 4 * x + 64 * k, __mmask16((1u << n) - 1),
                                         bgrxPixels(c.blue, c.green, c.red, int(k)));
            }
        }
    }
};

template <size_t SampleBytes>
void planarRun(const BayerRun& r, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels)
{
    using S = Samples<SampleBytes>;
    for (size_t x = 0; x < pixels; x += S::kPerRegister) {
        const size_t rest = pixels - x;
        const typename S::Mask lanes = rest >= S::kPerRegister ? ~0ull : (1ull << rest) - 1;
        const Colours c = colours<SampleBytes>(r, x, lanes);
        S::store(red + SampleBytes * x, c.red, lanes);
        S::store(green + SampleBytes * x, c.green, lanes);
        S::store(blue + SampleBytes * x, c.blue, lanes);
    }
}

} // namespace

void bayer8ToRgb8888Avx512(const BayerRun& run, uint8_t* dst, size_t pixels)
{
    withStores<PackedLoop>(dst, 4 * pixels, run, dst, pixels);
}

void bayer8ToPlanarAvx512(const BayerRun& run, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels)
{
    planarRun<1>(run, red, green, blue, pixels);
}

void bayer15ToPlanarAvx512(const BayerRun& run, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels)
{
    planarRun<2>(run, red, green, blue, pixels);
}

} // namespace vyr::convert::kernels
