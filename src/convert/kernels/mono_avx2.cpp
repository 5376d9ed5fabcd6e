#include <immintrin.h>

#include "convert/kernels/mono_kernels.h"
#include "convert/kernels/mono_steps.h"

namespace vyr::convert::kernels {
namespace {

// Shuffle masks for 256-bit registers: each 16-byte lane picks from its own lane.
inline __m256i laneMask(int (*pick)(int lane, int byte))
{
    alignas(32) int8_t m[32];
    for (int i = 0; i < 32; ++i)
        m[i] = static_cast<int8_t>(pick(i / 16, i % 16));
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

inline __m256i broadcast16(const uint8_t* p) { return _mm256_broadcastsi128_si256(V128::load(p)); }

struct Mono8ToRgb8888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        // Output bytes 32c + i come from grey byte 8c + i / 4; both lanes hold all 16 grey bytes.
        const __m256i m0 = laneMask([](int lane, int b) { return 4 * lane + b / 4; });
        const __m256i m1 = laneMask([](int lane, int b) { return 8 + 4 * lane + b / 4; });
        for (size_t i = 0; i < pixels; i += 16, dst += 64) {
            const __m256i v = broadcast16(src + i);
            V256::store<Stream>(dst, _mm256_shuffle_epi8(v, m0));
            V256::store<Stream>(dst + 32, _mm256_shuffle_epi8(v, m1));
        }
    }
};

struct Mono8ToRgb888 {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        // 32 pixels make 96 bytes: output byte j is grey byte j / 3. Output chunk 0 draws on grey
        // 0..10, chunk 1 on 10..21, chunk 2 on 21..31; each lane shuffles only within itself.
        const __m256i m0 = laneMask([](int lane, int b) { return (16 * lane + b) / 3; });
        const __m256i m1 = laneMask([](int lane, int b) { return (32 + 16 * lane + b) / 3 - 16 * lane; });
        const __m256i m2 = laneMask([](int lane, int b) { return (64 + 16 * lane + b) / 3 - 16; });
        for (size_t i = 0; i < pixels; i += 32, dst += 96) {
            V256::store<Stream>(dst, _mm256_shuffle_epi8(broadcast16(src + i), m0));
            V256::store<Stream>(dst + 32, _mm256_shuffle_epi8(V256::load(src + i), m1));
            V256::store<Stream>(dst + 64, _mm256_shuffle_epi8(broadcast16(src + i + 16), m2));
        }
    }
};

} // namespace

void mono8ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    withStores<Mono8ToRgb8888>(dst, 4 * pixels, src, dst, pixels);
}

void mono8ToRgb888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 32 * 32;
    withStores<Mono8ToRgb888>(dst, 3 * pixels, src, dst, whole);
    if (whole < pixels)
        mono8ToRgb888Ssse3(src + whole, dst + 3 * whole, pixels - whole, 0);
}

void rgb8888ToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t)
{
    const size_t whole = pixels / 32 * 32;
    withStores<Rgb8888ToMono8<V256>>(dst, 4 * pixels, src, dst, whole);
    if (whole < pixels) // whole blocks of 8 left
        rgb8888ToMono8Sse2(src + 4 * whole, dst + whole, pixels - whole, 0);
}

} // namespace vyr::convert::kernels

#define VYR_MONO_AT(K) VYR_UNITS(unitsAvx2, K)
VYR_MONO_ANY_WIDTH(VYR_MONO_AT)
