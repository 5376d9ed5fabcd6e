// Formats of the grey, packed RGB and planar families that more than one of their files uses.
#pragma once

#include "formats.h"

namespace vyr::tool {

extern const Format kMono16;
extern const Format kRgb5551;
extern const Format kRgb565;
extern const Format kRgb101010;
extern const Format kRgb161616;

} // namespace vyr::tool
