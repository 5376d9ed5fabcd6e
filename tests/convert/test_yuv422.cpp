// Packed 4:2:2 (UYVY, YUY2, YVYU) to MONO8, RGB8888, RGB888 and YUV, on every path.
#include <gtest/gtest.h>

#include <iterator>

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
    LineSpec shape() const { return {bytesPerPixel(2), bytesPerPixel(outBytes(GetParam().out))}; }
};

TEST_P(Yuv422, EveryPathFollowsItsRule)
{
    const Case& c = GetParam();
    expectEveryPathFollowsItsRule(shape(), *c.paths, c.scalarReference, c.vectorReference, outBytes(c.out));
}

// The fourth argument is ignored.
TEST_P(Yuv422, ExportTakesTheProcessorsPath)
{
    const Case& c = GetParam();
    LineSpec withUnusedBits = shape();
    withUnusedBits.unusedBits = 7;
    expectExportTakesTheProcessorsPath(c.exported, withUnusedBits, c.scalarReference, c.vectorReference);
}

INSTANTIATE_TEST_SUITE_P(Converters, Yuv422, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Worked values of the equations: clamping both ways, no range expansion, fractions discarded.
// Each goes through a YUY2 cell whose second pixel (luma 255 - Y) shares its chroma; the
// exhaustive sweep then holds every path to the same reference.
TEST(Yuv422Equations, TellingValuesOnBothPaths)
{
    struct Value {
        uint8_t y, u, v, b, g, r;
    };
    const Value values[] = {{0, 128, 128, 0, 0, 0},        {255, 128, 128, 255, 255, 255},
                            {16, 128, 128, 16, 16, 16},    {128, 255, 128, 255, 84, 128},
                            {128, 128, 255, 128, 36, 255}, {128, 0, 0, 0, 255, 0},
                            {81, 90, 240, 13, 13, 238}};
    std::vector<uint8_t> cells;
    for (const Value& v : values)
        cells.insert(cells.end(), {v.y, v.u, uint8_t(255 - v.y), v.v});
    for (LineFn path : {convert::kYuy2ToRgb8888.scalar, convert::kYuy2ToRgb8888.vector()}) {
        std::vector<uint8_t> out(2 * cells.size());
        path(cells.data(), out.data(), uint32_t(cells.size() / 2), 0);
        for (size_t i = 0; i < std::size(values); ++i) {
            const Value& v = values[i];
            const RefBgr second = refYuvToBgr(255 - v.y, v.u, v.v);
            const uint8_t want[8] = {v.b,      v.g,      v.r,      out[8 * i + 3],
                                     second.b, second.g, second.r, out[8 * i + 7]};
            EXPECT_TRUE(sameBytes(want, &out[8 * i], 8)) << int(v.y) << " " << int(v.u) << " " << int(v.v);
            const RefBgr ref = refYuvToBgr(v.y, v.u, v.v);
            EXPECT_TRUE(ref.b == v.b && ref.g == v.g && ref.r == v.r) << "reference, " << int(v.y);
        }
    }
}

} // namespace
} // namespace vyr::test
