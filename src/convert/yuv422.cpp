#include "convert/yuv422.h"

#include "convert/kernels/runner.h"
#include "convert/kernels/yuv422_kernels.h"
#include "convert/yuv_frame.h"
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
    kernels::runBlocks<4, 4, DstCellBytes>(src, dst, count / 2, headTo16(dst, DstCellBytes), K);
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
    kernels::runBlocks<16, 2, 1>(src, dst, count, headTo16(dst, 1), K);
}

} // namespace

const Paths kUyvyToMono8 = {lumaScalar<Uyvy>,
                            {uyvyLumaVector<lumaPixels<Uyvy>>,
                             VYR_YUV_KERNEL(uyvyLumaVector<kernels::uyvyToMono8Sse2>), nullptr,
                             VYR_YUV_KERNEL(uyvyLumaVector<kernels::uyvyToMono8Avx2>)}};
const Paths kYuy2ToMono8 = {lumaScalar<Yuy2>,
                            {yuy2LumaVector<lumaPixels<Yuy2>>,
                             VYR_YUV_KERNEL(yuy2LumaVector<kernels::yuy2ToMono8Sse2>), nullptr,
                             VYR_YUV_KERNEL(yuy2LumaVector<kernels::yuy2ToMono8Avx2>)}};

const Paths kUyvyToRgb8888 = {decodeScalar<Uyvy, ToRgb8888<Fourth::Keep>>,
                              {cellsVector<decodeCells<Uyvy, ToRgb8888<Fourth::Zero>>, 8>,
                               VYR_YUV_KERNEL((cellsVector<kernels::uyvyToRgb8888Sse2, 8>)), nullptr,
                               VYR_YUV_KERNEL((cellsVector<kernels::uyvyToRgb8888Avx2, 8>))}};
const Paths kYuy2ToRgb8888 = {decodeScalar<Yuy2, ToRgb8888<Fourth::Keep>>,
                              {cellsVector<decodeCells<Yuy2, ToRgb8888<Fourth::Zero>>, 8>,
                               VYR_YUV_KERNEL((cellsVector<kernels::yuy2ToRgb8888Sse2, 8>)), nullptr,
                               VYR_YUV_KERNEL((cellsVector<kernels::yuy2ToRgb8888Avx2, 8>))}};
const Paths kYuy2ToYuv = {decodeScalar<Yuy2, ToYuv<Fourth::Keep>>,
                          {cellsVector<decodeCells<Yuy2, ToYuv<Fourth::Zero>>, 8>,
                           VYR_YUV_KERNEL((cellsVector<kernels::yuy2ToYuvSse2, 8>)), nullptr,
                           VYR_YUV_KERNEL((cellsVector<kernels::yuy2ToYuvAvx2, 8>))}};

const Paths kUyvyToRgb888 = scalarPaths(decodeScalar<Uyvy, ToRgb888>);
const Paths kUyvyToYuv = scalarPaths(decodeScalar<Uyvy, ToYuv<Fourth::Keep>>);
const Paths kYuy2ToRgb888 = scalarPaths(decodeScalar<Yuy2, ToRgb888>);
const Paths kYvyuToRgb8888 = scalarPaths(decodeScalar<Yvyu, ToRgb8888<Fourth::Keep>>);
const Paths kYvyuToRgb888 = scalarPaths(decodeScalar<Yvyu, ToRgb888>);
const Paths kYvyuToYuv = scalarPaths(decodeScalar<Yvyu, ToYuv<Fourth::Keep>>);

} // namespace vyr::convert

extern "C" {

VYR_YUV_EXPORT(UYVYtoMONO8, dispatch, kUyvyToMono8)
VYR_YUV_EXPORT(UYVYtoRGB8888, dispatch, kUyvyToRgb8888)
VYR_YUV_EXPORT(UYVYtoRGB888, scalarOnly, kUyvyToRgb888)
VYR_YUV_EXPORT(UYVYtoYUV, scalarOnly, kUyvyToYuv)
VYR_YUV_EXPORT(YUY2toMONO8, dispatch, kYuy2ToMono8)
VYR_YUV_EXPORT(YUY2toRGB8888, dispatch, kYuy2ToRgb8888)
VYR_YUV_EXPORT(YUY2toRGB888, scalarOnly, kYuy2ToRgb888)
VYR_YUV_EXPORT(YUY2toYUV, dispatch, kYuy2ToYuv)
VYR_YUV_EXPORT(YVYUtoRGB8888, scalarOnly, kYvyuToRgb8888)
VYR_YUV_EXPORT(YVYUtoRGB888, scalarOnly, kYvyuToRgb888)
VYR_YUV_EXPORT(YVYUtoYUV, scalarOnly, kYvyuToYuv)

} // extern "C"
