// The pixel formats that several families convert from or to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "registry.h"

namespace vyr::tool {

extern const Format kMono8;
extern const Format kRgb8888;
extern const Format kRgb888;
extern const Format kRgbp8;  // three planes of width x height bytes: red, green, blue
extern const Format kRgbp16; // the same with 16-bit little-endian samples

// A sample of (16 - unusedBits) significant bits, rounded to 8 bits (larger values count as the maximum).
uint8_t significantTo8Bit(uint32_t value, uint32_t unusedBits);

template <size_t BytesPerPixel>
size_t fixedBytesPerLine(uint32_t width)
{
    return BytesPerPixel * width;
}

} // namespace vyr::tool
