#include <tmmintrin.h>

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/packed_rgb_steps.h"

namespace vyr::convert::kernels {
namespace {

// Four 3-byte pixels from byte `first` on to four 32-bit pixels with a 0 fourth byte, colour bytes
// in the given source order (blue first, or red first).
inline __m128i quadMask(int first, bool redFirst)
{
    alignas(16) int8_t m[16];
    for (int k = 0; k < 4; ++k) {
        const int at = first + 3 * k;
        m[4 * k + 0] = int8_t(redFirst ? at + 2 : at);
        m[4 * k + 1] = int8_t(at + 1);
        m[4 * k + 2] = int8_t(redFirst ? at : at + 2);
        m[4 * k + 3] = int8_t(0x80); // zero
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

// Loads at bytes 0, 12, 24 and 32 stay inside the 48 source bytes of 16 pixels.
struct TriplesToQuads {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels, __m128i atStart, __m128i atFour)
    {
        for (size_t i = 0; i < pixels; i += 16, src += 48, dst += 64) {
            V128::store<Stream>(dst, _mm_shuffle_epi8(V128::load(src), atStart));
            V128::store<Stream>(dst + 16, _mm_shuffle_epi8(V128::load(src + 12), atStart));
            V128::store<Stream>(dst + 32, _mm_shuffle_epi8(V128::load(src + 24), atStart));
            V128::store<Stream>(dst + 48, _mm_shuffle_epi8(V128::load(src + 32), atFour));
        }
    }
};

template <bool RedFirst>
void triplesToQuads(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const __m128i atStart = quadMask(0, RedFirst), atFour = quadMask(4, RedFirst);
    const size_t whole = pixels / 16 * 16;
    withStores<TriplesToQuads>(dst, 4 * pixels, src, dst, whole, atStart, atFour);
    if (whole < pixels) { // one block of 8 pixels, 24 bytes
        src += 3 * whole;
        dst += 4 * whole;
        V128::store<false>(dst, _mm_shuffle_epi8(V128::load(src), atStart));
        V128::store<false>(dst + 16, _mm_shuffle_epi8(V128::load(src + 8), atFour));
    }
}

} // namespace

void rgb888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    triplesToQuads<false>(src, dst, pixels);
}

void rgbr888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    triplesToQuads<true>(src, dst, pixels);
}

} // namespace vyr::convert::kernels

#define VYR_PACKED_RGB_AT(K) VYR_UNITS(unitsSsse3, K)
VYR_PACKED_RGB_SHUFFLES(VYR_PACKED_RGB_AT)
