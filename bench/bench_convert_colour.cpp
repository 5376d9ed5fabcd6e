#include "bench_support.h"
#include "convert/hsi.h"
#include "convert/hsv.h"
#include "convert/lab.h"

namespace {

const bool registered = [] {
    using namespace vyr::convert;
    vyr::bench::registerPaths("RGB8888toHSV", kRgb8888ToHsv, 4, 4);
    vyr::bench::registerPaths("HSVtoRGB8888", kHsvToRgb8888, 4, 4);
    vyr::bench::registerPaths("HSVtoMONO8", kHsvToMono8, 4, 1);
    vyr::bench::registerPaths("RGB8888toHSI", kRgb8888ToHsi, 4, 4);
    vyr::bench::registerPaths("HSItoRGB8888", kHsiToRgb8888, 4, 4);
    vyr::bench::registerPaths("RGB8888toLAB", kRgb8888ToLab, 4, 4);
    vyr::bench::registerPaths("LABtoRGB8888", kLabToRgb8888, 4, 4);
    vyr::bench::registerPaths("LABtoMONO8", kLabToMono8, 4, 1);
    return true;
}();

} // namespace
