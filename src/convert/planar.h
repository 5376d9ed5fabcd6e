// Planar RGB: packed lines spread into planes of one buffer and gathered back, merge and split with
// three separate plane pointers, and the bit reversal of MONO1.
#pragma once

#include <cstddef>

#include "convert/line.h"

namespace vyr::convert {

// Planes in the destination buffer at a distance of `count` samples.
extern const LinePaths kRgb888ToRgbp8;
extern const LinePaths kRgb8888ToRgbap8;
extern const LinePaths kRgb101010ToRgbp16;
extern const LinePaths kRgb161616ToRgbp16;

// Planes in the source buffer at a distance of `plane` samples, gathered into RGB8888.
using PlanesFn = void (*)(const uint8_t* src, uint8_t* dst, size_t plane, uint32_t count,
                          uint32_t unusedBits);
extern const Paths<PlanesFn> kRgbp8ToRgb8888;
extern const Paths<PlanesFn> kRgbap8ToRgb8888;
extern const Paths<PlanesFn> kRgbp16ToRgb8888;

// `count` is in pixels (bits); (count + 7) / 8 bytes, in 32-bit arithmetic, are mirrored.
extern const LinePaths kReverseMono1;

// Merge and split: a null plane contributes 0 (merge) or is not written (split). The vector paths
// take them too, by running the scalar rule.
using MergeFn = void (*)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst,
                         uint32_t count);
using SplitFn = void (*)(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, uint32_t count);

extern const Paths<MergeFn> kMergeMono8ToRgb8888;
extern const Paths<SplitFn> kSplitRgb8888ToMono8;

} // namespace vyr::convert
