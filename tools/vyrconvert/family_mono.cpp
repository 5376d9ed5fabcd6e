// Grey conversions.
#include "formats.h"

namespace vyr::tool {
namespace {

const Registration kMonoConversions({}, {
    {&kMono8, &kRgb8888, VyrUtilConvertMONO8toRGB8888, false},
    {&kMono8, &kRgb888, VyrUtilConvertMONO8toRGB888, false},
});

} // namespace
} // namespace vyr::tool
