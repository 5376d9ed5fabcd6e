// The pixel formats that several families convert from or to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "registry.h"

namespace vyr::tool {

extern const Format kMono8;
extern const Format kRgb8888;
extern const Format kRgb888;
// Planar red, green and blue, of the planar family; Bayer mosaics demosaic into them too.
extern const Format kRgbp8;
extern const Format kRgbp16;

} // namespace vyr::tool
