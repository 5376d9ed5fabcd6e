#include "bench_support.h"
#include "convert/yuv422.h"
#include "convert/yuv444.h"
#include "convert/yuv_encode.h"

namespace {

using namespace vyr::convert;

// Every YUV converter with a vector path, and two common scalar-only ones.
const bool registered = [] {
    using vyr::bench::registerPaths;
    registerPaths("UYVYtoMONO8", kUyvyToMono8, 2, 1);
    registerPaths("YUY2toMONO8", kYuy2ToMono8, 2, 1);
    registerPaths("UYVYtoRGB8888", kUyvyToRgb8888, 2, 4);
    registerPaths("YUY2toRGB8888", kYuy2ToRgb8888, 2, 4);
    registerPaths("YUY2toYUV", kYuy2ToYuv, 2, 4);
    registerPaths("RGB8888toYUV", kRgb8888ToYuv, 4, 4);
    registerPaths("MONO8toYUY2", kMono8ToYuy2, 1, 2);
    registerPaths("MONO16toYUY2", kMono16ToYuy2, 2, 2, 4);
    registerPaths("Y411toRGB8888", kY411ToRgb8888, 1.5, 4);
    registerPaths("YUVtoRGB8888", kYuvToRgb8888, 4, 4);
    registerPaths("RGB888toYUY2", kRgb888ToYuy2, 3, 2);
    registerPaths("Y411toRGB888", kY411ToRgb888, 1.5, 3);
    return true;
}();

} // namespace
