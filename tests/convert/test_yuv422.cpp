// Packed 4:2:2 (UYVY, YUY2, YVYU) to MONO8, RGB8888, RGB888 and YUV, on every path.
#include <gtest/gtest.h>

#include "bytes.h"
#include "convert/yuv422.h"
#include "guarded_buffer.h"
#include "line_harness.h"
#include "yuv_support.h"

namespace vyr::test {
namespace {

using convert::Paths;

// Byte offsets of Y0, U, Y1, V within a cell.
struct Layout {
    int y0, u, y1, v;
};
constexpr Layout kUyvy{1, 0, 3, 2};
constexpr Layout kYuy2{0, 1, 2, 3};
constexpr Layout kYvyu{0, 3, 2, 1};

// MONO8 takes every pixel's luma; the other destinations take whole cells, so an odd last pixel
// is left alone.
template <const Layout& L, Out O, X Fourth>
void ref422(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t pixels = O == Out::Mono8 ? count : count & ~1u;
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint8_t* cell = src + 4 * (i / 2);
        putPixel<O, Fourth>(dst + outBytes(O) * i, cell[i % 2 ? L.y1 : L.y0], cell[L.u], cell[L.v]);
    }
}

struct Case {
    const char* name;
    const Paths* paths;
    Out out;
    LineFn scalarReference;
    LineFn vectorReference; // null: the converter has no vector path
    Export exported;
};

#define YUV422_CASE(Name, layout, O, paths, vectorFourth)                                                    \
    Case                                                                                                     \
    {                                                                                                        \
#Name, &convert::paths, O, ref422 < layout, O, X::Keep>, vectorFourth, VyrUtilConvert##Name          \
    }

const Case kCases[] = {
    YUV422_CASE(UYVYtoMONO8, kUyvy, Out::Mono8, kUyvyToMono8, (ref422<kUyvy, Out::Mono8, X::Keep>)),
    YUV422_CASE(UYVYtoRGB8888, kUyvy, Out::Rgb8888, kUyvyToRgb8888, (ref422<kUyvy, Out::Rgb8888, X::Zero>)),
    YUV422_CASE(UYVYtoRGB888, kUyvy, Out::Rgb888, kUyvyToRgb888, nullptr),
    YUV422_CASE(UYVYtoYUV, kUyvy, Out::Yuv, kUyvyToYuv, nullptr),
    YUV422_CASE(YUY2toMONO8, kYuy2, Out::Mono8, kYuy2ToMono8, (ref422<kYuy2, Out::Mono8, X::Keep>)),
    YUV422_CASE(YUY2toRGB8888, kYuy2, Out::Rgb8888, kYuy2ToRgb8888, (ref422<kYuy2, Out::Rgb8888, X::Zero>)),
    YUV422_CASE(YUY2toRGB888, kYuy2, Out::Rgb888, kYuy2ToRgb888, nullptr),
    YUV422_CASE(YUY2toYUV, kYuy2, Out::Yuv, kYuy2ToYuv, (ref422<kYuy2, Out::Yuv, X::Zero>)),
    YUV422_CASE(YVYUtoRGB8888, kYvyu, Out::Rgb8888, kYvyuToRgb8888, nullptr),
    YUV422_CASE(YVYUtoRGB888, kYvyu, Out::Rgb888, kYvyuToRgb888, nullptr),
    YUV422_CASE(YVYUtoYUV, kYvyu, Out::Yuv, kYvyuToYuv, nullptr),
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class Yuv422 : public ::testing::TestWithParam<Case> {
  protected:
    LineSpec spec() const { return {bytesPerPixel(2), bytesPerPixel(outBytes(GetParam().out))}; }
};

TEST_P(Yuv422, EveryPathFollowsItsRule)
{
    const Case& c = GetParam();
    expectEveryPathFollowsItsRule(spec(), *c.paths, c.scalarReference, c.vectorReference, outBytes(c.out));
}

// The fourth argument is ignored.
TEST_P(Yuv422, ExportTakesTheProcessorsPath)
{
    const Case& c = GetParam();
    LineSpec withUnusedBits = spec();
    withUnusedBits.unusedBits = 7;
    expectExportTakesTheProcessorsPath(c.exported, withUnusedBits, c.scalarReference, c.vectorReference);
}

INSTANTIATE_TEST_SUITE_P(Converters, Yuv422, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Worked values of the equations: clamping both ways, no range expansion, fractions discarded.
TEST(Yuv422Equations, TellingValuesOnEveryRgbPath)
{
    struct Value {
        uint8_t y, u, v, b, g, r;
    };
    const Value values[] = {{0, 128, 128, 0, 0, 0},        {255, 128, 128, 255, 255, 255},
                            {16, 128, 128, 16, 16, 16},    {128, 255, 128, 255, 84, 128},
                            {128, 128, 255, 128, 36, 255}, {128, 0, 0, 0, 255, 0},
                            {81, 90, 240, 13, 13, 238}};
    for (const Value& value : values) {
        const RefBgr ref = refYuvToBgr(value.y, value.u, value.v);
        EXPECT_EQ(value.b, ref.b);
        EXPECT_EQ(value.g, ref.g);
        EXPECT_EQ(value.r, ref.r);
    }
    const Paths* rgb8888[] = {&convert::kYuy2ToRgb8888, &convert::kUyvyToRgb8888, &convert::kYvyuToRgb8888};
    const Layout* layouts[] = {&kYuy2, &kUyvy, &kYvyu};
    for (int f = 0; f < 3; ++f) {
        std::vector<LineFn> paths = {rgb8888[f]->scalar};
        for (auto [isa, path] : runnableVariants(*rgb8888[f]))
            paths.push_back(path);
        for (LineFn path : paths) {
            for (const Value& value : values) {
                // A second pixel in the cell with the same chroma: black and white ends.
                uint8_t cell[4];
                cell[layouts[f]->y0] = value.y;
                cell[layouts[f]->y1] = 255 - value.y;
                cell[layouts[f]->u] = value.u;
                cell[layouts[f]->v] = value.v;
                uint8_t out[8];
                path(cell, out, 2, 0);
                const RefBgr second = refYuvToBgr(255 - value.y, value.u, value.v);
                EXPECT_EQ(value.b, out[0]) << int(value.y) << "," << int(value.u) << "," << int(value.v);
                EXPECT_EQ(value.g, out[1]);
                EXPECT_EQ(value.r, out[2]);
                EXPECT_EQ(second.b, out[4]);
                EXPECT_EQ(second.g, out[5]);
                EXPECT_EQ(second.r, out[6]);
            }
        }
    }
}

} // namespace
} // namespace vyr::test
