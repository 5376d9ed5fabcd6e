// Packed 4:2:2 YUV (UYVY, YUY2, YVYU) to MONO8, RGB8888, RGB888 and 4:4:4 YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const Paths kUyvyToMono8;
extern const Paths kUyvyToRgb8888;
extern const Paths kUyvyToRgb888;
extern const Paths kUyvyToYuv;
extern const Paths kYuy2ToMono8;
extern const Paths kYuy2ToRgb8888;
extern const Paths kYuy2ToRgb888;
extern const Paths kYuy2ToYuv;
extern const Paths kYvyuToRgb8888;
extern const Paths kYvyuToRgb888;
extern const Paths kYvyuToYuv;

} // namespace vyr::convert
