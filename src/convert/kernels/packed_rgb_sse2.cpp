#include <emmintrin.h>

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/packed_rgb_steps.h"

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
// 48 source bytes.
template <class Order>
struct TriplesToQuads {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += 16, src += 48, dst += 64) {
            V128::store<Stream>(dst, Order::apply(spreadTriples(V128::load(src))));
            V128::store<Stream>(dst + 16, Order::apply(spreadTriples(V128::load(src + 12))));
            V128::store<Stream>(dst + 32, Order::apply(spreadTriples(V128::load(src + 24))));
            V128::store<Stream>(dst + 48,
                                Order::apply(spreadTriples(_mm_srli_si128(V128::load(src + 32), 4))));
        }
    }
};

// The loop, then one block of 8 from loads at 0 and 8.
template <class Order>
void triplesToQuads(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const size_t whole = pixels / 16 * 16;
    withStores<TriplesToQuads<Order>>(dst, 4 * pixels, src, dst, whole);
    if (whole < pixels) {
        src += 3 * whole;
        dst += 4 * whole;
        V128::store<false>(dst, Order::apply(spreadTriples(V128::load(src))));
        V128::store<false>(dst + 16, Order::apply(spreadTriples(_mm_srli_si128(V128::load(src + 8), 4))));
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

// 16 pixels, 48 bytes, per pass: every load stays inside them. 16 bytes on, the pixel phase moves by 1.
struct SwapTriples {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        const TripleMasks phase0(0), phase1(1), phase2(2);
        for (size_t i = 0; i < pixels; i += 16, src += 48, dst += 48) {
            const __m128i first = V128::load(src), last = V128::load(src + 32);
            V128::store<Stream>(dst, phase0.swap(first, V128::load(src + 2), _mm_slli_si128(first, 2)));
            V128::store<Stream>(
                dst + 16, phase1.swap(V128::load(src + 16), V128::load(src + 18), V128::load(src + 14)));
            V128::store<Stream>(dst + 32, phase2.swap(last, _mm_srli_si128(last, 2), V128::load(src + 30)));
        }
    }
};

struct Rgb101010ToRgb8888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        const __m128i blue = _mm_set1_epi32(0x3FC), green = _mm_set1_epi32(0xFF000),
                      red = _mm_set1_epi32(0x3FC00000);
        for (size_t i = 0; i < pixels; i += 4) {
            const __m128i w = V128::load(src + 4 * i);
            const __m128i b = _mm_srli_epi32(_mm_and_si128(w, blue), 2);
            const __m128i g = _mm_srli_epi32(_mm_and_si128(w, green), 4);
            const __m128i r = _mm_srli_epi32(_mm_and_si128(w, red), 6);
            V128::store<Stream>(dst + 4 * i, _mm_or_si128(_mm_or_si128(b, g), r));
        }
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
    const size_t whole = pixels / 16 * 16;
    withStores<SwapTriples>(dst, 3 * pixels, src, dst, whole);
    if (whole < pixels) { // one block of 8 pixels, 24 bytes
        src += 3 * whole;
        dst += 3 * whole;
        const TripleMasks phase0(0), phase1(1);
        const __m128i first = V128::load(src), tail = V128::loadLow(src + 16);
        V128::store<false>(dst, phase0.swap(first, V128::load(src + 2), _mm_slli_si128(first, 2)));
        V128::storeLow(dst + 16, phase1.swap(tail, _mm_srli_epi64(tail, 16), V128::loadLow(src + 14)));
    }
}

void rgb101010ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    withStores<Rgb101010ToRgb8888>(dst, 4 * pixels, src, dst, pixels);
}

} // namespace vyr::convert::kernels

#define VYR_PACKED_RGB_AT(K) VYR_UNITS(unitsSse2, K)
VYR_PACKED_RGB_ANY_WIDTH(VYR_PACKED_RGB_AT)
