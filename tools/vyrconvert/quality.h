// How closely one frame matches another, for the demo's round trips and demosaicing.
#pragma once

#include "frame.h"

namespace vyr::tool {

// Peak signal-to-noise ratio in dB of b against a (same size), both seen as 8-bit R, G, B through
// their formats; infinity when they look the same.
double psnr(const Frame& a, const Frame& b);

} // namespace vyr::tool
