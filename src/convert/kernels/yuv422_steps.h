// The packed 4:2:2 kernels over the register vocabulary of vec.h; each instruction-set file
// instantiates them for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// UYVY holds luma in the high byte of each 16-bit half cell, YUY2 in the low byte.
template <class W, bool LumaHigh>
inline typename W::V lumaOfCells(typename W::V x)
{
    return LumaHigh ? W::template srli16<8>(x) : W::and_(x, W::set16(0xFF));
}

template <bool LumaHigh>
struct CellsToRgb8888 {
    static constexpr size_t kSrcStep = 16, kDstStep = 32;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const typename W::V x = W::load(s);
        const typename W::V uv4 = LumaHigh ? lowByteTimes4<W>(x) : highByteTimes4<W>(x);
        typename W::V first, second;
        bgrxFromCells<W>(lumaOfCells<W, LumaHigh>(x), uv4, first, second);
        W::template storeLanes<Stream>(d, first, second);
    }
};

// Each cell Y0 U Y1 V becomes V U Y0 0 V U Y1 0.
struct Yuy2ToYuv {
    static constexpr size_t kSrcStep = 16, kDstStep = 32;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const typename W::V x = W::load(s);
        const typename W::V uv = W::template srli16<8>(x);                                      // U | V << 16
        const typename W::V vu = W::or_(W::template srli32<16>(uv), W::template slli32<8>(uv)); // V | U << 8
        const typename W::V both = W::template shuffle16<0xA0>(vu);
        const typename W::V y = lumaOfCells<W, false>(x);
        W::template storeLanes<Stream>(d, W::unpacklo16(both, y), W::unpackhi16(both, y));
    }
};

template <bool LumaHigh>
struct CellsToMono8 {
    static constexpr size_t kSrcStep = 32, kDstStep = 16;

    template <class W, bool Stream>
    void convert(const uint8_t* s, uint8_t* d) const
    {
        const typename W::V a = lumaOfCells<W, LumaHigh>(W::load(s));
        const typename W::V b = lumaOfCells<W, LumaHigh>(W::load(s + W::kBytes));
        W::template store<Stream>(d, W::packus16Ordered(a, b));
    }
};

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_YUV422_KERNELS(Isa, Wide)                                                                        \
    namespace vyr::convert::kernels {                                                                        \
    void uyvyToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t cells)                                      \
    {                                                                                                        \
        walk<Wide>(s, d, cells / 4, CellsToRgb8888<true>());                                                 \
    }                                                                                                        \
    void yuy2ToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t cells)                                      \
    {                                                                                                        \
        walk<Wide>(s, d, cells / 4, CellsToRgb8888<false>());                                                \
    }                                                                                                        \
    void yuy2ToYuv##Isa(const uint8_t* s, uint8_t* d, size_t cells)                                          \
    {                                                                                                        \
        walk<Wide>(s, d, cells / 4, Yuy2ToYuv());                                                            \
    }                                                                                                        \
    void uyvyToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                       \
    {                                                                                                        \
        walk<Wide>(s, d, pixels / 16, CellsToMono8<true>());                                                 \
    }                                                                                                        \
    void yuy2ToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                       \
    {                                                                                                        \
        walk<Wide>(s, d, pixels / 16, CellsToMono8<false>());                                                \
    }                                                                                                        \
    }
