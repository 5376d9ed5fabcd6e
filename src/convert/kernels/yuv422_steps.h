// The packed 4:2:2 kernels over the register vocabulary of vec.h; each instruction-set file
// instantiates them for its widest register.
#pragma once

#include "convert/kernels/yuv_math.h"

namespace vyr::convert::kernels {
namespace {

// UYVY holds luma in the high byte of each 16-bit half cell, YUY2 in the low byte.
template <class O, bool LumaHigh>
inline typename O::V lumaOfCells(typename O::V x)
{
    return LumaHigh ? O::template srli16<8>(x) : O::and_(x, O::set16(0xFF));
}

template <class Wide, bool LumaHigh>
inline void cellsToRgb8888(const uint8_t* src, uint8_t* dst, size_t cells)
{
    walk<Wide, 16, 32>(src, dst, cells / 4, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        const typename O::V x = O::load(s);
        const typename O::V uv4 = LumaHigh ? lowByteTimes4<O>(x) : highByteTimes4<O>(x);
        typename O::V first, second;
        bgrxFromCells<O>(lumaOfCells<O, LumaHigh>(x), uv4, first, second);
        O::template storeLanes<decltype(stream)::value>(d, first, second);
    });
}

// Each cell Y0 U Y1 V becomes V U Y0 0 V U Y1 0.
template <class Wide>
inline void yuy2ToYuv(const uint8_t* src, uint8_t* dst, size_t cells)
{
    walk<Wide, 16, 32>(src, dst, cells / 4, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        const typename O::V x = O::load(s);
        const typename O::V uv = O::template srli16<8>(x);                                      // U | V << 16
        const typename O::V vu = O::or_(O::template srli32<16>(uv), O::template slli32<8>(uv)); // V | U << 8
        const typename O::V both = O::template shuffle16<0xA0>(vu);
        const typename O::V y = lumaOfCells<O, false>(x);
        O::template storeLanes<decltype(stream)::value>(d, O::unpacklo16(both, y), O::unpackhi16(both, y));
    });
}

template <class Wide, bool LumaHigh>
inline void cellsToMono8(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    walk<Wide, 32, 16>(src, dst, pixels / 16, [](auto o, auto stream, const uint8_t* s, uint8_t* d) {
        using O = decltype(o);
        const typename O::V a = lumaOfCells<O, LumaHigh>(O::load(s));
        const typename O::V b = lumaOfCells<O, LumaHigh>(O::load(s + O::kBytes));
        O::template store<decltype(stream)::value>(d, O::packus16Ordered(a, b));
    });
}

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_YUV422_KERNELS(Isa, Wide)                                                                        \
    namespace vyr::convert::kernels {                                                                        \
    void uyvyToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t cells)                                      \
    {                                                                                                        \
        cellsToRgb8888<Wide, true>(s, d, cells);                                                             \
    }                                                                                                        \
    void yuy2ToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t cells)                                      \
    {                                                                                                        \
        cellsToRgb8888<Wide, false>(s, d, cells);                                                            \
    }                                                                                                        \
    void yuy2ToYuv##Isa(const uint8_t* s, uint8_t* d, size_t cells) { yuy2ToYuv<Wide>(s, d, cells); }        \
    void uyvyToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                       \
    {                                                                                                        \
        cellsToMono8<Wide, true>(s, d, pixels);                                                              \
    }                                                                                                        \
    void yuy2ToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                       \
    {                                                                                                        \
        cellsToMono8<Wide, false>(s, d, pixels);                                                             \
    }                                                                                                        \
    }
