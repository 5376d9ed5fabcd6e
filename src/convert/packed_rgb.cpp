#include "convert/packed_rgb.h"

#include "convert/kernels/packed_rgb_kernels.h"

namespace vyr::convert {
namespace {

using namespace fmt;
using kernels::headTriplesTo8;
using kernels::headWordsTo8;

// RGB888 keeps 8 significant bits towards 5- and 6-bit fields only where the rule takes unusedBits.
using Rgb888ToRgb5551 = Repack<Rgb888, Rgb5551, Separate, Fields::Cut, UnusedBits::Ignored>;
using Rgb888ToRgb565 = Repack<Rgb888, Rgb565, Separate, Fields::Spill>;

} // namespace

const LinePaths kRgb888ToRgb8888 = {
    line<Repack<Rgb888, Rgb8888Colour>>,
    {},
    vectorBlocks<Repack<Rgb888, Rgb8888>, 8, headWordsTo8, VYR_KERNEL(kernels::rgb888ToRgb8888Sse2),
                 VYR_KERNEL(kernels::rgb888ToRgb8888Ssse3)>()};
const LinePaths kRgbr888ToRgb8888 = {
    line<Repack<Rgbr888, Rgb8888Colour>>,
    {},
    vectorBlocks<Repack<Rgbr888, Rgb8888>, 8, headWordsTo8, VYR_KERNEL(kernels::rgbr888ToRgb8888Sse2),
                 VYR_KERNEL(kernels::rgbr888ToRgb8888Ssse3)>()};
const LinePaths kRgbr888ToRgb888 = {
    line<Repack<Rgbr888, Rgb888>>,
    {},
    vectorBlocks<Repack<Rgbr888, Rgb888>, 8, headTriplesTo8, VYR_KERNEL(kernels::rgbr888ToRgb888Sse2)>()};
const LinePaths kRgb101010ToRgb8888 = {
    line<Repack<Rgb101010, Rgb8888>>,
    {},
    vectorBlocks<Repack<Rgb101010, Rgb8888>, 4, headWordsTo8, VYR_KERNEL(kernels::rgb101010ToRgb8888Sse2)>()};
const LinePaths kRgb8888ToRgb888 = {line<Repack<Rgb8888, Rgb888>>};
const LinePaths kRgb888ToRgb5551 = {line<Rgb888ToRgb5551>};
const LinePaths kRgb888ToRgb565 = {line<Rgb888ToRgb565>};
const LinePaths kRgb5551ToRgb888 = {line<Repack<Rgb5551, Rgb888>>};
const LinePaths kRgb565ToRgb888 = {line<Repack<Rgb565, Rgb888>>};
const LinePaths kRgb101010ToRgb888 = {line<Repack<Rgb101010, Rgb888>>};
const LinePaths kRgb101010ToRgb161616 = {line<Repack<Rgb101010, Rgb161616>>};
const LinePaths kRgb101010ToRgb16161616 = {line<Repack<Rgb101010, Rgb16161616>>};
const LinePaths kRgb161616ToRgb101010 = {line<Repack<Rgb161616, Rgb101010>>};
const LinePaths kRgb16161616ToRgb101010 = {line<Repack<Rgb16161616, Rgb101010>>};
const LinePaths kRgb161616ToRgb8888 = {line<Repack<Rgb161616, Rgb8888>>};
const LinePaths kRgb161616ToRgb888 = {line<Repack<Rgb161616, Rgb888>>};
const LinePaths kRgb16161616ToRgb8888 = {line<Repack<Rgb16161616, Rgb8888>>};
const LinePaths kRgb16161616ToRgb888 = {line<Repack<Rgb16161616, Rgb888>>};
const LinePaths kRgb16161616ToMono16 = {line<Repack<Rgb16161616, Mono16, Luma16>>};
const LinePaths kRgb101010ToMono16 = {line<Repack<Rgb101010, Mono16, Luma16>>};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB888toRGB8888, kRgb888ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertRGBR888toRGB8888, kRgbr888ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertRGBR888toRGB888, kRgbr888ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toRGB8888, kRgb101010ToRgb8888, unusedBits == 0)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toRGB888, kRgb8888ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB888toRGB5551, kRgb888ToRgb5551)
VYR_LINE_EXPORT(VyrUtilConvertRGB888toRGB565, kRgb888ToRgb565)
VYR_LINE_EXPORT(VyrUtilConvertRGB5551toRGB888, kRgb5551ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB565toRGB888, kRgb565ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toRGB888, kRgb101010ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toRGB161616, kRgb101010ToRgb161616)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toRGB16161616, kRgb101010ToRgb16161616)
VYR_LINE_EXPORT(VyrUtilConvertRGB161616toRGB101010, kRgb161616ToRgb101010)
VYR_LINE_EXPORT(VyrUtilConvertRGB16161616toRGB101010, kRgb16161616ToRgb101010)
VYR_LINE_EXPORT(VyrUtilConvertRGB161616toRGB8888, kRgb161616ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertRGB161616toRGB888, kRgb161616ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB16161616toRGB8888, kRgb16161616ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertRGB16161616toRGB888, kRgb16161616ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertRGB16161616toMONO16, kRgb16161616ToMono16)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toMONO16, kRgb101010ToMono16)

} // extern "C"
