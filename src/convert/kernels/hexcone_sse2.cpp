#include "convert/kernels/hexcone_body.h"
#include "convert/kernels/hexcone_kernels.h"

namespace vyr::convert::kernels {
namespace {

struct Sse2Hexcone : V128 {
    // Table entries of the 16-bit indices, four to a register (SSE2 has no gather).
    static void entries(V index, V& first, V& second)
    {
        alignas(16) uint16_t i[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
        const uint32_t* t = kHexconeReciprocals.entry;
        first = _mm_setr_epi32(int(t[i[0]]), int(t[i[1]]), int(t[i[2]]), int(t[i[3]]));
        second = _mm_setr_epi32(int(t[i[4]]), int(t[i[5]]), int(t[i[6]]), int(t[i[7]]));
    }

    // (x * w + 2^21) >> 22, x in the low word of each 32-bit lane, entries of words (low, high):
    // x * w = (x * low) << 15 + x * high, both from 16-bit multiply-adds.
    static V timesReciprocal(V x, V entries)
    {
        const V byLow = madd16(x, entries);
        const V byHigh = madd16(slli32<16>(x), entries);
        const V product = add32(slli32<15>(byLow), byHigh);
        return srli32<22>(add32(product, set32(1 << 21)));
    }

    static V quotient16(V x, V n)
    {
        V first, second;
        entries(n, first, second);
        return packs32(timesReciprocal(unpacklo16(x, zero()), first),
                       timesReciprocal(unpackhi16(x, zero()), second));
    }
};

} // namespace
} // namespace vyr::convert::kernels

VYR_HEXCONE_KERNELS(Sse2, Sse2Hexcone)
