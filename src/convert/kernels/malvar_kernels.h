// Malvar demosaic kernels: pixels x0 .. x0 + pixels - 1 of the output line, with the plain
// (unreflected) neighbourhood: they read columns x0-2 .. x0+pixels+1 of the centre line, one less on
// each side of the lines next to it and x0 .. x0+pixels-1 of the outer lines. phase is that of x0.
// They give exactly the bytes of the scalar rule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

struct MalvarLines {
    const uint8_t* top;   // two above
    const uint8_t* north; // one above
    const uint8_t* centre;
    const uint8_t* south;  // one below
    const uint8_t* bottom; // two below
};

// Which value each colour takes, by the phase of the pixel (0 GBRG, 1 BGGR, 2 RGGB, 3 GRBG at the
// centre): the centre sample itself, green at a red or blue site, the opposite colour at a red or
// blue site, and at a green site the colour of its left and right or of its upper and lower
// neighbours.
enum MalvarEstimate : uint8_t { kCentre, kGreenAtColour, kOpposite, kLeftRight, kUpDown };

struct MalvarAssignment {
    MalvarEstimate red, green, blue;
};

constexpr MalvarAssignment kMalvarAssignments[4] = {
    {kUpDown, kCentre, kLeftRight},
    {kOpposite, kGreenAtColour, kCentre},
    {kCentre, kGreenAtColour, kOpposite},
    {kLeftRight, kCentre, kUpDown},
};

// pixels a multiple of 8 (SSE2) or 16 (AVX2); the fourth byte of each RGB8888 pixel keeps its value
void malvar8ToRgb8888Sse2(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase);
void malvar8ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                         size_t pixels, uint32_t phase);
void malvar8ToRgb8888Avx2(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase);
void malvar8ToPlanarAvx2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                         size_t pixels, uint32_t phase);
// pixels a multiple of 64 (AVX-512)
void malvar8ToRgb8888Avx512(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase);
void malvar8ToPlanarAvx512(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                           size_t pixels, uint32_t phase);
// pixels a multiple of 4 (SSE2), 8 (AVX2) or 32 (AVX-512)
void malvar15ToPlanarSse2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                          size_t pixels, uint32_t phase);
void malvar15ToPlanarAvx2(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                          size_t pixels, uint32_t phase);
void malvar15ToPlanarAvx512(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                            size_t pixels, uint32_t phase);

} // namespace vyr::convert::kernels
