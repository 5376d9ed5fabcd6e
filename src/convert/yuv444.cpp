#include "convert/yuv444.h"

#include "convert/line.h"
#include "convert/yuv_lines.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {

using namespace yuv;

// Y411 converts whole units of four pixels to RGB and YUV, every pixel to MONO8; IYU2 and YUV are
// pixel by pixel.
const LinePaths kY411ToMono8 = {lumaScalar<Y411>, kLumaKernels<Y411>};
const LinePaths kY411ToRgb8888 = {decodeScalar<Y411, ToRgb8888<Fourth::Keep>>,
                                  kDecodeKernels<Y411, To::Rgb8888, ToRgb8888<Fourth::Keep>, true>,
                                  withPlain(decodeScalar<Y411, ToRgb8888<Fourth::Zero>>,
                                            kDecodeKernels<Y411, To::Rgb8888, ToRgb8888<Fourth::Zero>>)};
const LinePaths kY411ToRgb888 = {decodeScalar<Y411, ToRgb888>, kDecodeKernels<Y411, To::Rgb888, ToRgb888>};
const LinePaths kY411ToYuv = {decodeScalar<Y411, ToYuv<Fourth::Keep>>,
                              kDecodeKernels<Y411, To::Yuv, ToYuv<Fourth::Keep>, true>};
const LinePaths kIyu2ToMono8 = {lumaScalar<Iyu2>, kLumaKernels<Iyu2>};
const LinePaths kIyu2ToRgb8888 = {decodeScalar<Iyu2, ToRgb8888<Fourth::Keep>>,
                                  kDecodeKernels<Iyu2, To::Rgb8888, ToRgb8888<Fourth::Keep>, true>};
const LinePaths kIyu2ToRgb888 = {decodeScalar<Iyu2, ToRgb888>, kDecodeKernels<Iyu2, To::Rgb888, ToRgb888>};
const LinePaths kIyu2ToYuv = {decodeScalar<Iyu2, ToYuv<Fourth::Keep>>,
                              kDecodeKernels<Iyu2, To::Yuv, ToYuv<Fourth::Keep>, true>};
const LinePaths kYuvToMono8 = {lumaScalar<Yuv444>, kLumaKernels<Yuv444>};
const LinePaths kYuvToRgb8888 = {decodeScalar<Yuv444, ToRgb8888<Fourth::Keep>>,
                                 kDecodeKernels<Yuv444, To::Rgb8888, ToRgb8888<Fourth::Keep>, true>,
                                 withPlain(decodeScalar<Yuv444, ToRgb8888<Fourth::Zero>>,
                                           kDecodeKernels<Yuv444, To::Rgb8888, ToRgb8888<Fourth::Zero>>)};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertY411toMONO8, kY411ToMono8)
// The Y411 kernels stand in for one that needs the SSE integer extension as well as MMX.
VYR_LINE_EXPORT(VyrUtilConvertY411toRGB8888, kY411ToRgb8888, VyrUtilIsSSE())
VYR_LINE_EXPORT(VyrUtilConvertY411toRGB888, kY411ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertY411toYUV, kY411ToYuv)
VYR_LINE_EXPORT(VyrUtilConvertIYU2toMONO8, kIyu2ToMono8)
VYR_LINE_EXPORT(VyrUtilConvertIYU2toRGB8888, kIyu2ToRgb8888)
VYR_LINE_EXPORT(VyrUtilConvertIYU2toRGB888, kIyu2ToRgb888)
VYR_LINE_EXPORT(VyrUtilConvertIYU2toYUV, kIyu2ToYuv)
VYR_LINE_EXPORT(VyrUtilConvertYUVtoMONO8, kYuvToMono8)
VYR_LINE_EXPORT(VyrUtilConvertYUVtoRGB8888, kYuvToRgb8888)

} // extern "C"
