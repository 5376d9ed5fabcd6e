// RGB888, RGB8888, MONO8 and MONO16 to packed YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const Paths kRgb888ToUyvy;
extern const Paths kRgb888ToYuy2;
extern const Paths kRgb888ToYvyu;
extern const Paths kRgb8888ToUyvy;
extern const Paths kRgb8888ToYuy2;
extern const Paths kRgb8888ToYuv;
extern const Paths kMono8ToYuy2;
extern const Paths kMono16ToYuy2;

} // namespace vyr::convert
