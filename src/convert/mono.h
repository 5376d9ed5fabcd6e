// Grey (MONO) and signed integer converters: depth and sign changes, grey expansion to RGB, and the
// luminance of 8-bit RGB.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

// With a vector rule.
extern const LinePaths kMono8ToRgb8888;
extern const LinePaths kMono8ToRgb888;
extern const LinePaths kMono16ToMono8;
extern const LinePaths kMono8ToRgb5551; // vector path only with unusedBits 0
extern const LinePaths kMono8ToRgb565;  // vector path only with unusedBits 0; its green field differs
extern const LinePaths kRgb8888ToMono8;

// With one rule.
extern const LinePaths kMono32ToMono8;
extern const LinePaths kMono8ToMono16;
extern const LinePaths kMono8ToInt8;
extern const LinePaths kInt8ToMono8;
extern const LinePaths kMono8ToInt16;
extern const LinePaths kInt16ToMono8;
extern const LinePaths kMono16ToRgb5551;
extern const LinePaths kMono16ToRgb565;
extern const LinePaths kMono16ToRgb8888;
extern const LinePaths kMono16ToRgb888;
extern const LinePaths kRgb888ToMono8;

} // namespace vyr::convert
