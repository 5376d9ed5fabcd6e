#include <emmintrin.h>

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/with_stores.h"

namespace vyr::convert::kernels {
namespace {

// Four 3-byte pixels at bytes 0..11 of x spread to four 32-bit pixels with a 0 fourth byte: pixel k
// moves k bytes up.
inline __m128i spreadTriples(__m128i x)
{
    const __m128i first = _mm_set_epi32(0, 0, 0, 0x00FFFFFF);
    const __m128i p0 = _mm_and_si128(x, first);
    const __m128i p1 = _mm_and_si128(_mm_slli_si128(x, 1), _mm_slli_si128(first, 4));
    const __m128i p2 = _mm_and_si128(_mm_slli_si128(x, 2), _mm_slli_si128(first, 8));
    const __m128i p3 = _mm_and_si128(_mm_slli_si128(x, 3), _mm_slli_si128(first, 12));
    return _mm_or_si128(_mm_or_si128(p0, p1), _mm_or_si128(p2, p3));
}

// Bytes 0 and 2 of every 32-bit pixel swapped; the fourth byte is 0 and stays 0.
inline __m128i swapRedBlue(__m128i pixels)
{
    const __m128i green = _mm_and_si128(pixels, _mm_set1_epi32(0x0000FF00));
    const __m128i low = _mm_slli_epi32(_mm_and_si128(pixels, _mm_set1_epi32(0xFF)), 16);
    return _mm_or_si128(_mm_or_si128(green, low), _mm_srli_epi32(pixels, 16));
}

struct Keep {
    static __m128i apply(__m128i pixels) { return pixels; }
};
struct Swap {
    static __m128i apply(__m128i pixels) { return swapRedBlue(pixels); }
};

// 16 pixels per pass from loads at bytes 0, 12, 24 and 32 (the last shifted by 4), all inside the
// 48 source bytes; one block of 8 from loads at 0 and 8.
template <class Order>
void triplesToQuads(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    size_t i = 0;
    withStores(dst, 4 * pixels, [&](auto stores) {
        constexpr bool stream = decltype(stores)::kStream;
        for (; i + 16 <= pixels; i += 16, src += 48, dst += 64) {
            store16<stream>(dst, Order::apply(spreadTriples(load16(src))));
            store16<stream>(dst + 16, Order::apply(spreadTriples(load16(src + 12))));
            store16<stream>(dst + 32, Order::apply(spreadTriples(load16(src + 24))));
            store16<stream>(dst + 48, Order::apply(spreadTriples(_mm_srli_si128(load16(src + 32), 4))));
        }
    });
    if (i < pixels) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), Order::apply(spreadTriples(load16(src))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16),
                         Order::apply(spreadTriples(_mm_srli_si128(load16(src + 8), 4))));
    }
}

// Which bytes of 16 are byte 0, 1 and 2 of their 3-byte pixel, for a run of them starting at a
// byte whose position in its pixel is `phase`.
struct TripleMasks {
    __m128i position[3];

    explicit TripleMasks(int phase)
    {
        for (int p = 0; p < 3; ++p) {
            alignas(16) uint8_t m[16];
            for (int j = 0; j < 16; ++j)
                m[j] = (phase + j) % 3 == p ? 0xFF : 0;
            position[p] = _mm_load_si128(reinterpret_cast<const __m128i*>(m));
        }
    }

    // Output byte j is input byte j + 2 (pixel byte 0), j (byte 1) or j - 2 (byte 2); `ahead` holds
    // the input two bytes on, `behind` two bytes back, at the positions that need them.
    __m128i swap(__m128i here, __m128i ahead, __m128i behind) const
    {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(ahead, position[0]), _mm_and_si128(here, position[1])),
                            _mm_and_si128(behind, position[2]));
    }
};

} // namespace

void rgb888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    triplesToQuads<Keep>(src, dst, pixels);
}

void rgbr888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    triplesToQuads<Swap>(src, dst, pixels);
}

void rgbr888ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const TripleMasks phase0(0), phase1(1), phase2(2); // 16 bytes on, the pixel phase moves by 1
    size_t i = 0;
    withStores(dst, 3 * pixels, [&](auto stores) {
        constexpr bool stream = decltype(stores)::kStream;
        // 16 pixels, 48 bytes: every load stays inside them.
        for (; i + 16 <= pixels; i += 16, src += 48, dst += 48) {
            const __m128i first = load16(src), last = load16(src + 32);
            store16<stream>(dst, phase0.swap(first, load16(src + 2), _mm_slli_si128(first, 2)));
            store16<stream>(dst + 16, phase1.swap(load16(src + 16), load16(src + 18), load16(src + 14)));
            store16<stream>(dst + 32, phase2.swap(last, _mm_srli_si128(last, 2), load16(src + 30)));
        }
    });
    if (i < pixels) { // one block of 8 pixels, 24 bytes
        const __m128i first = load16(src), tail = load8(src + 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                         phase0.swap(first, load16(src + 2), _mm_slli_si128(first, 2)));
        put8(dst + 16, phase1.swap(tail, _mm_srli_epi64(tail, 16), load8(src + 14)));
    }
}

void rgb101010ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const __m128i blue = _mm_set1_epi32(0x3FC), green = _mm_set1_epi32(0xFF000),
                  red = _mm_set1_epi32(0x3FC00000);
    withStores(dst, 4 * pixels, [&](auto stores) {
        for (size_t i = 0; i < pixels; i += 4) {
            const __m128i w = load16(src + 4 * i);
            const __m128i b = _mm_srli_epi32(_mm_and_si128(w, blue), 2);
            const __m128i g = _mm_srli_epi32(_mm_and_si128(w, green), 4);
            const __m128i r = _mm_srli_epi32(_mm_and_si128(w, red), 6);
            store16<decltype(stores)::kStream>(dst + 4 * i, _mm_or_si128(_mm_or_si128(b, g), r));
        }
    });
}

} // namespace vyr::convert::kernels
