#include "convert/kernels/avx512_first.h"

#include <initializer_list>

#include "convert/kernels/lab_body.h"

namespace vyr::convert::kernels {
namespace {

// The cube root of x = m 2^e (m in [1, 2), e in -15..0): polynomials for m^(1/3) and 1 / (3 m^(2/3)) scaled
// by tables of 2^(e/3) and 2^(-2e/3), then one Newton step, y + (x - y^3) / (3 y^2), with fused steps.
struct PolynomialRoot {
    using V = V512::V;

    static V cubeRoot(V bits)
    {
        const __m512 x = V512::ps(bits);
        const __m512 m = _mm512_getmant_ps(x, _MM_MANT_NORM_1_2, _MM_MANT_SIGN_src);
        const __m512i e = _mm512_cvttps_epi32(_mm512_getexp_ps(x)); // its low 4 bits index the tables
        auto horner = [m](std::initializer_list<float> c) {
            __m512 p = _mm512_set1_ps(*c.begin());
            for (auto k = c.begin() + 1; k != c.end(); ++k)
                p = _mm512_fmadd_ps(p, m, _mm512_set1_ps(*k));
            return p;
        };
        const __m512 root =
            horner({0.00507295318f, -0.048318319f, 0.196654797f, -0.460297734f, 0.831743121f, 0.475146949f});
        const __m512 slope = horner({0.0674141124f, -0.322817415f, 0.586925328f});
        const __m512 toThird =
            _mm512_setr_ps(0x1p+0f, 0x1p-5f, 0x1.428a3p-5f, 0x1.965feap-5f, 0x1p-4f, 0x1.428a3p-4f,
                           0x1.965feap-4f, 0x1p-3f, 0x1.428a3p-3f, 0x1.965feap-3f, 0x1p-2f, 0x1.428a3p-2f,
                           0x1.965feap-2f, 0x1p-1f, 0x1.428a3p-1f, 0x1.965feap-1f);
        const __m512 toTwoThirds =
            _mm512_setr_ps(0x1p+0f, 0x1p+10f, 0x1.428a3p+9f, 0x1.965feap+8f, 0x1p+8f, 0x1.428a3p+7f,
                           0x1.965feap+6f, 0x1p+6f, 0x1.428a3p+5f, 0x1.965feap+4f, 0x1p+4f, 0x1.428a3p+3f,
                           0x1.965feap+2f, 0x1p+2f, 0x1.428a3p+1f, 0x1.965feap+0f);
        const __m512 y = _mm512_mul_ps(root, _mm512_permutexvar_ps(e, toThird));
        const __m512 w = _mm512_mul_ps(slope, _mm512_permutexvar_ps(e, toTwoThirds));
        const __m512 excess = _mm512_fnmadd_ps(_mm512_mul_ps(y, y), y, x);
        return V512::f(_mm512_fmadd_ps(excess, w, y));
    }
};

// Indices into (bg, r0) of FusedLabSteps::bgrx: bytes B, G, R, 0 of pixels 0-3 (then 4-7) of each lane.
struct PixelBytes {
    alignas(64) uint8_t index[2][64];
};
constexpr PixelBytes pixelBytes()
{
    PixelBytes p{};
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < 64; ++i) {
            const int lane = i / 16 * 16, pixel = 4 * half + i % 16 / 4;
            const int byChannel[4] = {lane + pixel, lane + 8 + pixel, 64 + lane + pixel, 64 + lane + 8};
            p.index[half][i] = uint8_t(byChannel[i % 4]);
        }
    }
    return p;
}
constexpr PixelBytes kPixelBytes = pixelBytes();

// LAB to RGB8888 with fused steps where the bytes stay the rule's; the sweep over every input shows them on
// this kernel.
// - The roots come scaled by s = 255^(1/3), by one fused step each: s fy = L (1 / 2.55f) s / 116 + 16 s
//   / 116, s fx = (a - 128) s / 500 + s fy and s fz = s fy' - (b - 128) s / 200, so that X' is the
//   integer part of the single-precision cube of s fx. The constants are the floats nearest to these
//   products, but for fz the next ones below (for 16 s / 116 and s / 200): with them the integer cubes X', Y'
//   and Z' are the rule's for every L, a and b (with the nearest ones one Z' in 65536 is not), though the
//   roots may differ from the rule's, scaled, by an ulp or so.
// - Blue, 0.0557 X' - 0.2040 Y' + 1.0570 Z' with two fused steps, may differ from the rule's sum by an ulp
//   but never in its integer part or its limit (green and red would not stay exact fused).
// One byte permute puts each channel byte c in the low byte of the float 2^23 + c; taking 2^23 (and 128)
// off that is exact.
struct FusedLabSteps {
    using V = V512::V;
    static constexpr float kBias = 0x1p23f;

    // 2^23 + the byte at `offset` of each pixel: its bytes are (that byte, 0, 0, 0x4B).
    static __m512 biased(V p, int offset)
    {
        const V index =
            _mm512_add_epi32(_mm512_set1_epi32(0x41404000 + offset),
                             _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60));
        return _mm512_castsi512_ps(_mm512_permutex2var_epi8(p, index, _mm512_set1_epi32(0x4B00)));
    }
    static LabRoots<V512> roots(V p)
    {
        const __m512 l = _mm512_sub_ps(biased(p, 2), _mm512_set1_ps(kBias));
        const __m512 perL = _mm512_set1_ps(0x1.5f3dp-6f);                           // (1 / 2.55f) s / 116
        const __m512 fy = _mm512_fmadd_ps(l, perL, _mm512_set1_ps(0x1.bfd42cp-1f)); // 16 s / 116
        const __m512 fyForZ = _mm512_fmadd_ps(l, perL, _mm512_set1_ps(0x1.bfd42ap-1f));
        const __m512 middle = _mm512_set1_ps(kBias + 128.0f);
        const __m512 a = _mm512_sub_ps(biased(p, 1), middle), b = _mm512_sub_ps(biased(p, 0), middle);
        return {V512::f(_mm512_fmadd_ps(a, _mm512_set1_ps(0x1.9f95cap-7f), fy)), V512::f(fy), // s / 500
                V512::f(_mm512_fnmadd_ps(b, _mm512_set1_ps(0x1.03bd9cp-5f), fyForZ))};        // s / 200
    }
    // The scaled roots' cubes are on the byte scale already.
    static V onByteScale(V f)
    {
        const __m512 x = V512::ps(f);
        return V512::f(_mm512_roundscale_ps(_mm512_mul_ps(_mm512_mul_ps(x, x), x),
                                            _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    }
    // bgrxFromWords in two byte permutes: blue and green bytes in one register, red and zeros in the other.
    static void bgrx(V b, V g, V r, V& first, V& second)
    {
        const V bg = V512::packus16(b, g), r0 = V512::packus16(r, V512::zero());
        first = _mm512_permutex2var_epi8(bg, _mm512_load_si512(kPixelBytes.index[0]), r0);
        second = _mm512_permutex2var_epi8(bg, _mm512_load_si512(kPixelBytes.index[1]), r0);
    }
    static V blue(V x, V y, V z)
    {
        const __m512 toY = _mm512_fnmadd_ps(_mm512_set1_ps(0.2040f), V512::ps(y),
                                            _mm512_mul_ps(_mm512_set1_ps(0.0557f), V512::ps(x)));
        return V512::f(_mm512_fmadd_ps(_mm512_set1_ps(1.0570f), V512::ps(z), toY));
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_LAB_KERNELS(Avx512, V512, PolynomialRoot, FusedLabSteps)
