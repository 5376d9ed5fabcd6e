#include "convert/yuv_encode.h"

#include <cstring>

#include "convert/kernels/runner.h"
#include "convert/kernels/yuv_encode_kernels.h"
#include "convert/line.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {
namespace {

using namespace yuv;

// ---- RGB to 4:2:2: the cell's U and V come from its first pixel alone ----------------------------

// An odd last pixel fills the first half of a cell (its luma and the chroma byte beside it), so
// exactly count pixels are read and written.
template <size_t SrcBpp, class Cell>
void rgbToCells(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; i += 2, src += 2 * SrcBpp, dst += 4) {
        const Yuv first = toYuv<false>(src[0], src[1], src[2]);
        const bool whole = i + 1 < count;
        uint8_t cell[4];
        cell[Cell::y0] = first.y;
        cell[Cell::u] = first.u;
        cell[Cell::v] = first.v;
        cell[Cell::y1] = whole ? luma(src[SrcBpp + 2], src[SrcBpp + 1], src[SrcBpp]) : 0;
        std::memcpy(dst, cell, whole ? 4 : 2);
    }
}

// ---- RGB8888 to YUV, pixel by pixel; the paths differ in the chroma rule ------------------------

template <bool Vector>
void rgb8888ToYuvPixels(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i, src += 4, dst += 4) {
        const Yuv p = toYuv<Vector>(src[0], src[1], src[2]);
        dst[0] = p.v;
        dst[1] = p.u;
        dst[2] = p.y;
        dst[3] = 0;
    }
}

void rgb8888ToYuvScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    rgb8888ToYuvPixels<false>(src, dst, count);
}

template <kernels::Kernel K>
void rgb8888ToYuvVector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<4, 4, 4>(src, dst, count, kernels::headTo16(dst, 4), K);
}

// ---- MONO to YUY2: grey becomes Y, U = V = 128 ---------------------------------------------------

void mono8ToYuy2Pixels(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i) {
        dst[2 * i] = src[i];
        dst[2 * i + 1] = 128;
    }
}

void mono8ToYuy2Scalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    mono8ToYuy2Pixels(src, dst, count);
}

template <kernels::Kernel K>
void mono8ToYuy2Vector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    kernels::runBlocks<16, 1, 2>(src, dst, count, kernels::headTo16(dst, 2), K);
}

// The significant bits' top 8 become Y; with more than 8 unused bits none of them is left.
uint32_t mono16Shift(uint32_t unusedBits) { return unusedBits > 8 ? 16 : 8 - unusedBits; }

void mono16ToYuy2Pixels(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t shift)
{
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t p = src[2 * i] | uint32_t(src[2 * i + 1]) << 8;
        dst[2 * i] = uint8_t(p >> shift);
        dst[2 * i + 1] = 128;
    }
}

// Whole cells only: an odd last pixel is left alone, as the vector path does.
void mono16ToYuy2Scalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    mono16ToYuy2Pixels(src, dst, count & ~1u, mono16Shift(unusedBits));
}

using Mono16Kernel = void (*)(const uint8_t*, uint8_t*, size_t, uint32_t);

template <Mono16Kernel K>
void mono16ToYuy2Vector(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    const uint32_t shift = mono16Shift(unusedBits);
    kernels::runBlocks<8, 2, 2>(src, dst, count & ~1u, kernels::headTo16(dst, 2),
                                [shift](const uint8_t* s, uint8_t* d, size_t n) { K(s, d, n, shift); });
}

} // namespace

const LinePaths kRgb888ToUyvy = {rgbToCells<3, Uyvy>};
const LinePaths kRgb888ToYuy2 = {rgbToCells<3, Yuy2>};
const LinePaths kRgb888ToYvyu = {rgbToCells<3, Yvyu>};
const LinePaths kRgb8888ToUyvy = {rgbToCells<4, Uyvy>};
const LinePaths kRgb8888ToYuy2 = {rgbToCells<4, Yuy2>};

const LinePaths kRgb8888ToYuv = {rgb8888ToYuvScalar,
                                 {},
                                 {rgb8888ToYuvVector<rgb8888ToYuvPixels<true>>,
                                  VYR_KERNEL(rgb8888ToYuvVector<kernels::rgb8888ToYuvSse2>), nullptr,
                                  VYR_KERNEL(rgb8888ToYuvVector<kernels::rgb8888ToYuvAvx2>)}};
const LinePaths kMono8ToYuy2 = {mono8ToYuy2Scalar,
                                {},
                                {mono8ToYuy2Vector<mono8ToYuy2Pixels>,
                                 VYR_KERNEL(mono8ToYuy2Vector<kernels::mono8ToYuy2Sse2>), nullptr,
                                 VYR_KERNEL(mono8ToYuy2Vector<kernels::mono8ToYuy2Avx2>)}};
const LinePaths kMono16ToYuy2 = {mono16ToYuy2Scalar,
                                 {},
                                 {mono16ToYuy2Vector<mono16ToYuy2Pixels>,
                                  VYR_KERNEL(mono16ToYuy2Vector<kernels::mono16ToYuy2Sse2>), nullptr,
                                  VYR_KERNEL(mono16ToYuy2Vector<kernels::mono16ToYuy2Avx2>)}};

} // namespace vyr::convert

extern "C" {

using namespace vyr::convert;

VYR_LINE_EXPORT(VyrUtilConvertRGB888toUYVY, kRgb888ToUyvy)
VYR_LINE_EXPORT(VyrUtilConvertRGB888toYUY2, kRgb888ToYuy2)
VYR_LINE_EXPORT(VyrUtilConvertRGB888toYVYU, kRgb888ToYvyu)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toUYVY, kRgb8888ToUyvy)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toYUY2, kRgb8888ToYuy2)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toYUV, kRgb8888ToYuv)
VYR_LINE_EXPORT(VyrUtilConvertMONO8toYUY2, kMono8ToYuy2)
VYR_LINE_EXPORT(VyrUtilConvertMONO16toYUY2, kMono16ToYuy2)

} // extern "C"
