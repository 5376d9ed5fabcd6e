// Block kernels of the grey family. Each converts a nonzero multiple of its block of pixels; the
// last argument is the converter's unusedBits (read only where the rule takes it).
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/unit_kernels.h"

namespace vyr::convert::kernels {

// MONO8 to RGB8888, block 16: 16 grey bytes to 64 bytes of v v v v.
void mono8ToRgb8888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb8888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO8 to RGB888, block 8: 8 grey bytes to 24 bytes of v v v.
void mono8ToRgb888Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb888Ssse3(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void mono8ToRgb888Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO16 to MONO8, block 16: every word shifted right by 8 - unusedBits, its low byte kept.
void mono16ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t unusedBits);

// MONO8 to RGB5551 (unusedBits 0), block 16: c = v >> 3 in all three fields.
void mono8ToRgb5551Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// MONO8 to RGB565 (unusedBits 0), block 8: fields cut from the byte doubled into a word.
void mono8ToRgb565Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// RGB8888 to MONO8, block 8: (117 B + 601 G + 306 R) >> 10 by multiply-add of word pairs.
void rgb8888ToMono8Sse2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);
void rgb8888ToMono8Avx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t);

// ---- Unit kernels of the rules (mono_steps.h) --------------------------------------------------------

namespace tag {

// Grey values in all four or three bytes.
using Mono8ToRgb8888 = PixelRoute<1, 4, 0, 0, 0, 0>;
using Mono8ToRgb888 = PixelRoute<1, 3, 0, 0, 0>;

// Depth and sign: the argument is unusedBits.
struct Mono16ToMono8 : AnyWidth {
    static constexpr int kIn[] = {2}, kOut[] = {1};
};
struct Mono32ToMono8 : AnyWidth {
    static constexpr int kIn[] = {4}, kOut[] = {1};
};
struct Mono8ToMono16 : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {2};
};
struct FlipSign8 : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {1};
    static constexpr bool kLongRunsStream = false; // measured 5-10% slower streamed
};
struct Mono8ToInt16 : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {2};
};
struct Int16ToMono8 : AnyWidth {
    static constexpr int kIn[] = {2}, kOut[] = {1};
};

// Grey to RGB.
struct Mono16ToRgb5551 : AnyWidth {
    static constexpr int kIn[] = {2}, kOut[] = {2};
};
struct Mono16ToRgb565 : AnyWidth {
    static constexpr int kIn[] = {2}, kOut[] = {2};
};
struct Mono16ToRgb8888 : AnyWidth {
    static constexpr int kIn[] = {2}, kOut[] = {4};
};
struct Mono16ToRgb888 : Shuffles {
    static constexpr int kIn[] = {2}, kOut[] = {3};
};
struct Mono8ToRgb5551 : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {2};
};
struct Mono8ToRgb565 : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {2};
};
// The vector rule: fields cut from the byte doubled into a word.
struct Mono8ToRgb565Doubled : AnyWidth {
    static constexpr int kIn[] = {1}, kOut[] = {2};
};

// Luminance.
struct Rgb888ToMono8 : Shuffles {
    static constexpr int kIn[] = {3}, kOut[] = {1};
};
struct Rgb8888ToMono8 : AnyWidth {
    static constexpr int kIn[] = {4}, kOut[] = {1};
};

} // namespace tag

#define VYR_MONO_ANY_WIDTH(X)                                                                                \
    X(tag::Mono16ToMono8)                                                                                    \
    X(tag::Mono32ToMono8)                                                                                    \
    X(tag::Mono8ToMono16)                                                                                    \
    X(tag::FlipSign8)                                                                                        \
    X(tag::Mono8ToInt16)                                                                                     \
    X(tag::Int16ToMono8)                                                                                     \
    X(tag::Mono16ToRgb5551)                                                                                  \
    X(tag::Mono16ToRgb565)                                                                                   \
    X(tag::Mono16ToRgb8888)                                                                                  \
    X(tag::Mono8ToRgb5551)                                                                                   \
    X(tag::Mono8ToRgb565)                                                                                    \
    X(tag::Mono8ToRgb565Doubled)                                                                             \
    X(tag::Rgb8888ToMono8)
#define VYR_MONO_SHUFFLES(X)                                                                                 \
    X(tag::Mono8ToRgb8888)                                                                                   \
    X(tag::Mono8ToRgb888)                                                                                    \
    X(tag::Mono16ToRgb888)                                                                                   \
    X(tag::Rgb888ToMono8)

} // namespace vyr::convert::kernels
