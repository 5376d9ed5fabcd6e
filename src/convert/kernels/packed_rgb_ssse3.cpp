#include <tmmintrin.h>

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/kernels/with_stores.h"

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

template <bool RedFirst>
void triplesToQuads(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const __m128i atStart = quadMask(0, RedFirst), atFour = quadMask(4, RedFirst);
    size_t i = 0;
    withStores(dst, 4 * pixels, [&](auto stores) {
        constexpr bool stream = decltype(stores)::kStream;
        // Loads at bytes 0, 12, 24 and 32 stay inside the 48 source bytes of 16 pixels.
        for (; i + 16 <= pixels; i += 16, src += 48, dst += 64) {
            store16<stream>(dst, _mm_shuffle_epi8(load16(src), atStart));
            store16<stream>(dst + 16, _mm_shuffle_epi8(load16(src + 12), atStart));
            store16<stream>(dst + 32, _mm_shuffle_epi8(load16(src + 24), atStart));
            store16<stream>(dst + 48, _mm_shuffle_epi8(load16(src + 32), atFour));
        }
    });
    if (i < pixels) { // one block of 8 pixels, 24 bytes
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(load16(src), atStart));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_shuffle_epi8(load16(src + 8), atFour));
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
