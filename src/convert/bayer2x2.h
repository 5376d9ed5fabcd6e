// Bayer 2x2 demosaic: one output line from the cells of two sensor lines.
#pragma once

#include "convert/bayer.h"

namespace vyr::convert {

// The arguments of the exports, with the output pointers gathered in one OutputLine.
using Bayer2x2Fn = void (*)(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t width,
                            uint32_t phase, uint32_t noInterpolation, uint32_t rightBorder);
using Bayer2x2Paths = Paths<Bayer2x2Fn>;

// Vector part block sizes: the averaging mode runs its first multiple of these through the vector rule.
constexpr uint32_t kBayer8ToRgb8888Block = 4;
constexpr uint32_t kBayer8ToPlanarBlock = 16;
constexpr uint32_t kBayer15ToPlanarBlock = 8;

extern const Bayer2x2Paths kBayer8_2x2ToRgb8888;
extern const Bayer2x2Paths kBayer8_2x2ToPlanar;
extern const Bayer2x2Paths kBayer15_2x2ToPlanar;

} // namespace vyr::convert
