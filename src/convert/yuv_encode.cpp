#include "convert/yuv_encode.h"

#include <cstring>

#include "convert/line.h"
#include "convert/yuv_lines.h"
#include "convert/yuv_rules.h"

namespace vyr::convert {
namespace {

using namespace yuv;
using kernels::yuv::Encode422;
using kernels::yuv::EncodeMono16;
using kernels::yuv::EncodeMono8;
using kernels::yuv::EncodeYuv;

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
        cell[Cell::y[0]] = first.y;
        cell[Cell::u] = first.u;
        cell[Cell::v] = first.v;
        cell[Cell::y[1]] = whole ? luma(src[SrcBpp + 2], src[SrcBpp + 1], src[SrcBpp]) : 0;
        std::memcpy(dst, cell, whole ? 4 : 2);
    }
}

// Whole cells through the kernels, an odd last pixel by the rule.
template <size_t SrcBpp, class Cell>
struct CellsLine {
    using Job = Encode422<SrcBpp, Cell>;
    template <BlockKernel K>
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t a)
    {
        const uint32_t cells = count / 2;
        runUnits<Job, K>(src, dst, cells, a);
        rgbToCells<SrcBpp, Cell>(src + size_t(cells) * Job::kSrcBytes, dst + size_t(cells) * 4, count % 2, a);
    }
};
template <size_t SrcBpp, class Cell>
constexpr PerIsa<LineFn> kCellKernels = kernelsOf<Encode422<SrcBpp, Cell>, CellsLine<SrcBpp, Cell>>();

// ---- RGB8888 to YUV, pixel by pixel; the rules differ in the chroma rule ------------------------

template <bool Vector>
void rgb8888ToYuv(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const Yuv p = toYuv<Vector>(src[0], src[1], src[2]);
        dst[0] = p.v;
        dst[1] = p.u;
        dst[2] = p.y;
        dst[3] = 0;
    }
}

template <bool Vector>
constexpr PerIsa<LineFn> kToYuvKernels = kernelsOf<EncodeYuv<Vector>, WholeUnits<EncodeYuv<Vector>>>();

// ---- MONO to YUY2: grey becomes Y, U = V = 128 ---------------------------------------------------

void mono8ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i) {
        dst[2 * i] = src[i];
        dst[2 * i + 1] = 128;
    }
}

// Whole cells only: an odd last pixel is left alone. The significant bits' top 8 become Y; with more
// than 8 unused bits none of them is left.
void mono16ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    const uint32_t shift = unusedBits > 8 ? 16 : 8 - unusedBits;
    for (uint32_t i = 0; i < (count & ~1u); ++i) {
        const uint32_t p = src[2 * i] | uint32_t(src[2 * i + 1]) << 8;
        dst[2 * i] = uint8_t(p >> shift);
        dst[2 * i + 1] = 128;
    }
}

struct EvenPixels {
    template <BlockKernel K>
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
    {
        runUnits<EncodeMono16, K>(src, dst, count & ~1u, unusedBits);
    }
};

constexpr PerIsa<LineFn> kMono8Kernels = kernelsOf<EncodeMono8, WholeUnits<EncodeMono8>>();
constexpr PerIsa<LineFn> kMono16Kernels = kernelsOf<EncodeMono16, EvenPixels>();

} // namespace

const LinePaths kRgb888ToUyvy = {rgbToCells<3, Uyvy>, kCellKernels<3, Uyvy>};
const LinePaths kRgb888ToYuy2 = {rgbToCells<3, Yuy2>, kCellKernels<3, Yuy2>};
const LinePaths kRgb888ToYvyu = {rgbToCells<3, Yvyu>, kCellKernels<3, Yvyu>};
const LinePaths kRgb8888ToUyvy = {rgbToCells<4, Uyvy>, kCellKernels<4, Uyvy>};
const LinePaths kRgb8888ToYuy2 = {rgbToCells<4, Yuy2>, kCellKernels<4, Yuy2>};

const LinePaths kRgb8888ToYuv = {rgb8888ToYuv<false>, kToYuvKernels<false>,
                                 withPlain(rgb8888ToYuv<true>, kToYuvKernels<true>)};
// Both rules of the MONO converters give the same bytes.
const LinePaths kMono8ToYuy2 = {mono8ToYuy2, kMono8Kernels, withPlain(mono8ToYuy2, kMono8Kernels)};
const LinePaths kMono16ToYuy2 = {mono16ToYuy2, kMono16Kernels, withPlain(mono16ToYuy2, kMono16Kernels)};

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
