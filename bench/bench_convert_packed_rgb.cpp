#include "bench_support.h"
#include "convert/packed_rgb.h"

namespace {

using namespace vyr::convert;
using vyr::bench::registerLineBench;
using vyr::bench::registerPaths;

const bool registered = [] {
    registerPaths("RGB888toRGB8888", kRgb888ToRgb8888, 3, 4);
    registerPaths("RGBR888toRGB8888", kRgbr888ToRgb8888, 3, 4);
    registerPaths("RGBR888toRGB888", kRgbr888ToRgb888, 3, 3);
    registerPaths("RGB101010toRGB8888", kRgb101010ToRgb8888, 4, 4);
    registerLineBench({"RGB8888toRGB888/scalar", kRgb8888ToRgb888.scalar, 4, 3});
    registerLineBench({"RGB565toRGB888/scalar", kRgb565ToRgb888.scalar, 2, 3});
    return true;
}();

} // namespace
