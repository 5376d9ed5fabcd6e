// LAB converters: pixels of bytes b, a, L, 0 (CIE L*a*b* of the RGB bytes taken as linear light,
// with no reference white, scaled to bytes). One rule each.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kRgb8888ToLab; // double precision and the C runtime's pow
extern const LinePaths kLabToRgb8888; // single precision, cubes only
extern const LinePaths kLabToMono8;   // the L byte

} // namespace vyr::convert
