// Y411 (4:1:1), IYU2 and YUV (4:4:4) to MONO8, RGB8888, RGB888 and YUV.
#pragma once

#include "convert/line.h"

namespace vyr::convert {

extern const Paths kY411ToMono8;
extern const Paths kY411ToRgb8888; // vector path only where the SSE integer extension is present
extern const Paths kY411ToRgb888;
extern const Paths kY411ToYuv;
extern const Paths kIyu2ToMono8;
extern const Paths kIyu2ToRgb8888;
extern const Paths kIyu2ToRgb888;
extern const Paths kIyu2ToYuv;
extern const Paths kYuvToMono8;
extern const Paths kYuvToRgb8888;

} // namespace vyr::convert
