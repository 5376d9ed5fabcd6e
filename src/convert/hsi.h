// HSI converters: pixels of bytes I, S, H, 0 (intensity, the mean of the channels, with the
// saturation and hue of the HSV hexcone).
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kRgb8888ToHsi; // scalar in double precision; vector in integers, block 4
extern const LinePaths kHsiToRgb8888; // scalar only

} // namespace vyr::convert
