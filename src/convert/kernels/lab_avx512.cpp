#include "convert/kernels/avx512_first.h"

#include <cfloat>
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

// n / 116 for the 256 numerators n = L / 2.55f + 16: n times the rounded reciprocal plus n times the rest
// of it, one rounding for both by a fused step (checked for every L below in long double, where both
// products and their sum are exact).
constexpr float kPerLightnessRoot = 1.0f / 116.0f;
constexpr float kPerLightnessRootRest = float(1.0 / 116.0 - double(kPerLightnessRoot));
constexpr bool fusedDividesEveryLightness()
{
    for (int l = 0; l < 256; ++l) {
        const float n = float(l) * kPerLightnessStep + 16.0f;
        const long double fused =
            (long double)n * kPerLightnessRoot + (long double)(n * kPerLightnessRootRest);
        if (float(fused) != n / 116.0f)
            return false;
    }
    return true;
}
#if FLT_EVAL_METHOD == 0 && LDBL_MANT_DIG >= 64
static_assert(fusedDividesEveryLightness(), "n / 116 by a fused step");
#endif

// The roots of LAB to RGB8888 in fewer steps. One byte permute puts each channel byte c in the low byte of
// the float 2^23 + c, from which L * (1 / 2.55f) comes by one fused step (2^23 times the constant is
// exact) and a - 128, b - 128 by one exact subtraction. The high product of a split reciprocal is exact,
// so fusing it with the sum rounds as the plain steps do.
struct BiasedByteRoots {
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
    static __m512 quotient(__m512 x, SplitReciprocal s)
    {
        return _mm512_fmadd_ps(x, _mm512_set1_ps(s.high), _mm512_mul_ps(x, _mm512_set1_ps(s.low)));
    }
    static LabRoots<V512> roots(V p)
    {
        const __m512 lightness = _mm512_fmadd_ps(biased(p, 2), _mm512_set1_ps(kPerLightnessStep),
                                                 _mm512_set1_ps(-kBias * kPerLightnessStep));
        const __m512 n = _mm512_add_ps(lightness, _mm512_set1_ps(16.0f));
        const __m512 fy = _mm512_fmadd_ps(n, _mm512_set1_ps(kPerLightnessRoot),
                                          _mm512_mul_ps(n, _mm512_set1_ps(kPerLightnessRootRest)));
        const __m512 middle = _mm512_set1_ps(kBias + 128.0f);
        const __m512 a = _mm512_sub_ps(biased(p, 1), middle), b = _mm512_sub_ps(biased(p, 0), middle);
        return {V512::f(_mm512_add_ps(quotient(a, kPerRedGreenStep), fy)), V512::f(fy),
                V512::f(_mm512_sub_ps(fy, quotient(b, kPerBlueYellowStep)))};
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_LAB_KERNELS(Avx512, V512, PolynomialRoot, BiasedByteRoots)
