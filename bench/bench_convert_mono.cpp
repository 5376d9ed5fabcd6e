#include "bench_support.h"
#include "convert/mono.h"

namespace {

using namespace vyr::convert;
using vyr::bench::registerLineBench;
using vyr::bench::registerPaths;

const bool registered = [] {
    registerPaths("MONO8toRGB8888", kMono8ToRgb8888, 1, 4);
    registerPaths("MONO8toRGB888", kMono8ToRgb888, 1, 3);
    registerPaths("MONO16toMONO8", kMono16ToMono8, 2, 1);
    registerPaths("MONO8toRGB5551", kMono8ToRgb5551, 1, 2);
    registerPaths("MONO8toRGB565", kMono8ToRgb565, 1, 2);
    registerPaths("RGB8888toMONO8", kRgb8888ToMono8, 4, 1);
    registerLineBench({"MONO16toRGB8888/scalar", kMono16ToRgb8888.scalar, 2, 4});
    return true;
}();

} // namespace
