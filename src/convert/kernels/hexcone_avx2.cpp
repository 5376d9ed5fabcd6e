#include "convert/kernels/hexcone_body.h"
#include "convert/kernels/hexcone_kernels.h"

namespace vyr::convert::kernels {
namespace {

struct Avx2Hexcone : V256 {
    // For 0 <= x <= n <= 255 the table gives (x * w + 2^21) >> 22 = floor((510 x + n) / (2 n)), x * 255 / n
    // rounded half up: w exceeds 255 * 2^22 / n by less than 1, which moves x * 255 / n + 1/2 by less
    // than 2^-14, while a quotient of denominator 2n is an integer or at least 1/510 short of one.
    // A single-precision division of these integers (below 2^24, so exact as floats) is off by less
    // than 2^-15 in any rounding mode, so truncating it gives the same integer. Gathering the
    // entries instead takes 1.7 times as long.
    static V quotient32(V x, V n)
    {
        const V numerator = add32(madd16(x, set32(510)), n);
        const V denominator = _mm256_max_epi32(add32(n, n), set32(1));
        return _mm256_cvttps_epi32(
            _mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(denominator)));
    }

    static V quotient16(V x, V n)
    {
        return packs32(quotient32(unpacklo16(x, zero()), unpacklo16(n, zero())),
                       quotient32(unpackhi16(x, zero()), unpackhi16(n, zero())));
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Avx2, Avx2Hexcone)
