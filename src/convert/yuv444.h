// Y411 (4:1:1), IYU2 and YUV (4:4:4) to MONO8, RGB8888, RGB888 and YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const LinePaths kY411ToMono8;
extern const LinePaths kY411ToRgb8888; // vector path only where the SSE integer extension is present
extern const LinePaths kY411ToRgb888;
extern const LinePaths kY411ToYuv;
extern const LinePaths kIyu2ToMono8;
extern const LinePaths kIyu2ToRgb8888;
extern const LinePaths kIyu2ToRgb888;
extern const LinePaths kIyu2ToYuv;
extern const LinePaths kYuvToMono8;
extern const LinePaths kYuvToRgb8888;

} // namespace vyr::convert
