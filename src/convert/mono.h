// Grey (MONO) and signed integer converters: depth and sign changes, grey expansion to RGB, and the
// luminance of 8-bit RGB.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

// With a vector path.
extern const Paths kMono8ToRgb8888;
extern const Paths kMono8ToRgb888;
extern const Paths kMono16ToMono8;
extern const Paths kMono8ToRgb5551; // vector path only with unusedBits 0
extern const Paths kMono8ToRgb565;  // vector path only with unusedBits 0; its green field differs
extern const Paths kRgb8888ToMono8;

// With one path.
extern const LineFn kMono32ToMono8;
extern const LineFn kMono8ToMono16;
extern const LineFn kMono8ToInt8;
extern const LineFn kInt8ToMono8;
extern const LineFn kMono8ToInt16;
extern const LineFn kInt16ToMono8;
extern const LineFn kMono16ToRgb5551;
extern const LineFn kMono16ToRgb565;
extern const LineFn kMono16ToRgb8888;
extern const LineFn kMono16ToRgb888;
extern const LineFn kRgb888ToMono8;

} // namespace vyr::convert
