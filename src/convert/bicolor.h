// Bicolor (two-colour sensor) lines: every pixel a colour sample (red and blue taking turns) and a
// green sample, to and from packed RGB and between the two sample widths.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

// Every converter takes these arguments; exports without a shift pass 0.
using BicolorFn = void (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t flag);
using BicolorPaths = Paths<BicolorFn>;

// The missing colour of each pixel from its neighbours; flag: blue first.
extern const BicolorPaths kBicolor88ToRgb8888;
extern const BicolorPaths kBicolor88ToRgb888;
extern const BicolorPaths kBicolor88ToRgbr888;
extern const BicolorPaths kBicolor88ToRgb161616;
extern const BicolorPaths kBicolor88ToRgb16161616;
extern const BicolorPaths kBicolor1616ToRgb8888;
extern const BicolorPaths kBicolor1616ToRgb888;
extern const BicolorPaths kBicolor1616ToRgbr888;
extern const BicolorPaths kBicolor1616ToRgb161616;
extern const BicolorPaths kBicolor1616ToRgb16161616;

// Each pixel keeps its green and the colour of its site; flag: blue first.
extern const BicolorPaths kRgb888ToBicolor88;
extern const BicolorPaths kRgb8888ToBicolor88;
extern const BicolorPaths kRgbr888ToBicolor88;
extern const BicolorPaths kRgb888ToBicolor1616;
extern const BicolorPaths kRgb8888ToBicolor1616;
extern const BicolorPaths kRgbr888ToBicolor1616;
extern const BicolorPaths kRgb161616ToBicolor1616;
extern const BicolorPaths kRgb16161616ToBicolor1616;

// Sample widths; flag: exchange the two samples of each pixel.
extern const BicolorPaths kBicolor88ToBicolor88;
extern const BicolorPaths kBicolor88ToBicolor1616;
extern const BicolorPaths kBicolor1616ToBicolor1616;

} // namespace vyr::convert
