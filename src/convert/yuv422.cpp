#include "convert/yuv422.h"

#include "convert/line.h"
#include "convert/yuv_lines.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {
namespace {

using namespace yuv;

// 4:2:2 cells: a cell's U and V serve both of its pixels, an odd last pixel is left alone; MONO8
// takes every pixel's luma.
template <class Cell>
constexpr PerIsa<LineFn> kToRgb8888Kept = kDecodeKernels<Cell, To::Rgb8888, ToRgb8888<Fourth::Keep>, true>;
template <class Cell>
constexpr PerIsa<LineFn> kToYuvKept = kDecodeKernels<Cell, To::Yuv, ToYuv<Fourth::Keep>, true>;

} // namespace

// Both rules of the MONO8 converters give the same bytes.
const LinePaths kUyvyToMono8 = {lumaScalar<Uyvy>, kLumaKernels<Uyvy>,
                                withPlain(lumaScalar<Uyvy>, kLumaKernels<Uyvy>)};
const LinePaths kYuy2ToMono8 = {lumaScalar<Yuy2>, kLumaKernels<Yuy2>,
                                withPlain(lumaScalar<Yuy2>, kLumaKernels<Yuy2>)};

// The vector rules write 0 in the fourth byte, the scalar ones leave it.
const LinePaths kUyvyToRgb8888 = {decodeScalar<Uyvy, ToRgb8888<Fourth::Keep>>, kToRgb8888Kept<Uyvy>,
                                  withPlain(decodeScalar<Uyvy, ToRgb8888<Fourth::Zero>>,
                                            kDecodeKernels<Uyvy, To::Rgb8888, ToRgb8888<Fourth::Zero>>)};
const LinePaths kYuy2ToRgb8888 = {decodeScalar<Yuy2, ToRgb8888<Fourth::Keep>>, kToRgb8888Kept<Yuy2>,
                                  withPlain(decodeScalar<Yuy2, ToRgb8888<Fourth::Zero>>,
                                            kDecodeKernels<Yuy2, To::Rgb8888, ToRgb8888<Fourth::Zero>>)};
const LinePaths kYuy2ToYuv = {
    decodeScalar<Yuy2, ToYuv<Fourth::Keep>>, kToYuvKept<Yuy2>,
    withPlain(decodeScalar<Yuy2, ToYuv<Fourth::Zero>>, kDecodeKernels<Yuy2, To::Yuv, ToYuv<Fourth::Zero>>)};

const LinePaths kUyvyToRgb888 = {decodeScalar<Uyvy, ToRgb888>, kDecodeKernels<Uyvy, To::Rgb888, ToRgb888>};
const LinePaths kUyvyToYuv = {decodeScalar<Uyvy, ToYuv<Fourth::Keep>>, kToYuvKept<Uyvy>};
const LinePaths kYuy2ToRgb888 = {decodeScalar<Yuy2, ToRgb888>, kDecodeKernels<Yuy2, To::Rgb888, ToRgb888>};
const LinePaths kYvyuToRgb8888 = {decodeScalar<Yvyu, ToRgb8888<Fourth::Keep>>, kToRgb8888Kept<Yvyu>};
const LinePaths kYvyuToRgb888 = {decodeScalar<Yvyu, ToRgb888>, kDecodeKernels<Yvyu, To::Rgb888, ToRgb888>};
const LinePaths kYvyuToYuv = {decodeScalar<Yvyu, ToYuv<Fourth::Keep>>, kToYuvKept<Yvyu>};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertUYVYtoMONO8, kUyvyToMono8)
VYR_LINE_EXPORT(VyrUtilConvertUYVYtoRGB8888, kUyvyToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertUYVYtoRGB888, kUyvyToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertUYVYtoYUV, kUyvyToYuv)
VYR_LINE_EXPORT(VyrUtilConvertYUY2toMONO8, kYuy2ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertYUY2toRGB8888, kYuy2ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertYUY2toRGB888, kYuy2ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertYUY2toYUV, kYuy2ToYuv)
VYR_LINE_EXPORT(VyrUtilConvertYVYUtoRGB8888, kYvyuToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertYVYUtoRGB888, kYvyuToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertYVYUtoYUV, kYvyuToYuv)

} // extern "C"
