// Packed RGB converters: channel moves between RGB888, RGBR888, RGB8888, RGB5551, RGB565, RGB101010,
// RGB161616 and RGB16161616, and the 16-bit luminance of the deep ones.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

// With a vector rule. The RGB8888 destinations' fourth byte differs: the scalar paths leave it as
// the destination held it, the vector paths write 0.
extern const LinePaths kRgb888ToRgb8888;
extern const LinePaths kRgbr888ToRgb8888;
extern const LinePaths kRgbr888ToRgb888;
extern const LinePaths kRgb101010ToRgb8888; // vector path only with unusedBits 0

// With one rule.
extern const LinePaths kRgb8888ToRgb888;
extern const LinePaths kRgb888ToRgb5551;
extern const LinePaths kRgb888ToRgb565;
extern const LinePaths kRgb5551ToRgb888;
extern const LinePaths kRgb565ToRgb888;
extern const LinePaths kRgb101010ToRgb888;
extern const LinePaths kRgb101010ToRgb161616;
extern const LinePaths kRgb101010ToRgb16161616;
extern const LinePaths kRgb161616ToRgb101010;
extern const LinePaths kRgb16161616ToRgb101010;
extern const LinePaths kRgb161616ToRgb8888;
extern const LinePaths kRgb161616ToRgb888;
extern const LinePaths kRgb16161616ToRgb8888;
extern const LinePaths kRgb16161616ToRgb888;
extern const LinePaths kRgb16161616ToMono16;
extern const LinePaths kRgb101010ToMono16;

} // namespace vyr::convert
