// The integer YUV equations shared by the YUV families, and the sample layouts of the packed formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/formats.h"
#include "convert/yuv_formats.h"

namespace vyr::convert::yuv {

// ---- YUV to RGB: 14 fraction bits, truncated, clamped -------------------------------------------

inline uint8_t clampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// The chroma products of one U, V pair; a 4:2:2 cell or a Y411 unit computes them once.
struct Chroma {
    uint8_t u, v;
    int32_t b, g, r;
};

inline Chroma chroma(uint8_t u, uint8_t v)
{
    const int32_t cu = int32_t(u) - 128, cv = int32_t(v) - 128;
    return {u, v, 29147 * cu, -5661 * cu - 11746 * cv, 23060 * cv};
}

struct Bgr {
    uint8_t b, g, r;
};

inline Bgr toBgr(uint8_t y, const Chroma& c)
{
    const int32_t luma = int32_t(y) << 14;
    return {clampByte((luma + c.b) >> 14), clampByte((luma + c.g) >> 14), clampByte((luma + c.r) >> 14)};
}

// ---- RGB to YUV: BT.601 weights in units of 1/1024, chroma scaled by 229/255 -------------------

inline uint8_t luma(int32_t r, int32_t g, int32_t b) { return uint8_t((306 * r + 601 * g + 117 * b) >> 10); }
inline int32_t blueDifference(int32_t r, int32_t g, int32_t b) { return (512 * b - 339 * g - 173 * r) >> 10; }
inline int32_t redDifference(int32_t r, int32_t g, int32_t b) { return (512 * r - 429 * g - 83 * b) >> 10; }

// 128 + c * 229 / 255 with the quotient truncated towards zero; |c * 229| < 2^15, where a multiply
// by ceil(2^23 / 255) and a shift by 23 is the exact quotient.
inline uint8_t scalarChroma(int32_t c)
{
    const int32_t p = c * 229;
    const int32_t q = p >= 0 ? (p * 32897) >> 23 : -((-p * 32897) >> 23);
    return uint8_t(128 + q);
}

// 128 + (c * 29426 >> 15): rounds down, so one below the scalar rule for every negative c.
inline uint8_t vectorChroma(int32_t c) { return uint8_t(128 + ((c * 29426) >> 15)); }

struct Yuv {
    uint8_t y, u, v;
};

template <bool Vector>
inline Yuv toYuv(uint8_t b, uint8_t g, uint8_t r)
{
    const int32_t cu = blueDifference(r, g, b), cv = redDifference(r, g, b);
    if constexpr (Vector)
        return {luma(r, g, b), vectorChroma(cu), vectorChroma(cv)};
    else
        return {luma(r, g, b), scalarChroma(cu), scalarChroma(cv)};
}

// ---- Destination pixels written from a luma and its chroma ------------------------------------

// The fourth byte of RGB8888 and YUV: the scalar paths leave it (Fourth::Keep), the vector paths
// write 0 (Fourth::Zero).
using fmt::Fourth;

// B, G, R and, in four-byte pixels, the fourth byte.
template <uint32_t Bytes, Fourth X>
struct ToBgr {
    static constexpr size_t kBytes = Bytes;
    static void put(uint8_t* p, uint8_t y, const Chroma& c)
    {
        const Bgr o = toBgr(y, c);
        fmt::BlueFirst<1, Bytes, X>::write(p, {o.b, o.g, o.r, 0});
    }
};
template <Fourth X>
using ToRgb8888 = ToBgr<4, X>;
using ToRgb888 = ToBgr<3, Fourth::Keep>;

template <Fourth X>
struct ToYuv {
    static constexpr size_t kBytes = 4;
    static void put(uint8_t* p, uint8_t y, const Chroma& c)
    {
        p[0] = c.v;
        p[1] = c.u;
        p[2] = y;
        if constexpr (X == Fourth::Zero)
            p[3] = 0;
    }
};

struct ToMono8 {
    static constexpr size_t kBytes = 1;
    static void put(uint8_t* p, uint8_t y, const Chroma&) { p[0] = y; }
};

// ---- The decoding rules of every packed format ------------------------------------------------------

// Whole units: the unit's U and V serve each of its pixels.
template <class Src, class Dst>
void decodeUnits(const uint8_t* src, uint8_t* dst, size_t units)
{
    for (size_t k = 0; k < units; ++k, src += Src::kBytes, dst += Src::kPixels * Dst::kBytes) {
        const Chroma c = chroma(src[Src::u], src[Src::v]);
        for (size_t j = 0; j < Src::kPixels; ++j)
            Dst::put(dst + j * Dst::kBytes, src[Src::y[j]], c);
    }
}

// Pixels of an incomplete last unit have no U or V of their own inside the run: they are left alone.
template <class Src, class Dst>
void decodeScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    decodeUnits<Src, Dst>(src, dst, count / Src::kPixels);
}

// Lumas need no chroma: every pixel of the run, reading only the run's bytes.
template <class Src>
void lumaPixels(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i)
        dst[i] = src[i / Src::kPixels * Src::kBytes + Src::y[i % Src::kPixels]];
}

template <class Src>
void lumaScalar(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    lumaPixels<Src>(src, dst, count);
}

} // namespace vyr::convert::yuv
