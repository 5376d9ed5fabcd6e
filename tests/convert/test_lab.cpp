// LAB: to LAB in double precision with the runtime's pow, back in single precision, the lightness plane.
#include <gtest/gtest.h>

#include "colour_sweep.h"
#include "convert/lab.h"

namespace vyr::test {
namespace {

// Rounds to the type where the x87 would keep more, and keeps a product unfused with the sum it feeds.
float single(float x)
{
    volatile float stored = x;
    return stored;
}
double stored(double x)
{
    volatile double kept = x;
    return kept;
}

void refRgbToLab(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const DoubleArithmetic arithmetic;
    const double third = double(1.0f / 3.0f);
    for (uint32_t i = 0; i < count; ++i) {
        const double b = src[4 * i], g = src[4 * i + 1], r = src[4 * i + 2];
        const double x = (double(0.3576f) * g + double(0.4124f) * r + double(0.1805f) * b) / 255;
        const double y = (double(0.7152f) * g + double(0.2126f) * r + double(0.0722f) * b) / 255;
        const double z = (double(0.1192f) * g + double(0.0193f) * r + double(0.9505f) * b) / 255;
        const double fx = arithmetic.pow(x, third), fy = arithmetic.pow(y, third),
                     fz = arithmetic.pow(z, third);
        const uint8_t out[4] = {clampByte(128 + int(200 * (fy - fz))), clampByte(128 + int(500 * (fx - fy))),
                                clampByte(int((stored(116 * fy) - 16) * double(2.55f))), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

// The sums of products as written, every step rounded to float (lab.cpp is built without contraction).
void refLabToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    auto sum = [](float p, float a, float q, float b, float r, float c) {
        return clampByte(int(single(single(single(a * p) + single(b * q)) + single(c * r))));
    };
    for (uint32_t i = 0; i < count; ++i) {
        const float fy = single(single(single(src[4 * i + 2] / 2.55f) + 16) / 116);
        const float fx = single(single((src[4 * i + 1] - 128) / 500.0f) + fy);
        const float fz = single(fy - single((src[4 * i] - 128) / 200.0f));
        const float x = float(int(double(single(single(fx * fx) * fx)) * 255));
        const float y = float(int(double(single(single(fy * fy) * fy)) * 255));
        const float z = float(int(double(single(single(fz * fz) * fz)) * 255));
        const uint8_t out[4] = {sum(x, 0.0557f, y, -0.2040f, z, 1.0570f),
                                sum(y, 1.8758f, x, -0.9689f, z, 0.0415f),
                                sum(x, 3.2406f, y, -1.5372f, z, -0.4986f), 0};
        std::copy(out, out + 4, dst + 4 * i);
    }
}

void refLabToMono8(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = src[4 * i + 2];
}

const Converter kCases[] = {
    {"RGB8888toLAB", &convert::kRgb8888ToLab, bytesPer<4>, 4, refRgbToLab, nullptr,
     VyrUtilConvertRGB8888toLAB, 5},
    {"LABtoRGB8888", &convert::kLabToRgb8888, bytesPer<4>, 4, refLabToRgb, nullptr,
     VyrUtilConvertLABtoRGB8888, 5},
    {"LABtoMONO8", &convert::kLabToMono8, bytesPer<4>, 1, refLabToMono8, nullptr, VyrUtilConvertLABtoMONO8,
     5},
};

INSTANTIATE_TEST_SUITE_P(Lab, Converters, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Lab, EveryInput)
{
    for (const Converter& c : kCases)
        EXPECT_TRUE(sweepEveryInput(c));
}

} // namespace
} // namespace vyr::test
