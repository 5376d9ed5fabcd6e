// Planar RGB: packed lines spread into planes of one buffer and gathered back, merge and split with
// three separate plane pointers, and the bit reversal of MONO1.
#pragma once

#include <cstddef>

#include "convert/line.h"

namespace vyr::convert {

// Planes in the destination buffer at a distance of `count` samples.
extern const LineFn kRgb888ToRgbp8;
extern const LineFn kRgb8888ToRgbap8;
extern const LineFn kRgb101010ToRgbp16;
extern const LineFn kRgb161616ToRgbp16;

// Planes in the source buffer at a distance of `plane` samples, gathered into RGB8888.
using PlanesFn = void (*)(const uint8_t* src, uint8_t* dst, size_t plane, uint32_t count,
                          uint32_t unusedBits);
extern const PlanesFn kRgbp8ToRgb8888;
extern const PlanesFn kRgbap8ToRgb8888;
extern const PlanesFn kRgbp16ToRgb8888;

// `count` is in pixels (bits); (count + 7) / 8 bytes, in 32-bit arithmetic, are mirrored.
extern const LineFn kReverseMono1;

// Merge and split: a null plane contributes 0 (merge) or is not written (split). The vector paths
// take them too, by running the scalar rule.
using MergeFn = void (*)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst,
                         uint32_t count);
using SplitFn = void (*)(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, uint32_t count);

template <class Fn>
struct PathsOf {
    Fn scalar;
    Fn variants[kIsaCount]; // as in Paths

    Fn vector() const
    {
        for (unsigned i = processorIsa(); i > kPlain; --i) {
            if (variants[i])
                return variants[i];
        }
        return variants[kPlain];
    }
};

extern const PathsOf<MergeFn> kMergeMono8ToRgb8888;
extern const PathsOf<SplitFn> kSplitRgb8888ToMono8;

} // namespace vyr::convert
