#include "convert/packed_rgb.h"

#include "convert/kernels/packed_rgb_kernels.h"
#include "convert/unit_line.h"

namespace vyr::convert {
namespace {

using namespace fmt;
using kernels::headTriplesTo8;
using kernels::headWordsTo8;

// RGB888 keeps 8 significant bits towards 5- and 6-bit fields only where the rule takes unusedBits.
using Rgb888ToRgb5551 = Repack<Rgb888, Rgb5551, Separate, Fields::Cut, UnusedBits::Ignored>;
using Rgb888ToRgb565 = Repack<Rgb888, Rgb565, Separate, Fields::Spill>;

} // namespace

namespace tag = kernels::tag;

// The fourth byte kept by the scalar rules, written 0 by the vector rules.
const LinePaths kRgb888ToRgb8888 = {
    line<Repack<Rgb888, Rgb8888Colour>>,
    unitPaths<line<Repack<Rgb888, Rgb8888Colour>>, tag::Rgb888ToRgb8888Keep>(),
    withEntries(
        vectorBlocks<Repack<Rgb888, Rgb8888>, 8, headWordsTo8, VYR_KERNEL(kernels::rgb888ToRgb8888Sse2),
                     VYR_KERNEL(kernels::rgb888ToRgb8888Ssse3)>(),
        unitPaths<line<Repack<Rgb888, Rgb8888>>, tag::Rgb888ToRgb8888Zero>(), kAvx512)};
const LinePaths kRgbr888ToRgb8888 = {
    line<Repack<Rgbr888, Rgb8888Colour>>,
    unitPaths<line<Repack<Rgbr888, Rgb8888Colour>>, tag::Rgbr888ToRgb8888Keep>(),
    withEntries(
        vectorBlocks<Repack<Rgbr888, Rgb8888>, 8, headWordsTo8, VYR_KERNEL(kernels::rgbr888ToRgb8888Sse2),
                     VYR_KERNEL(kernels::rgbr888ToRgb8888Ssse3)>(),
        unitPaths<line<Repack<Rgbr888, Rgb8888>>, tag::Rgbr888ToRgb8888Zero>(), kAvx512)};

// Two rules with the same bytes: the vector rule's kernels serve the scalar rule too.
const LinePaths kRgbr888ToRgb888 = sameBytes(
    line<Repack<Rgbr888, Rgb888>>,
    withEntries(
        vectorBlocks<Repack<Rgbr888, Rgb888>, 8, headTriplesTo8, VYR_KERNEL(kernels::rgbr888ToRgb888Sse2)>(),
        unitPaths<line<Repack<Rgbr888, Rgb888>>, tag::Rgbr888ToRgb888>(), kSsse3, kAvx512));

// The scalar rule for every valid unusedBits; the vector rule (unusedBits 0) by the same kernels
// where its older SSE2 one is not the widest.
constexpr PerIsa<LineFn> kRgb101010ToRgb8888Units =
    unitPaths<line<Repack<Rgb101010, Rgb8888>>, tag::Rgb101010ToRgb8888, 2>();
const LinePaths kRgb101010ToRgb8888 = {
    line<Repack<Rgb101010, Rgb8888>>, kRgb101010ToRgb8888Units,
    withEntries(vectorBlocks<Repack<Rgb101010, Rgb8888>, 4, headWordsTo8,
                             VYR_KERNEL(kernels::rgb101010ToRgb8888Sse2)>(),
                kRgb101010ToRgb8888Units, kAvx2, kAvx512)};

const LinePaths kRgb8888ToRgb888 = oneRule<Repack<Rgb8888, Rgb888>, tag::Rgb8888ToRgb888>();
const LinePaths kRgb888ToRgb5551 = oneRule<Rgb888ToRgb5551, tag::Rgb888ToRgb5551>();
const LinePaths kRgb888ToRgb565 = oneRule<Rgb888ToRgb565, tag::Rgb888ToRgb565, 2>();
const LinePaths kRgb5551ToRgb888 = oneRule<Repack<Rgb5551, Rgb888>, tag::Rgb5551ToRgb888, 3>();
const LinePaths kRgb565ToRgb888 = oneRule<Repack<Rgb565, Rgb888>, tag::Rgb565ToRgb888, 2>();
const LinePaths kRgb101010ToRgb888 = oneRule<Repack<Rgb101010, Rgb888>, tag::Rgb101010ToRgb888, 2>();
const LinePaths kRgb101010ToRgb161616 = oneRule<Repack<Rgb101010, Rgb161616>, tag::Rgb101010ToRgb161616, 6>();
const LinePaths kRgb101010ToRgb16161616 =
    oneRule<Repack<Rgb101010, Rgb16161616>, tag::Rgb101010ToRgb16161616, 6>();
const LinePaths kRgb161616ToRgb101010 = oneRule<Repack<Rgb161616, Rgb101010>, tag::Rgb161616ToRgb101010, 6>();
const LinePaths kRgb16161616ToRgb101010 =
    oneRule<Repack<Rgb16161616, Rgb101010>, tag::Rgb16161616ToRgb101010, 6>();
const LinePaths kRgb161616ToRgb8888 = oneRule<Repack<Rgb161616, Rgb8888>, tag::Rgb161616ToRgb8888, 8>();
const LinePaths kRgb161616ToRgb888 = oneRule<Repack<Rgb161616, Rgb888>, tag::Rgb161616ToRgb888, 8>();
const LinePaths kRgb16161616ToRgb8888 = oneRule<Repack<Rgb16161616, Rgb8888>, tag::Rgb16161616ToRgb8888, 8>();
const LinePaths kRgb16161616ToRgb888 = oneRule<Repack<Rgb16161616, Rgb888>, tag::Rgb16161616ToRgb888, 8>();
const LinePaths kRgb16161616ToMono16 =
    oneRule<Repack<Rgb16161616, Mono16, Luma16>, tag::Rgb16161616ToMono16>();
const LinePaths kRgb101010ToMono16 = oneRule<Repack<Rgb101010, Mono16, Luma16>, tag::Rgb101010ToMono16, 6>();

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
