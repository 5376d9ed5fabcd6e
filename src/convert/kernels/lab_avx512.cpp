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

// The quotients of LAB to RGB8888 with fused steps: the high product of a split reciprocal is exact, so
// fusing it with the sum rounds as the plain steps do.
struct FusedLabSteps {
    using V = V512::V;
    static V lightnessRoot(V numerator)
    {
        const __m512 n = V512::ps(numerator);
        return V512::f(_mm512_fmadd_ps(n, _mm512_set1_ps(kPerLightnessRoot),
                                       _mm512_mul_ps(n, _mm512_set1_ps(kPerLightnessRootRest))));
    }
    static V quotient(V numerator, SplitReciprocal s)
    {
        const __m512 x = V512::ps(numerator);
        return V512::f(_mm512_fmadd_ps(x, _mm512_set1_ps(s.high), _mm512_mul_ps(x, _mm512_set1_ps(s.low))));
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_LAB_KERNELS(Avx512, V512, PolynomialRoot, FusedLabSteps)
