// The exports of the Bicolor, Bayer and planar-source families in one shape a family, as their tables' paths
// take their arguments: what an export lacks is dropped, its output pointers come from one OutputLine.
#pragma once

#include <cstdint>

#include "VyrUtility.h"
#include "convert/bayer.h"

namespace vyr::test {

// Bicolor exports without a shift or a flag leave it out.
using BicolorExport = uint32_t (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift,
                                   uint32_t flag);
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t)>
uint32_t bicolor3(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t, uint32_t)
{
    return F(s, d, n);
}
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t, uint32_t)>
uint32_t bicolor4(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t, uint32_t flag)
{
    return F(s, d, n, flag);
}
template <uint32_t(VYR_CALL* F)(const void*, void*, uint32_t, uint32_t, uint32_t)>
uint32_t bicolor5(const uint8_t* s, uint8_t* d, uint32_t n, uint32_t shift, uint32_t flag)
{
    return F(s, d, n, shift, flag);
}

// Bayer exports writing one RGB8888 line (packed) or three planes.
using Bayer2x2Export = uint32_t (*)(const uint8_t* src0, const uint8_t* src1, const convert::OutputLine& out,
                                    uint32_t width, uint32_t phase, uint32_t noInterpolation,
                                    uint32_t rightBorder);
using MalvarExport = uint32_t (*)(const uint8_t* const* src, const convert::OutputLine& out, uint32_t width,
                                  uint32_t phase, int32_t rowBorder, uint32_t border);

template <auto F>
uint32_t packed2x2(const uint8_t* s0, const uint8_t* s1, const convert::OutputLine& o, uint32_t w, uint32_t p,
                   uint32_t copy, uint32_t border)
{
    return F(s0, s1, o.at[0], w, p, copy, border);
}
template <auto F>
uint32_t planar2x2(const uint8_t* s0, const uint8_t* s1, const convert::OutputLine& o, uint32_t w, uint32_t p,
                   uint32_t copy, uint32_t border)
{
    return F(s0, s1, o.at[0], o.at[1], o.at[2], w, p, copy, border);
}
template <auto F>
uint32_t packedMalvar(const uint8_t* const* l, const convert::OutputLine& o, uint32_t w, uint32_t p,
                      int32_t rows, uint32_t border)
{
    return F(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, rows, border);
}
template <auto F>
uint32_t planarMalvar(const uint8_t* const* l, const convert::OutputLine& o, uint32_t w, uint32_t p,
                      int32_t rows, uint32_t border)
{
    return F(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w, p, rows, border);
}

// Planar sources: the reserved arguments, width, height, count and unusedBits (which the 8-bit exports lack).
using PlanesExport = uint32_t (*)(const uint8_t* src, uint8_t* dst, uint32_t reserved1, uint32_t reserved2,
                                  uint32_t width, uint32_t height, uint32_t count, uint32_t unusedBits);
template <auto F>
uint32_t planes8(const uint8_t* s, uint8_t* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n,
                 uint32_t)
{
    return F(s, d, r1, r2, w, h, n);
}
template <auto F>
uint32_t planes16(const uint8_t* s, uint8_t* d, uint32_t r1, uint32_t r2, uint32_t w, uint32_t h, uint32_t n,
                  uint32_t a)
{
    return F(s, d, r1, r2, w, h, n, a);
}

} // namespace vyr::test
