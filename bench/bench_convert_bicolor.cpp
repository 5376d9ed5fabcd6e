// Bicolor converters (scalar only): to RGB with the interpolated colour, and back by selection.
#include "bench_support.h"

namespace {

void bicolor88ToRgb8888(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    VyrUtilConvertBicolor88toRGB8888(src, dst, count, 0);
}

void rgb8888ToBicolor88(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    VyrUtilConvertRGB8888toBicolor88(src, dst, count, 0);
}

const bool registered = [] {
    vyr::bench::registerLineBench({"Bicolor88toRGB8888/scalar", bicolor88ToRgb8888, 2, 4});
    vyr::bench::registerLineBench({"RGB8888toBicolor88/scalar", rgb8888ToBicolor88, 4, 2});
    return true;
}();

} // namespace
