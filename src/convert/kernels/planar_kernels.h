// Kernels of merge and split: a nonzero multiple of 8 pixels between three MONO8 planes and RGB8888.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/unit_kernels.h"

namespace vyr::convert::kernels {

using MergeKernel = void (*)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst,
                             size_t pixels);
using SplitKernel = void (*)(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);

// Words red << 16 | green << 8 | blue, the fourth byte 0.
void mergeSse2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels);
// Bytes 2, 1 and 0 of every pixel to the red, green and blue planes.
void splitSse2(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t pixels);

// The bytes of `count` MONO1 pixels with their bits mirrored, the last partial register through masked
// loads and stores (no stack unit: a 1920-pixel MONO1 line is only 240 bytes). It takes the line's
// arguments, so the converter's table calls it without a wrapper (a 240-byte line is mostly call).
void mirrorBitsAvx512(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t);

// ---- Unit kernels of the rules (planar_steps.h): every plane a stream ----------------------------------

namespace tag {

// Packed pixels of In bytes to one plane of bytes per channel: plane k takes byte Planes - 1 - k (red
// or the fourth byte first). A null plane (split) is not written. Without a fourth plane the fourth
// stream has no bytes.
template <int In, int Planes, bool Nulls = false>
struct BytesToPlanes : Shuffles {
    static constexpr bool kNullStreams = Nulls;
    static constexpr int kIn[1] = {In}, kOut[4] = {1, 1, 1, Planes == 4};
    static constexpr From from(int plane, int byte, int) { return {0, byte * In + Planes - 1 - plane}; }
};
// Planes red, green, blue (and fourth) to RGB8888, the fourth byte 0 without a fourth plane. A null
// plane (merge) reads as 0.
template <int Planes, bool Nulls = false>
struct PlanesToRgb8888 : Shuffles {
    static constexpr bool kNullStreams = Nulls;
    static constexpr int kIn[4] = {1, 1, 1, Planes == 4}, kOut[1] = {4};
    static constexpr From from(int, int byte, int)
    {
        const int c = byte % 4;
        return c < 3 ? From{2 - c, byte / 4} : Planes == 4 ? From{3, byte / 4} : zeroByte();
    }
};

using Rgb888ToRgbp8 = BytesToPlanes<3, 3>;
using Rgb8888ToRgbap8 = BytesToPlanes<4, 4>;
using SplitRgb8888 = BytesToPlanes<4, 3, true>;
using Rgbp8ToRgb8888 = PlanesToRgb8888<3>;
using Rgbap8ToRgb8888 = PlanesToRgb8888<4>;
using MergeRgb8888 = PlanesToRgb8888<3, true>;

// RGB161616's words to planes red, green, blue.
struct Rgb161616ToRgbp16 : Shuffles {
    static constexpr int kIn[] = {6}, kOut[] = {2, 2, 2};
    static constexpr From from(int plane, int byte, int)
    {
        return {0, byte / 2 * 6 + (2 - plane) * 2 + byte % 2};
    }
};

// With unusedBits.
struct Rgb101010ToRgbp16 : Shuffles {
    static constexpr int kIn[] = {4}, kOut[] = {2, 2, 2};
};
struct Rgbp16ToRgb8888 : Shuffles {
    static constexpr int kIn[] = {2, 2, 2}, kOut[] = {4};
};

// Bytes with their bits mirrored.
struct MirrorBits : Shuffles {
    static constexpr int kIn[] = {1}, kOut[] = {1};
};

} // namespace tag

#define VYR_PLANAR_SHUFFLES(X)                                                                               \
    X(tag::Rgb888ToRgbp8)                                                                                    \
    X(tag::Rgb8888ToRgbap8)                                                                                  \
    X(tag::SplitRgb8888)                                                                                     \
    X(tag::Rgbp8ToRgb8888)                                                                                   \
    X(tag::Rgbap8ToRgb8888)                                                                                  \
    X(tag::MergeRgb8888)                                                                                     \
    X(tag::Rgb161616ToRgbp16)                                                                                \
    X(tag::Rgb101010ToRgbp16)                                                                                \
    X(tag::Rgbp16ToRgb8888)                                                                                  \
    X(tag::MirrorBits)

} // namespace vyr::convert::kernels
