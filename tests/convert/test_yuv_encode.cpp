// RGB888, RGB8888, MONO8 and MONO16 to packed YUV, on every path.
#include <gtest/gtest.h>

#include "colour_sweep.h"
#include "convert/yuv_encode.h"

namespace vyr::test {
namespace {

// BT.601 weights in units of 1/1024, rounded down: Y and the colour differences of U and V.
struct RefYuv {
    int y, u, v;
};
RefYuv refYuv(const uint8_t* bgr)
{
    const int b = bgr[0], g = bgr[1], r = bgr[2];
    return {floorDiv(306 * r + 601 * g + 117 * b, 1024), floorDiv(512 * b - 339 * g - 173 * r, 1024),
            floorDiv(512 * r - 429 * g - 83 * b, 1024)};
}
int refScalarChroma(int c) { return 128 + c * 229 / 255; } // C++ division truncates towards zero
int refVectorChroma(int c) { return 128 + floorDiv(c * 29426, 32768); }

// Byte b of cell k is written when pixel 2k + b / 2 is in the run; U and V come from the cell's first pixel.
template <size_t SrcBpp, int Y0, int U, int Y1, int V>
void refRgbToCells(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t byte = 0; byte < 2 * count; ++byte) {
        const int at = int(byte % 4);
        const uint8_t* p = src + SrcBpp * 2 * (byte / 4);
        const RefYuv first = refYuv(p);
        dst[byte] = uint8_t(at == Y0   ? first.y
                            : at == Y1 ? refYuv(p + SrcBpp).y
                            : at == U  ? refScalarChroma(first.u)
                                       : refScalarChroma(first.v));
    }
}

template <bool Vector>
void refRgb8888ToYuv(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    auto chroma = Vector ? refVectorChroma : refScalarChroma;
    for (uint32_t i = 0; i < count; ++i) {
        const RefYuv p = refYuv(src + 4 * i);
        const uint8_t out[4] = {uint8_t(chroma(p.v)), uint8_t(chroma(p.u)), uint8_t(p.y), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

void refMono8ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[2 * i] = src[i], dst[2 * i + 1] = 128;
}

// An odd last pixel is dropped; beyond 8 unused bits no significant bit reaches Y.
void refMono16ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < (count & ~1u); ++i) {
        const unsigned p = src[2 * i] + 256u * src[2 * i + 1];
        dst[2 * i] = unusedBits > 8 ? 0 : uint8_t((p / (1u << (8 - unusedBits))) % 256);
        dst[2 * i + 1] = 128;
    }
}

const Converter kEncoders[] = {
    {"RGB888toUYVY", &convert::kRgb888ToUyvy, bytesPer<3>, 2, refRgbToCells<3, 1, 0, 3, 2>, nullptr,
     VyrUtilConvertRGB888toUYVY},
    {"RGB888toYUY2", &convert::kRgb888ToYuy2, bytesPer<3>, 2, refRgbToCells<3, 0, 1, 2, 3>, nullptr,
     VyrUtilConvertRGB888toYUY2},
    {"RGB888toYVYU", &convert::kRgb888ToYvyu, bytesPer<3>, 2, refRgbToCells<3, 0, 3, 2, 1>, nullptr,
     VyrUtilConvertRGB888toYVYU},
    {"RGB8888toUYVY", &convert::kRgb8888ToUyvy, bytesPer<4>, 2, refRgbToCells<4, 1, 0, 3, 2>, nullptr,
     VyrUtilConvertRGB8888toUYVY},
    {"RGB8888toYUY2", &convert::kRgb8888ToYuy2, bytesPer<4>, 2, refRgbToCells<4, 0, 1, 2, 3>, nullptr,
     VyrUtilConvertRGB8888toYUY2},
    {"RGB8888toYUV", &convert::kRgb8888ToYuv, bytesPer<4>, 4, refRgb8888ToYuv<false>, refRgb8888ToYuv<true>,
     VyrUtilConvertRGB8888toYUV},
    {"MONO8toYUY2", &convert::kMono8ToYuy2, bytesPer<1>, 2, refMono8ToYuy2, refMono8ToYuy2,
     VyrUtilConvertMONO8toYUY2},
    {"MONO16toYUY2_unused4", &convert::kMono16ToYuy2, bytesPer<2>, 2, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2, 4},
    {"MONO16toYUY2_unused8", &convert::kMono16ToYuy2, bytesPer<2>, 2, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2, 8},
    {"MONO16toYUY2_unused9", &convert::kMono16ToYuy2, bytesPer<2>, 2, refMono16ToYuy2, refMono16ToYuy2,
     VyrUtilConvertMONO16toYUY2, 9},
};

INSTANTIATE_TEST_SUITE_P(YuvEncode, Converters, ::testing::ValuesIn(kEncoders),
                         [](const auto& info) { return std::string(info.param.name); });

// Every 24-bit colour on every path of the RGB encoders (a cell's second pixel adds only its luma).
TEST(YuvEncode, EveryColourOnEveryPath)
{
    for (const Converter& c : kEncoders) {
        if (c.srcBytes(1) >= 3) {
            EXPECT_TRUE(sweepEveryInput(c));
        }
    }
}

// In R, G, B; out Y, U, V on the scalar and the vector rule.
TEST(YuvEncode, TellingColours)
{
    expectKnown(convert::kRgb8888ToYuv, {
                                            {{255, 255, 255}, {255, 128, 128}, {255, 128, 128}},
                                            {{0, 255, 0}, {149, 52, 32}, {149, 51, 31}},
                                        });
}

} // namespace
} // namespace vyr::test
