#include "convert/yuv422.h"

#include "convert/kernels/runner.h"
#include "convert/kernels/yuv422_kernels.h"
#include "convert/line.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {
namespace {

using namespace yuv;

// ---- The rules: a cell's U and V serve both of its pixels; MONO8 takes the lumas alone --------

template <class Cell, class Dst>
void decodeCells(const uint8_t* src, uint8_t* dst, size_t cells)
{
    for (size_t k = 0; k < cells; ++k, src += 4, dst += 2 * Dst::kBytes) {
        const Chroma c = chroma(src[Cell::u], src[Cell::v]);
        Dst::put(dst, src[Cell::y0], c);
        Dst::put(dst + Dst::kBytes, src[Cell::y1], c);
    }
}

// Luma of pixel i sits at byte 2i + y0 in every 4:2:2 layout (y1 = y0 + 2).
template <class Cell>
void lumaPixels(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i)
        dst[i] = src[2 * i + Cell::y0];
}

// An odd last pixel has no V (or U) of its own inside the run: it is left alone.
template <class Cell, class Dst>
void decodeScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    decodeCells<Cell, Dst>(src, dst, count / 2);
}

template <class Cell>
void lumaScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    lumaPixels<Cell>(src, dst, count);
}

// ---- Vector paths: every split falls between cells ---------------------------------------------

template <kernels::Kernel K, uint32_t DstCellBytes>
void cellsVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<4, 4, DstCellBytes>(src, dst, count / 2, kernels::headTo16(dst, DstCellBytes), K);
}

// Blocks of 16 straight from the start, then the rest one by one.
template <kernels::Kernel K>
void uyvyLumaVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t blocks = count / 16 * 16;
    if (blocks)
        K(src, dst, blocks);
    lumaPixels<Uyvy>(src + 2 * size_t(blocks), dst + blocks, count - blocks);
}

template <kernels::Kernel K>
void yuy2LumaVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<16, 2, 1>(src, dst, count, kernels::headTo16(dst, 1), K);
}

} // namespace

const LinePaths kUyvyToMono8 = {lumaScalar<Uyvy>,
                                {},
                                {uyvyLumaVector<lumaPixels<Uyvy>>,
                                 VYR_KERNEL(uyvyLumaVector<kernels::uyvyToMono8Sse2>), nullptr,
                                 VYR_KERNEL(uyvyLumaVector<kernels::uyvyToMono8Avx2>)}};
const LinePaths kYuy2ToMono8 = {lumaScalar<Yuy2>,
                                {},
                                {yuy2LumaVector<lumaPixels<Yuy2>>,
                                 VYR_KERNEL(yuy2LumaVector<kernels::yuy2ToMono8Sse2>), nullptr,
                                 VYR_KERNEL(yuy2LumaVector<kernels::yuy2ToMono8Avx2>)}};

const LinePaths kUyvyToRgb8888 = {decodeScalar<Uyvy, ToRgb8888<Fourth::Keep>>,
                                  {},
                                  {cellsVector<decodeCells<Uyvy, ToRgb8888<Fourth::Zero>>, 8>,
                                   VYR_KERNEL(cellsVector<kernels::uyvyToRgb8888Sse2, 8>), nullptr,
                                   VYR_KERNEL(cellsVector<kernels::uyvyToRgb8888Avx2, 8>)}};
const LinePaths kYuy2ToRgb8888 = {decodeScalar<Yuy2, ToRgb8888<Fourth::Keep>>,
                                  {},
                                  {cellsVector<decodeCells<Yuy2, ToRgb8888<Fourth::Zero>>, 8>,
                                   VYR_KERNEL(cellsVector<kernels::yuy2ToRgb8888Sse2, 8>), nullptr,
                                   VYR_KERNEL(cellsVector<kernels::yuy2ToRgb8888Avx2, 8>)}};
const LinePaths kYuy2ToYuv = {decodeScalar<Yuy2, ToYuv<Fourth::Keep>>,
                              {},
                              {cellsVector<decodeCells<Yuy2, ToYuv<Fourth::Zero>>, 8>,
                               VYR_KERNEL(cellsVector<kernels::yuy2ToYuvSse2, 8>), nullptr,
                               VYR_KERNEL(cellsVector<kernels::yuy2ToYuvAvx2, 8>)}};

const LinePaths kUyvyToRgb888 = {decodeScalar<Uyvy, ToRgb888>};
const LinePaths kUyvyToYuv = {decodeScalar<Uyvy, ToYuv<Fourth::Keep>>};
const LinePaths kYuy2ToRgb888 = {decodeScalar<Yuy2, ToRgb888>};
const LinePaths kYvyuToRgb8888 = {decodeScalar<Yvyu, ToRgb8888<Fourth::Keep>>};
const LinePaths kYvyuToRgb888 = {decodeScalar<Yvyu, ToRgb888>};
const LinePaths kYvyuToYuv = {decodeScalar<Yvyu, ToYuv<Fourth::Keep>>};

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
