// Unit kernels of the Bicolor family (bicolor_steps.h). Their argument is the shift (taken modulo 32)
// in bits 0-4 and the flag in bit 5: blue first, or exchange the samples.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/unit_kernels.h"

namespace vyr::convert::kernels {

constexpr uint32_t bicolorArg(uint32_t shift, uint32_t flag) { return (shift & 31) | (flag ? 32u : 0u); }

namespace tag {

// RGB to Bicolor: each pixel's own colour and its green, selected by the route RedFirst or BlueFirst
// (pixels 0, 2, ... red or blue); with Shift every 16-bit sample shifted first.
template <class RedFirst, class BlueFirst, bool Shift>
struct SelectColour : Shuffles {
    static constexpr int kIn[1] = {RedFirst::kIn[0]}, kOut[1] = {RedFirst::kOut[0]};
};

// Bicolor with samples of Sample bytes to RGB of Samples samples of Out bytes, blue first (or red
// first where RedFirst), a fourth sample kept: each pixel's missing colour the mean of its
// neighbours'. The kernels see only pixels that have both, and take any number of them from one unit
// on (bicolor_steps.h).
template <int Sample, int Out, int Samples, bool RedFirst>
struct Interpolate : Shuffles {
    static constexpr int kIn[1] = {2 * Sample}, kOut[1] = {Out * Samples};
    static constexpr bool kLongRunsStream = false; // measured 15% slower streamed
    static constexpr bool kKeeps = Samples == 4;   // the fourth sample of every pixel
    // Bicolor1616 to 3-byte pixels: at AVX-512 (units of 64 pixels) in steps of 63, which take any
    // number of pixels from 63 on; every other kernel from one unit on.
    static constexpr bool kSteps63 = Sample == 2 && Out == 1 && Samples == 3;
    static constexpr uint32_t leastRun(uint32_t unit) { return unit == 64 && kSteps63 ? 63 : unit; }
};

// Bicolor to Bicolor: samples widened from In to Out bytes, shifted, exchanged where the flag says.
template <int In, int Out>
struct Exchange : AnyWidth {
    static constexpr int kIn[1] = {2 * In}, kOut[1] = {2 * Out};
};

// The colour of a pixel of In bytes at byte Red (or Blue) and its green at Green, each in a sample of
// Sample bytes, to a Bicolor pixel of Out-byte samples; pixels 0, 2, ... take red, or blue.
template <int In, int Out, int Sample, int Blue, int Green, int Red, bool BlueFirst>
struct ColourAndGreen {
    static constexpr int kIn[1] = {In}, kOut[1] = {2 * Out};
    static constexpr From from(int, int byte, int)
    {
        const int p = byte / (2 * Out), b = byte % Out, green = byte % (2 * Out) >= Out;
        const int colour = (p % 2 == 0) != BlueFirst ? Red : Blue;
        return b >= Sample ? zeroByte() : From{0, p * In + (green ? Green : colour) + b};
    }
};
template <int In, int Out, int Sample, int Blue, int Green, int Red>
using SelectFrom = SelectColour<ColourAndGreen<In, Out, Sample, Blue, Green, Red, false>,
                                ColourAndGreen<In, Out, Sample, Blue, Green, Red, true>, Sample == 2>;

using Rgb888ToBicolor88 = SelectFrom<3, 1, 1, 0, 1, 2>;
using Rgb8888ToBicolor88 = SelectFrom<4, 1, 1, 0, 1, 2>;
using Rgbr888ToBicolor88 = SelectFrom<3, 1, 1, 2, 1, 0>;
using Rgb888ToBicolor1616 = SelectFrom<3, 2, 1, 0, 1, 2>;
using Rgb8888ToBicolor1616 = SelectFrom<4, 2, 1, 0, 1, 2>;
using Rgbr888ToBicolor1616 = SelectFrom<3, 2, 1, 2, 1, 0>;
using Rgb161616ToBicolor1616 = SelectFrom<6, 2, 2, 0, 2, 4>;
using Rgb16161616ToBicolor1616 = SelectFrom<8, 2, 2, 0, 2, 4>;

using Bicolor88ToRgb8888 = Interpolate<1, 1, 4, false>;
using Bicolor88ToRgb888 = Interpolate<1, 1, 3, false>;
using Bicolor88ToRgbr888 = Interpolate<1, 1, 3, true>;
using Bicolor88ToRgb161616 = Interpolate<1, 2, 3, false>;
using Bicolor88ToRgb16161616 = Interpolate<1, 2, 4, false>;
using Bicolor1616ToRgb8888 = Interpolate<2, 1, 4, false>;
using Bicolor1616ToRgb888 = Interpolate<2, 1, 3, false>;
using Bicolor1616ToRgbr888 = Interpolate<2, 1, 3, true>;
using Bicolor1616ToRgb161616 = Interpolate<2, 2, 3, false>;
using Bicolor1616ToRgb16161616 = Interpolate<2, 2, 4, false>;

using Bicolor88ToBicolor88 = Exchange<1, 1>;
using Bicolor88ToBicolor1616 = Exchange<1, 2>;
using Bicolor1616ToBicolor1616 = Exchange<2, 2>;

} // namespace tag

#define VYR_BICOLOR_ANY_WIDTH(X)                                                                             \
    X(tag::Bicolor88ToBicolor88)                                                                             \
    X(tag::Bicolor88ToBicolor1616)                                                                           \
    X(tag::Bicolor1616ToBicolor1616)
#define VYR_BICOLOR_SHUFFLES(X)                                                                              \
    X(tag::Rgb888ToBicolor88)                                                                                \
    X(tag::Rgb8888ToBicolor88)                                                                               \
    X(tag::Rgbr888ToBicolor88)                                                                               \
    X(tag::Rgb888ToBicolor1616)                                                                              \
    X(tag::Rgb8888ToBicolor1616)                                                                             \
    X(tag::Rgbr888ToBicolor1616)                                                                             \
    X(tag::Rgb161616ToBicolor1616)                                                                           \
    X(tag::Rgb16161616ToBicolor1616)                                                                         \
    X(tag::Bicolor88ToRgb8888)                                                                               \
    X(tag::Bicolor88ToRgb888)                                                                                \
    X(tag::Bicolor88ToRgbr888)                                                                               \
    X(tag::Bicolor88ToRgb161616)                                                                             \
    X(tag::Bicolor88ToRgb16161616)                                                                           \
    X(tag::Bicolor1616ToRgb8888)                                                                             \
    X(tag::Bicolor1616ToRgb888)                                                                              \
    X(tag::Bicolor1616ToRgbr888)                                                                             \
    X(tag::Bicolor1616ToRgb161616)                                                                           \
    X(tag::Bicolor1616ToRgb16161616)

} // namespace vyr::convert::kernels
