// UYVY, YUY2, YVYU, Y411, IYU2 and YUV to MONO8, RGB8888, RGB888 and YUV, on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "colour_sweep.h"
#include "convert/yuv422.h"
#include "convert/yuv444.h"

namespace vyr::test {
namespace {

// B = Y + 1.7790 u, G = Y - 0.3455 u - 0.7169 v, R = Y + 1.4075 v in units of 1/16384, rounded down.
void putBgr(uint8_t* p, int y, int u, int v)
{
    const int du = u - 128, dv = v - 128;
    p[0] = clampByte(floorDiv(16384 * y + 29147 * du, 16384));
    p[1] = clampByte(floorDiv(16384 * y - 5661 * du - 11746 * dv, 16384));
    p[2] = clampByte(floorDiv(16384 * y + 23060 * dv, 16384));
}

// A unit of `pixels` pixels sharing one U and V: its size and where it keeps each sample.
struct Layout {
    uint32_t pixels, bytes;
    int u, v, y[4];
};
constexpr Layout kUyvy{2, 4, 0, 2, {1, 3}}, kYuy2{2, 4, 1, 3, {0, 2}}, kYvyu{2, 4, 3, 1, {0, 2}};
constexpr Layout kY411{4, 6, 0, 3, {1, 2, 4, 5}}, kIyu2{1, 3, 0, 2, {1}}, kYuv{1, 4, 1, 0, {2}};

template <const Layout& L>
size_t unitBytes(uint32_t count)
{
    return (size_t(count) * L.bytes + L.pixels - 1) / L.pixels;
}

enum class Out { Mono8, Rgb8888, Rgb888, Yuv };
constexpr size_t outBytes(Out o) { return o == Out::Mono8 ? 1 : o == Out::Rgb888 ? 3 : 4; }

// MONO8 takes every pixel's luma, others whole units only; a fourth byte is kept (Keep) or zeroed.
template <const Layout& L, Out O, bool Keep = true>
void refDecode(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t pixels = O == Out::Mono8 ? count : count - count % L.pixels;
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint8_t* unit = src + L.bytes * (i / L.pixels);
        const uint8_t y = unit[L.y[i % L.pixels]], u = unit[L.u], v = unit[L.v];
        uint8_t* p = dst + outBytes(O) * i;
        if (O == Out::Mono8)
            p[0] = y;
        else if (O == Out::Yuv)
            p[0] = v, p[1] = u, p[2] = y;
        else
            putBgr(p, y, u, v);
        if (outBytes(O) == 4 && !Keep)
            p[3] = 0;
    }
}

// Sweep input n is Y = n + 37 U, U = n >> 8, V = n >> 16: for every U and V all 256 lumas, turned
// with U so that each meets every position in a register. A unit takes its first pixel's U and V.
template <const Layout& L>
void putTriple(uint8_t* src, uint32_t i, uint32_t n)
{
    uint8_t* unit = src + L.bytes * (i / L.pixels);
    unit[L.y[i % L.pixels]] = uint8_t(n + 37 * (n >> 8));
    if (i % L.pixels == 0)
        unit[L.u] = uint8_t(n >> 8), unit[L.v] = uint8_t(n >> 16);
}

// The fourth argument is ignored (7 here); Y411's vector path also needs SSE.
#define DECODER(Name, L, O, paths, vector)                                                                   \
    Converter                                                                                                \
    {                                                                                                        \
#Name, &convert::paths, unitBytes < L>, outBytes(Out::O), refDecode < L, Out::O>, vector,            \
            VyrUtilConvert##Name, 7, &L == &kY411, putTriple < L>                                            \
    }

const Converter kDecoders[] = {
    DECODER(UYVYtoMONO8, kUyvy, Mono8, kUyvyToMono8, (refDecode<kUyvy, Out::Mono8>)),
    DECODER(UYVYtoRGB8888, kUyvy, Rgb8888, kUyvyToRgb8888, (refDecode<kUyvy, Out::Rgb8888, false>)),
    DECODER(UYVYtoRGB888, kUyvy, Rgb888, kUyvyToRgb888, nullptr),
    DECODER(UYVYtoYUV, kUyvy, Yuv, kUyvyToYuv, nullptr),
    DECODER(YUY2toMONO8, kYuy2, Mono8, kYuy2ToMono8, (refDecode<kYuy2, Out::Mono8>)),
    DECODER(YUY2toRGB8888, kYuy2, Rgb8888, kYuy2ToRgb8888, (refDecode<kYuy2, Out::Rgb8888, false>)),
    DECODER(YUY2toRGB888, kYuy2, Rgb888, kYuy2ToRgb888, nullptr),
    DECODER(YUY2toYUV, kYuy2, Yuv, kYuy2ToYuv, (refDecode<kYuy2, Out::Yuv, false>)),
    DECODER(YVYUtoRGB8888, kYvyu, Rgb8888, kYvyuToRgb8888, nullptr),
    DECODER(YVYUtoRGB888, kYvyu, Rgb888, kYvyuToRgb888, nullptr),
    DECODER(YVYUtoYUV, kYvyu, Yuv, kYvyuToYuv, nullptr),
    DECODER(Y411toMONO8, kY411, Mono8, kY411ToMono8, nullptr),
    DECODER(Y411toRGB8888, kY411, Rgb8888, kY411ToRgb8888, (refDecode<kY411, Out::Rgb8888, false>)),
    DECODER(Y411toRGB888, kY411, Rgb888, kY411ToRgb888, nullptr),
    DECODER(Y411toYUV, kY411, Yuv, kY411ToYuv, nullptr),
    DECODER(IYU2toMONO8, kIyu2, Mono8, kIyu2ToMono8, nullptr),
    DECODER(IYU2toRGB8888, kIyu2, Rgb8888, kIyu2ToRgb8888, nullptr),
    DECODER(IYU2toRGB888, kIyu2, Rgb888, kIyu2ToRgb888, nullptr),
    DECODER(IYU2toYUV, kIyu2, Yuv, kIyu2ToYuv, nullptr),
    DECODER(YUVtoMONO8, kYuv, Mono8, kYuvToMono8, nullptr),
    DECODER(YUVtoRGB8888, kYuv, Rgb8888, kYuvToRgb8888, (refDecode<kYuv, Out::Rgb8888, false>)),
};

INSTANTIATE_TEST_SUITE_P(YuvDecode, Converters, ::testing::ValuesIn(kDecoders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(YuvDecode, EveryTripleOnEveryPathToRgb)
{
    for (const Converter& c : kDecoders) {
        if (std::strstr(c.name, "toRGB")) {
            EXPECT_TRUE(sweepEveryInput(c));
        }
    }
}

// Clamps both ways, no range expansion, fractions discarded (in Y, U, V; out R, G, B).
TEST(YuvDecode, TellingValuesOfTheEquations)
{
    expectKnown(convert::kYuvToRgb8888, {
                                            {{0, 128, 128}, {0, 0, 0}, {0, 0, 0}},
                                            {{16, 128, 128}, {16, 16, 16}, {16, 16, 16}},
                                            {{128, 255, 128}, {128, 84, 255}, {128, 84, 255}},
                                            {{128, 0, 0}, {0, 255, 0}, {0, 255, 0}},
                                            {{81, 90, 240}, {238, 13, 13}, {238, 13, 13}},
                                        });
}

} // namespace
} // namespace vyr::test
