// Packed 4:2:2 YUV (UYVY, YUY2, YVYU) to MONO8, RGB8888, RGB888 and 4:4:4 YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kUyvyToMono8;
extern const LinePaths kUyvyToRgb8888;
extern const LinePaths kUyvyToRgb888;
extern const LinePaths kUyvyToYuv;
extern const LinePaths kYuy2ToMono8;
extern const LinePaths kYuy2ToRgb8888;
extern const LinePaths kYuy2ToRgb888;
extern const LinePaths kYuy2ToYuv;
extern const LinePaths kYvyuToRgb8888;
extern const LinePaths kYvyuToRgb888;
extern const LinePaths kYvyuToYuv;

} // namespace vyr::convert
