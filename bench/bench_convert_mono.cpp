#include "bench_support.h"
#include "convert/mono.h"

namespace {

const bool registered = [] {
    vyr::bench::registerPaths("MONO8toRGB8888", vyr::convert::kMono8ToRgb8888, 1, 4);
    vyr::bench::registerPaths("MONO8toRGB888", vyr::convert::kMono8ToRgb888, 1, 3);
    return true;
}();

} // namespace
