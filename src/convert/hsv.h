// HSV converters: pixels of bytes V, S, H, 0 (value, saturation, hue on a 255-step circle).
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kRgb8888ToHsv; // scalar in double precision; vector in integers, block 4
extern const LinePaths kHsvToRgb8888; // scalar in double precision; vector in integers, block 8
extern const LinePaths kHsvToMono8;   // scalar only

} // namespace vyr::convert
