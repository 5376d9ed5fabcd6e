// The pixel formats that several families convert from or to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "registry.h"

namespace vyr::tool {

extern const Format kMono8;
extern const Format kRgb8888;
extern const Format kRgb888;

template <size_t BytesPerPixel>
size_t fixedBytesPerLine(uint32_t width)
{
    return BytesPerPixel * width;
}

} // namespace vyr::tool
