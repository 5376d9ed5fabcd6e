// Kernels of the YUV converters. A job names one conversion and the units its kernels count;
// sse2<Job>, ssse3<Job>, avx2<Job> and avx512<Job> convert a nonzero multiple of Job::kBlock units
// (one 16-byte step) and give exactly the bytes of the rule the job names. Every job has SSSE3, AVX2
// and AVX-512 kernels, and an SSE2 one where Job::kSse2 holds (the others need the byte shuffle).
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/yuv_formats.h"

namespace vyr::convert::kernels::yuv {

using convert::yuv::Iyu2;
using convert::yuv::Uyvy;
using convert::yuv::Y411;
using convert::yuv::Yuv444;
using convert::yuv::Yuy2;
using convert::yuv::Yvyu;

enum class To { Mono8, Rgb8888, Rgb888, Yuv };

// Source format Src to To; Keep: the fourth byte of every 4-byte destination pixel stays as it was
// (else it is written 0). The units are the source's (cells, Y411 units, pixels), except that MONO8
// from 4:2:2 counts pixels: a luma needs no chroma, so a run may end inside a cell.
template <class Src, To D, bool Keep = false>
struct Decode {
    static constexpr bool kHalfCells = D == To::Mono8 && Src::kPixels == 2;
    static constexpr size_t kUnitPixels = kHalfCells ? 1 : Src::kPixels;
    static constexpr size_t kSrcBytes = kHalfCells ? 2 : Src::kBytes;
    static constexpr size_t kDstBytes = kUnitPixels * (D == To::Mono8 ? 1 : D == To::Rgb888 ? 3 : 4);
    // Pixels of a 16-byte step: 4:2:2 converts one 16-byte load (two to MONO8), the others take 16
    // pixels.
    static constexpr size_t kStepPixels = Src::kPixels == 2 && D != To::Mono8 ? 8 : 16;
    static constexpr size_t kBlock = kStepPixels / kUnitPixels;
    static constexpr bool kSse2 =
        D != To::Rgb888 && (Src::kPixels == 2 || Src::kBytes == 4 || (Src::kPixels == 4 && D == To::Rgb8888));
    static constexpr bool kKeeps = Keep;
};

// RGB888 (3) or RGB8888 (4) to a 4:2:2 layout by the scalar rule, in cells.
template <size_t SrcBytesPerPixel, class Cell>
struct Encode422 {
    static constexpr size_t kUnitPixels = 2, kSrcBytes = 2 * SrcBytesPerPixel, kDstBytes = 4, kBlock = 4;
    static constexpr bool kSse2 = SrcBytesPerPixel == 4, kKeeps = false;
};

// RGB8888 to YUV by the scalar chroma rule (Vector false) or the vector one, in pixels.
template <bool Vector>
struct EncodeYuv {
    static constexpr size_t kUnitPixels = 1, kSrcBytes = 4, kDstBytes = 4, kBlock = 8;
    static constexpr bool kSse2 = true, kKeeps = false;
};

// MONO8 to YUY2 (p to p, 128) and MONO16 to YUY2 (p to p >> (8 - unusedBits), 128, Y = 0 beyond 8
// unused bits), in pixels.
struct EncodeMono8 {
    static constexpr size_t kUnitPixels = 1, kSrcBytes = 1, kDstBytes = 2, kBlock = 16;
    static constexpr bool kSse2 = true, kKeeps = false;
};
struct EncodeMono16 {
    static constexpr size_t kUnitPixels = 1, kSrcBytes = 2, kDstBytes = 2, kBlock = 8;
    static constexpr bool kSse2 = true, kKeeps = false;
};

// The last argument is the converter's unusedBits (used by MONO16 alone).
template <class Job>
void sse2(const uint8_t* src, uint8_t* dst, size_t units, uint32_t unusedBits);
template <class Job>
void ssse3(const uint8_t* src, uint8_t* dst, size_t units, uint32_t unusedBits);
template <class Job>
void avx2(const uint8_t* src, uint8_t* dst, size_t units, uint32_t unusedBits);
template <class Job>
void avx512(const uint8_t* src, uint8_t* dst, size_t units, uint32_t unusedBits);

// Every job, by the first instruction set that has it: X(E, job) for each.
#define VYR_YUV_SSE2_JOBS(X, E)                                                                              \
    X(E, Decode<Uyvy, To::Mono8>)                                                                            \
    X(E, Decode<Yuy2, To::Mono8>)                                                                            \
    X(E, Decode<Uyvy, To::Rgb8888>)                                                                          \
    X(E, Decode<Yuy2, To::Rgb8888>)                                                                          \
    X(E, Decode<Uyvy, To::Rgb8888, true>)                                                                    \
    X(E, Decode<Yuy2, To::Rgb8888, true>)                                                                    \
    X(E, Decode<Yvyu, To::Rgb8888, true>)                                                                    \
    X(E, Decode<Yuy2, To::Yuv>)                                                                              \
    X(E, Decode<Uyvy, To::Yuv, true>)                                                                        \
    X(E, Decode<Yuy2, To::Yuv, true>)                                                                        \
    X(E, Decode<Yvyu, To::Yuv, true>)                                                                        \
    X(E, Decode<Y411, To::Rgb8888>)                                                                          \
    X(E, Decode<Y411, To::Rgb8888, true>)                                                                    \
    X(E, Decode<Yuv444, To::Mono8>)                                                                          \
    X(E, Decode<Yuv444, To::Rgb8888>)                                                                        \
    X(E, Decode<Yuv444, To::Rgb8888, true>)                                                                  \
    X(E, Encode422<4, Uyvy>)                                                                                 \
    X(E, Encode422<4, Yuy2>)                                                                                 \
    X(E, EncodeYuv<false>)                                                                                   \
    X(E, EncodeYuv<true>)                                                                                    \
    X(E, EncodeMono8)                                                                                        \
    X(E, EncodeMono16)
#define VYR_YUV_SSSE3_JOBS(X, E)                                                                             \
    X(E, Decode<Uyvy, To::Rgb888>)                                                                           \
    X(E, Decode<Yuy2, To::Rgb888>)                                                                           \
    X(E, Decode<Yvyu, To::Rgb888>)                                                                           \
    X(E, Decode<Y411, To::Mono8>)                                                                            \
    X(E, Decode<Y411, To::Rgb888>)                                                                           \
    X(E, Decode<Y411, To::Yuv, true>)                                                                        \
    X(E, Decode<Iyu2, To::Mono8>)                                                                            \
    X(E, Decode<Iyu2, To::Rgb8888, true>)                                                                    \
    X(E, Decode<Iyu2, To::Rgb888>)                                                                           \
    X(E, Decode<Iyu2, To::Yuv, true>)                                                                        \
    X(E, Encode422<3, Uyvy>)                                                                                 \
    X(E, Encode422<3, Yuy2>)                                                                                 \
    X(E, Encode422<3, Yvyu>)

#define VYR_YUV_ALL_JOBS(X, E) VYR_YUV_SSE2_JOBS(X, E) VYR_YUV_SSSE3_JOBS(X, E)

} // namespace vyr::convert::kernels::yuv
