// Kernels of merge and split: a nonzero multiple of 8 pixels between three MONO8 planes and RGB8888.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::kernels {

using MergeKernel = void (*)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst,
                             size_t pixels);
using SplitKernel = void (*)(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);

// Words red << 16 | green << 8 | blue, the fourth byte 0.
void mergeSse2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels);
// Bytes 2, 1 and 0 of every pixel to the red, green and blue planes.
void splitSse2(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);

} // namespace vyr::convert::kernels
