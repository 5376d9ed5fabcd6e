// Y411, IYU2 and YUV to MONO8, RGB8888, RGB888 and YUV, on every path.
#include <gtest/gtest.h>

#include "bytes.h"
#include "convert/yuv444.h"
#include "guarded_buffer.h"
#include "line_harness.h"
#include "yuv_support.h"

namespace vyr::test {
namespace {

using convert::Paths;

// Y411 pixel i: unit i / 4, luma at byte 1, 2, 4 or 5 of it; U at byte 0 and V at byte 3.
// MONO8 takes every pixel, the other destinations whole units only.
template <Out O, X Fourth>
void refY411(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t pixels = O == Out::Mono8 ? count : count - count % 4;
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint8_t* unit = src + 6 * (i / 4);
        const int lumaAt[4] = {1, 2, 4, 5};
        putPixel<O, Fourth>(dst + outBytes(O) * i, unit[lumaAt[i % 4]], unit[0], unit[3]);
    }
}

template <Out O>
void refIyu2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        putPixel<O, X::Keep>(dst + outBytes(O) * i, src[3 * i + 1], src[3 * i], src[3 * i + 2]);
}

template <Out O, X Fourth>
void refYuv(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        putPixel<O, Fourth>(dst + outBytes(O) * i, src[4 * i + 2], src[4 * i + 1], src[4 * i]);
}

size_t y411Bytes(uint32_t count)
{
    return (size_t(count) * 3 + 1) / 2;
}

struct Case {
    const char* name;
    const Paths* paths;
    size_t (*srcBytes)(uint32_t);
    Out out;
    LineFn scalarReference;
    LineFn vectorReference; // null: no vector path
    Export exported;
};

size_t iyu2Bytes(uint32_t count)
{
    return size_t(count) * 3;
}
size_t yuvBytes(uint32_t count)
{
    return size_t(count) * 4;
}

const Case kCases[] = {
    {"Y411toMONO8", &convert::kY411ToMono8, y411Bytes, Out::Mono8, refY411<Out::Mono8, X::Keep>, nullptr,
     VyrUtilConvertY411toMONO8},
    {"Y411toRGB8888", &convert::kY411ToRgb8888, y411Bytes, Out::Rgb8888, refY411<Out::Rgb8888, X::Keep>,
     refY411<Out::Rgb8888, X::Zero>, VyrUtilConvertY411toRGB8888},
    {"Y411toRGB888", &convert::kY411ToRgb888, y411Bytes, Out::Rgb888, refY411<Out::Rgb888, X::Keep>, nullptr,
     VyrUtilConvertY411toRGB888},
    {"Y411toYUV", &convert::kY411ToYuv, y411Bytes, Out::Yuv, refY411<Out::Yuv, X::Keep>, nullptr,
     VyrUtilConvertY411toYUV},
    {"IYU2toMONO8", &convert::kIyu2ToMono8, iyu2Bytes, Out::Mono8, refIyu2<Out::Mono8>, nullptr,
     VyrUtilConvertIYU2toMONO8},
    {"IYU2toRGB8888", &convert::kIyu2ToRgb8888, iyu2Bytes, Out::Rgb8888, refIyu2<Out::Rgb8888>, nullptr,
     VyrUtilConvertIYU2toRGB8888},
    {"IYU2toRGB888", &convert::kIyu2ToRgb888, iyu2Bytes, Out::Rgb888, refIyu2<Out::Rgb888>, nullptr,
     VyrUtilConvertIYU2toRGB888},
    {"IYU2toYUV", &convert::kIyu2ToYuv, iyu2Bytes, Out::Yuv, refIyu2<Out::Yuv>, nullptr,
     VyrUtilConvertIYU2toYUV},
    {"YUVtoMONO8", &convert::kYuvToMono8, yuvBytes, Out::Mono8, refYuv<Out::Mono8, X::Keep>, nullptr,
     VyrUtilConvertYUVtoMONO8},
    {"YUVtoRGB8888", &convert::kYuvToRgb8888, yuvBytes, Out::Rgb8888, refYuv<Out::Rgb8888, X::Keep>,
     refYuv<Out::Rgb8888, X::Zero>, VyrUtilConvertYUVtoRGB8888},
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class Yuv444 : public ::testing::TestWithParam<Case> {
  protected:
    LineSpec shape() const { return {GetParam().srcBytes, bytesPerPixel(outBytes(GetParam().out))}; }
};

TEST_P(Yuv444, EveryPathFollowsItsRule)
{
    const Case& c = GetParam();
    expectEveryPathFollowsItsRule(shape(), *c.paths, c.scalarReference, c.vectorReference, outBytes(c.out));
}

// The Y411 kernels need the SSE integer extension as well as MMX.
TEST_P(Yuv444, ExportTakesTheProcessorsPath)
{
    const Case& c = GetParam();
    const bool y411 = c.srcBytes == y411Bytes;
    expectExportTakesTheProcessorsPath(c.exported, shape(), c.scalarReference, c.vectorReference,
                                       !y411 || VyrUtilIsSSE());
}

INSTANTIATE_TEST_SUITE_P(Converters, Yuv444, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Worked units: greys (every RGB destination and MONO8 give the lumas back), a clamped blue, and
// YUV output that leaves the fourth bytes alone.
TEST(Y411, WorkedUnitsOnEveryPath)
{
    const uint8_t units[12] = {128, 0, 85, 128, 170, 255, 255, 128, 128, 128, 128, 128};
    const uint8_t grey[4] = {0, 85, 170, 255};
    for (const Paths* paths : {&convert::kY411ToRgb8888, &convert::kY411ToRgb888}) {
        const size_t bpp = paths == &convert::kY411ToRgb888 ? 3 : 4;
        std::vector<LineFn> all = {paths->scalar};
        for (auto [isa, path] : runnableVariants(*paths))
            all.push_back(path);
        for (LineFn path : all) {
            uint8_t out[32];
            path(units, out, 8, 0);
            for (size_t i = 0; i < 8; ++i) {
                const uint8_t want[3] = {i < 4 ? grey[i] : uint8_t(255), i < 4 ? grey[i] : uint8_t(84),
                                         i < 4 ? grey[i] : uint8_t(128)};
                EXPECT_TRUE(sameBytes(want, out + bpp * i, 3)) << "pixel " << i;
            }
        }
    }
    uint8_t mono[4];
    convert::kY411ToMono8.scalar(units, mono, 4, 0);
    EXPECT_TRUE(sameBytes(grey, mono, 4));

    uint8_t yuv[16];
    for (int i = 0; i < 16; ++i)
        yuv[i] = uint8_t(0xE0 + i);
    convert::kY411ToYuv.scalar(units, yuv, 4, 0);
    const uint8_t want[16] = {128, 128, 0,   0xE3, 128, 128, 85,  0xE7,
                              128, 128, 170, 0xEB, 128, 128, 255, 0xEF};
    EXPECT_TRUE(sameBytes(want, yuv, 16));
}

TEST(Iyu2AndYuv, FractionsAreDiscarded)
{
    const uint8_t iyu2[3] = {90, 81, 240};
    const uint8_t yuv[4] = {240, 90, 81, 0x66};
    const uint8_t want[3] = {13, 13, 238};
    uint8_t out[4];
    for (auto [path, src] : {std::pair{convert::kIyu2ToRgb888.scalar, iyu2},
                             {convert::kYuvToRgb8888.scalar, yuv},
                             {convert::kYuvToRgb8888.vector(), yuv}}) {
        path(src, out, 1, 0);
        EXPECT_TRUE(sameBytes(want, out, 3));
    }
}

} // namespace
} // namespace vyr::test
