// Block kernels of the packed RGB family; the last argument is the converter's unusedBits (unused).
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/unit_kernels.h"

namespace vyr::convert::kernels {

// RGB888 or RGBR888 to RGB8888, block 8: 24 bytes to 8 pixels of blue, green, red and a 0 byte.
void rgb888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgb888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgbr888ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgbr888ToRgb8888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGBR888 to RGB888, block 8: bytes 0 and 2 of every 3-byte pixel swapped.
void rgbr888ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGB101010 to RGB8888 (unusedBits 0), block 4: the top 8 bits of each field, a 0 fourth byte.
void rgb101010ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// ---- Unit kernels of the rules (packed_rgb_steps.h) ---------------------------------------------------

namespace tag {

// Bytes moved: the fourth byte of RGB8888 kept (scalar rules) or 0 (vector rules).
using Rgb888ToRgb8888Keep = PixelRoute<3, 4, 0, 1, 2, kKept>;
using Rgb888ToRgb8888Zero = PixelRoute<3, 4, 0, 1, 2, kZero>;
using Rgbr888ToRgb8888Keep = PixelRoute<3, 4, 2, 1, 0, kKept>;
using Rgbr888ToRgb8888Zero = PixelRoute<3, 4, 2, 1, 0, kZero>;
using Rgbr888ToRgb888 = PixelRoute<3, 3, 2, 1, 0>;
using Rgb8888ToRgb888 = PixelRoute<4, 3, 0, 1, 2>;

// Fields and depths: the argument is unusedBits.
struct Rgb888ToRgb5551 : Shuffles {
    static constexpr int kIn[] = {3}, kOut[] = {2};
};
struct Rgb888ToRgb565 : Shuffles {
    static constexpr int kIn[] = {3}, kOut[] = {2};
};
struct Rgb5551ToRgb888 : Shuffles {
    static constexpr int kIn[] = {2}, kOut[] = {3};
};
struct Rgb565ToRgb888 : Shuffles {
    static constexpr int kIn[] = {2}, kOut[] = {3};
};
struct Rgb101010ToRgb8888 : AnyWidth {
    static constexpr int kIn[] = {4}, kOut[] = {4};
};
struct Rgb101010ToRgb888 : Shuffles {
    static constexpr int kIn[] = {4}, kOut[] = {3};
};
struct Rgb101010ToRgb161616 : Shuffles {
    static constexpr int kIn[] = {4}, kOut[] = {6};
};
struct Rgb101010ToRgb16161616 : AnyWidth {
    static constexpr int kIn[] = {4}, kOut[] = {8};
};
struct Rgb161616ToRgb101010 : Shuffles {
    static constexpr int kIn[] = {6}, kOut[] = {4};
};
struct Rgb16161616ToRgb101010 : Shuffles {
    static constexpr int kIn[] = {8}, kOut[] = {4};
};
struct Rgb161616ToRgb8888 : Shuffles {
    static constexpr int kIn[] = {6}, kOut[] = {4};
};
struct Rgb161616ToRgb888 : Shuffles {
    static constexpr int kIn[] = {6}, kOut[] = {3};
};
struct Rgb16161616ToRgb8888 : AnyWidth {
    static constexpr int kIn[] = {8}, kOut[] = {4};
};
struct Rgb16161616ToRgb888 : Shuffles {
    static constexpr int kIn[] = {8}, kOut[] = {3};
};

// Luminance.
struct Rgb16161616ToMono16 : Shuffles {
    static constexpr int kIn[] = {8}, kOut[] = {2};
};
struct Rgb101010ToMono16 : AnyWidth {
    static constexpr int kIn[] = {4}, kOut[] = {2};
};

} // namespace tag

#define VYR_PACKED_RGB_ANY_WIDTH(X)                                                                          \
    X(tag::Rgb101010ToRgb8888)                                                                               \
    X(tag::Rgb101010ToRgb16161616)                                                                           \
    X(tag::Rgb16161616ToRgb8888)                                                                             \
    X(tag::Rgb101010ToMono16)
#define VYR_PACKED_RGB_SHUFFLES(X)                                                                           \
    X(tag::Rgb888ToRgb8888Keep)                                                                              \
    X(tag::Rgb888ToRgb8888Zero)                                                                              \
    X(tag::Rgbr888ToRgb8888Keep)                                                                             \
    X(tag::Rgbr888ToRgb8888Zero)                                                                             \
    X(tag::Rgbr888ToRgb888)                                                                                  \
    X(tag::Rgb8888ToRgb888)                                                                                  \
    X(tag::Rgb888ToRgb5551)                                                                                  \
    X(tag::Rgb888ToRgb565)                                                                                   \
    X(tag::Rgb5551ToRgb888)                                                                                  \
    X(tag::Rgb565ToRgb888)                                                                                   \
    X(tag::Rgb101010ToRgb888)                                                                                \
    X(tag::Rgb101010ToRgb161616)                                                                             \
    X(tag::Rgb161616ToRgb101010)                                                                             \
    X(tag::Rgb16161616ToRgb101010)                                                                           \
    X(tag::Rgb161616ToRgb8888)                                                                               \
    X(tag::Rgb161616ToRgb888)                                                                                \
    X(tag::Rgb16161616ToRgb888)                                                                              \
    X(tag::Rgb16161616ToMono16)

} // namespace vyr::convert::kernels
