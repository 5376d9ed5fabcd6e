#include "convert/kernels/avx512_first.h"
#include "convert/kernels/unit_kernels.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// The first `bytes` of a register (all of it from 64 on).
inline __mmask64 firstBytes(size_t bytes)
{
    return bytes >= 64 ? ~__mmask64(0) : (__mmask64(1) << bytes) - 1;
}

} // namespace

void intoUnitBlock(uint8_t* block, size_t blockBytes, const uint8_t* from, size_t bytes)
{
    for (size_t at = 0; at < blockBytes; at += 64) {
        const size_t left = bytes > at ? bytes - at : 0;
        _mm512_store_si512(block + at, _mm512_maskz_loadu_epi8(firstBytes(left), from + at));
    }
}

void fromUnitBlock(uint8_t* to, const uint8_t* block, size_t bytes)
{
    for (size_t at = 0; at < bytes; at += 64)
        _mm512_mask_storeu_epi8(to + at, firstBytes(bytes - at), _mm512_load_si512(block + at));
}

} // namespace vyr::convert::kernels
