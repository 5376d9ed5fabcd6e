#include "convert/kernels/planar_kernels.h"
#include "convert/kernels/planar_steps.h"

#define VYR_PLANAR_AT(K) VYR_UNITS(unitsAvx512, K)
VYR_PLANAR_SHUFFLES(VYR_PLANAR_AT)

namespace vyr::convert::kernels {
namespace {

struct MirrorLoop {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t whole, const Steps<tag::MirrorBits, V512>& steps)
    {
        for (size_t i = 0; i < whole; i += 64)
            V512::store<Stream>(dst + i, steps.mirror(V512::load(src + i)));
    }
};

} // namespace

void mirrorBitsAvx512(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const size_t bytes = (count + 7u) / 8u;
    const Steps<tag::MirrorBits, V512> steps(0);
    const size_t whole = bytes / 64 * 64, rest = bytes - whole;
    withStores<MirrorLoop>(dst, bytes, src, dst, whole, steps);
    if (rest) {
        const __mmask64 m = (uint64_t(1) << rest) - 1;
        _mm512_mask_storeu_epi8(dst + whole, m, steps.mirror(_mm512_maskz_loadu_epi8(m, src + whole)));
    }
}

} // namespace vyr::convert::kernels
