#include <tmmintrin.h>

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/store.h"

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

template <bool Stream>
void mono8ToRgb888Loop(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const __m128i m0 = tripleMask(0), m1 = tripleMask(1), m2 = tripleMask(2);
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16, dst += 48) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        store16<Stream>(dst + 0, _mm_shuffle_epi8(v, m0));
        store16<Stream>(dst + 16, _mm_shuffle_epi8(v, m1));
        store16<Stream>(dst + 32, _mm_shuffle_epi8(v, m2));
    }
    if (Stream)
        _mm_sfence();
    if (i < pixels) { // one block left: 24 bytes
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(v, m0));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm_shuffle_epi8(v, m1));
    }
}

} // namespace

void mono8ToRgb888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    if (streamable(dst, pixels * 3))
        mono8ToRgb888Loop<true>(src, dst, pixels);
    else
        mono8ToRgb888Loop<false>(src, dst, pixels);
}

} // namespace vyr::convert::kernels
