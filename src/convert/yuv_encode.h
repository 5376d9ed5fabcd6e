// RGB888, RGB8888, MONO8 and MONO16 to packed YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kRgb888ToUyvy;
extern const LinePaths kRgb888ToYuy2;
extern const LinePaths kRgb888ToYvyu;
extern const LinePaths kRgb8888ToUyvy;
extern const LinePaths kRgb8888ToYuy2;
extern const LinePaths kRgb8888ToYuv;
extern const LinePaths kMono8ToYuy2;
extern const LinePaths kMono16ToYuy2;

} // namespace vyr::convert
