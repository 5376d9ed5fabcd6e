#include <tmmintrin.h>

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/mono_steps.h"

namespace vyr::convert::kernels {
namespace {

// Byte i of the 48 output bytes of 16 pixels is grey byte i / 3.
inline __m128i tripleMask(int chunk)
{
    alignas(16) int8_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = static_cast<int8_t>((16 * chunk + i) / 3);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

struct Mono8ToRgb888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        const __m128i m0 = tripleMask(0), m1 = tripleMask(1), m2 = tripleMask(2);
        for (size_t i = 0; i < pixels; i += 16, dst += 48) {
            const __m128i v = V128::load(src + i);
            V128::store<Stream>(dst + 0, _mm_shuffle_epi8(v, m0));
            V128::store<Stream>(dst + 16, _mm_shuffle_epi8(v, m1));
            V128::store<Stream>(dst + 32, _mm_shuffle_epi8(v, m2));
        }
    }
};

} // namespace

void mono8ToRgb888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 16 * 16;
    withStores<Mono8ToRgb888>(dst, 3 * pixels, src, dst, whole);
    if (whole < pixels) { // one block left: 24 bytes
        const __m128i v = V128::loadLow(src + whole);
        V128::store<false>(dst + 3 * whole, _mm_shuffle_epi8(v, tripleMask(0)));
        V128::storeLow(dst + 3 * whole + 16, _mm_shuffle_epi8(v, tripleMask(1)));
    }
}

} // namespace vyr::convert::kernels

#define VYR_MONO_AT(K) VYR_UNITS(unitsSsse3, K)
VYR_MONO_SHUFFLES(VYR_MONO_AT)
