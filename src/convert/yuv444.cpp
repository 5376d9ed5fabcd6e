#include "convert/yuv444.h"

#include "convert/kernels/runner.h"
#include "convert/kernels/yuv444_kernels.h"
#include "convert/line.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {
namespace {

using namespace yuv;

// ---- Y411: units U Y0 Y1 V Y2 Y3, four pixels sharing one U and V -------------------------------

constexpr size_t kY411Luma[4] = {1, 2, 4, 5};

template <class Dst>
void y411Units(const uint8_t* src, uint8_t* dst, size_t units)
{
    for (size_t k = 0; k < units; ++k, src += 6, dst += 4 * Dst::kBytes) {
        const Chroma c = chroma(src[0], src[3]);
        for (size_t j = 0; j < 4; ++j)
            Dst::put(dst + j * Dst::kBytes, src[kY411Luma[j]], c);
    }
}

// Pixels of an incomplete last unit lack their V (or a unit to convert as a whole): left alone.
template <class Dst>
void y411Scalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    y411Units<Dst>(src, dst, count / 4);
}

// Lumas need no chroma: every pixel, reading only the run's bytes.
void y411ToMono8(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = src[6 * (i / 4) + kY411Luma[i % 4]];
}

template <kernels::Kernel K>
void y411Vector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<4, 6, 16>(src, dst, count / 4, 0, K);
}

// ---- IYU2 (U Y V) and YUV (V U Y X): one pixel each ----------------------------------------------

template <size_t SrcBpp, size_t Y, size_t U, size_t V, class Dst>
void pixels444(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i, src += SrcBpp, dst += Dst::kBytes)
        Dst::put(dst, src[Y], chroma(src[U], src[V]));
}

template <size_t SrcBpp, size_t Y, size_t U, size_t V, class Dst>
void scalar444(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    pixels444<SrcBpp, Y, U, V, Dst>(src, dst, count);
}

template <class Dst>
constexpr LineFn kIyu2 = scalar444<3, 1, 0, 2, Dst>;
template <class Dst>
constexpr LineFn kYuv = scalar444<4, 2, 1, 0, Dst>;

template <kernels::Kernel K>
void yuvToRgb8888Vector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<8, 4, 4>(src, dst, count, kernels::headTo16(dst, 4), K);
}

} // namespace

const LinePaths kY411ToMono8 = {y411ToMono8};
const LinePaths kY411ToRgb8888 = {y411Scalar<ToRgb8888<Fourth::Keep>>,
                                  {},
                                  {y411Vector<y411Units<ToRgb8888<Fourth::Zero>>>,
                                   VYR_KERNEL(y411Vector<kernels::y411ToRgb8888Sse2>),
                                   VYR_KERNEL(y411Vector<kernels::y411ToRgb8888Ssse3>),
                                   VYR_KERNEL(y411Vector<kernels::y411ToRgb8888Avx2>)}};
const LinePaths kY411ToRgb888 = {y411Scalar<ToRgb888>};
const LinePaths kY411ToYuv = {y411Scalar<ToYuv<Fourth::Keep>>};
const LinePaths kIyu2ToMono8 = {kIyu2<ToMono8>};
const LinePaths kIyu2ToRgb8888 = {kIyu2<ToRgb8888<Fourth::Keep>>};
const LinePaths kIyu2ToRgb888 = {kIyu2<ToRgb888>};
const LinePaths kIyu2ToYuv = {kIyu2<ToYuv<Fourth::Keep>>};
const LinePaths kYuvToMono8 = {kYuv<ToMono8>};
const LinePaths kYuvToRgb8888 = {kYuv<ToRgb8888<Fourth::Keep>>,
                                 {},
                                 {yuvToRgb8888Vector<pixels444<4, 2, 1, 0, ToRgb8888<Fourth::Zero>>>,
                                  VYR_KERNEL(yuvToRgb8888Vector<kernels::yuvToRgb8888Sse2>), nullptr,
                                  VYR_KERNEL(yuvToRgb8888Vector<kernels::yuvToRgb8888Avx2>)}};

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
