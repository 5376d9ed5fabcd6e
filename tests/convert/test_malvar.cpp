// Bayer Malvar demosaic: every path of the three converters against a reference that applies the
// method's 5x5 weight masks, with guard pages on exactly the columns each call may read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>

#include "bayer_harness.h"
#include "convert/malvar.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

using convert::MalvarFn;
using convert::MalvarPaths;

// ---- Reference ----------------------------------------------------------------------------------

const char kCellNames[4][5] = {"GBRG", "BGGR", "RGGB", "GRBG"};

// Weights over 16, rows from two above to two below, columns from two left to two right.
using Mask = int[5][5];
const Mask kGreenAtColour = {{0, 0, -2, 0, 0}, {0, 0, 4, 0, 0}, {-2, 4, 8, 4, -2}, {0, 0, 4, 0, 0}, {0, 0, -2, 0, 0}};
const Mask kOppositeColour = {{0, 0, -3, 0, 0}, {0, 4, 0, 4, 0}, {-3, 0, 12, 0, -3}, {0, 4, 0, 4, 0}, {0, 0, -3, 0, 0}};
const Mask kRowNeighbours = {{0, 0, 1, 0, 0}, {0, -2, 0, -2, 0}, {-2, 8, 10, 8, -2}, {0, -2, 0, -2, 0}, {0, 0, 1, 0, 0}};
const Mask kColumnNeighbours = {{0, 0, -2, 0, 0}, {0, -2, 8, -2, 0}, {1, 0, 10, 0, 1}, {0, -2, 8, -2, 0}, {0, 0, -2, 0, 0}};

struct Layout {
    size_t sampleBytes;
    size_t outputs;
    int maximum;
};

int floorOver16(int v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

uint32_t referenceMalvar(const uint8_t* const* src, const OutputLine& out, Layout layout, uint32_t width,
                         uint32_t phase, int32_t rowBorder, uint32_t border)
{
    int rows[5] = {0, 1, 2, 3, 4};
    if (border) {
        if (width < 4)
            return 2;
        if (rowBorder != 0 && rowBorder != -1 && rowBorder != -2)
            return 1;
        if (rowBorder <= -1)
            rows[0] = 4;
        if (rowBorder == -2)
            rows[1] = 3;
    }
    const int64_t last = int64_t(width) - 1;
    auto sample = [&](int row, int64_t col) {
        if (border)
            col = col < 0 ? -col : col > last ? 2 * last - col : col;
        const uint8_t* p = src[rows[row]] + col * int64_t(layout.sampleBytes);
        return layout.sampleBytes == 1 ? int(p[0]) : int(p[0] | p[1] << 8);
    };
    auto apply = [&](const Mask& mask, int64_t x) {
        int sum = 0;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                if (mask[r][c]) // sites of weight 0 may lie outside the readable columns
                    sum += mask[r][c] * sample(r, x + c - 2);
        return std::clamp(floorOver16(sum), 0, layout.maximum);
    };
    for (uint32_t x = 0; x < width; ++x) {
        const char* cell = kCellNames[phase ^ (x & 1)];
        int value['Z'] = {};
        value[int(cell[0])] = std::clamp(sample(2, x), 0, layout.maximum);
        if (cell[0] == 'G') {
            value[int(cell[1])] = apply(kRowNeighbours, x);
            value[int(cell[2])] = apply(kColumnNeighbours, x);
        } else {
            value['G'] = apply(kGreenAtColour, x);
            value[int(cell[3])] = apply(kOppositeColour, x);
        }
        if (layout.outputs == 1) {
            out.at[0][4 * x] = uint8_t(value['B']);
            out.at[0][4 * x + 1] = uint8_t(value['G']);
            out.at[0][4 * x + 2] = uint8_t(value['R']);
        } else {
            const int rgb[3] = {value['R'], value['G'], value['B']};
            for (int k = 0; k < 3; ++k)
                for (size_t i = 0; i < layout.sampleBytes; ++i)
                    out.at[k][layout.sampleBytes * x + i] = uint8_t(rgb[k] >> (8 * i));
        }
    }
    return 0;
}

// ---- The converters --------------------------------------------------------------------------------

struct Converter {
    const char* name;
    const MalvarPaths* paths;
    Layout layout;
    uint32_t (*exported)(const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t rowBorder,
                         uint32_t border);
};

void PrintTo(const Converter& c, std::ostream* os) { *os << c.name; }

const Converter kConverters[] = {
    {"Bayer8toRGB8888", &convert::kBayer8MalvarToRgb8888, {1, 1, 255},
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer8_MalvartoRGB8888(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, r, b);
     }},
    {"Bayer8toPlanar", &convert::kBayer8MalvarToPlanar, {1, 3, 255},
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer8_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w, p,
                                                       r, b);
     }},
    {"Bayer15toPlanar", &convert::kBayer15MalvarToPlanar, {2, 3, 32767},
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer15_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w,
                                                        p, r, b);
     }},
};

bool accepted(uint32_t width, int32_t rowBorder, uint32_t border)
{
    return !border || (width >= 4 && rowBorder <= 0 && rowBorder >= -2);
}

// Exactly the columns a call may read: none at all when it must refuse.
SensorShape shapeOf(const Converter& c, uint32_t width, int32_t rowBorder, uint32_t border)
{
    const int64_t w = width;
    std::vector<ColumnRange> reads(5);
    if (!border) {
        reads = {{0, w}, {-1, w + 2}, {-2, w + 4}, {-1, w + 2}, {0, w}};
    } else if (accepted(width, rowBorder, border)) {
        for (int i = 0; i < 5; ++i)
            reads[size_t(i)] = {0, (i == 0 && rowBorder < 0) || (i == 1 && rowBorder == -2) ? 0 : w};
    }
    return {c.layout.sampleBytes, reads, c.layout.outputs,
            width * (c.layout.outputs == 1 ? 4 : c.layout.sampleBytes)};
}

// Samples within the 15-bit range where the words are 15-bit.
SensorInput inputFor(const Converter& c, const SensorShape& shape, uint32_t seed)
{
    SensorInput input = randomInput(shape, seed);
    if (c.layout.sampleBytes == 2) {
        for (auto& line : input)
            for (size_t i = 1; i < line.size(); i += 2)
                line[i] &= 0x7F;
    }
    return input;
}

SensorCall callPath(MalvarFn fn, uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border)
{
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        return fn(lines, out, width, phase, rowBorder, border);
    };
}

SensorCall callReference(const Converter& c, uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border)
{
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        return referenceMalvar(lines, out, c.layout, width, phase, rowBorder, border);
    };
}

// Nonzero border values other than 1 must act as set.
constexpr uint32_t kSet = 0x00010000u;

class Malvar : public ::testing::TestWithParam<Converter> {};

TEST_P(Malvar, EveryPathFollowsTheRulesWithoutBorder)
{
    const Converter& c = GetParam();
    for (const auto& path : runnablePaths(*c.paths)) {
        for (uint32_t width : countsUpTo(70, {1000, 4099})) {
            for (uint32_t phase = 0; phase < 4; ++phase) {
                const int32_t rowBorder = width % 3 ? 7 : INT32_MIN; // ignored without border
                const SensorShape shape = shapeOf(c, width, rowBorder, 0);
                EXPECT_TRUE(matchesSensorReference(shape, inputFor(c, shape, width * 4 + phase),
                                                   callPath(path.fn, width, phase, rowBorder, 0),
                                                   callReference(c, width, phase, rowBorder, 0), width + phase))
                    << path.name << ", width " << width << ", phase " << phase;
            }
        }
    }
}

TEST_P(Malvar, EveryPathReflectsAndSubstitutesWithBorder)
{
    const Converter& c = GetParam();
    for (const auto& path : runnablePaths(*c.paths)) {
        for (uint32_t width : countsUpTo(70, {1000, 4099})) {
            for (int32_t rowBorder : {0, -1, -2}) {
                for (uint32_t phase = 0; phase < 4; ++phase) {
                    const SensorShape shape = shapeOf(c, width, rowBorder, kSet);
                    EXPECT_TRUE(matchesSensorReference(shape, inputFor(c, shape, width * 16 + phase),
                                                       callPath(path.fn, width, phase, rowBorder, kSet),
                                                       callReference(c, width, phase, rowBorder, kSet), width))
                        << path.name << ", width " << width << ", rowBorder " << rowBorder << ", phase " << phase;
                }
            }
        }
    }
}

// Narrow lines are refused first, then unknown row borders; no line is read and nothing written.
TEST_P(Malvar, RefusalsReadAndWriteNothing)
{
    const Converter& c = GetParam();
    std::vector<std::pair<std::string, MalvarFn>> calls;
    for (const auto& path : runnablePaths(*c.paths))
        calls.emplace_back(path.name, path.fn);
    for (uint32_t width : {0u, 1u, 3u, 4u, 9u, 100u}) {
        for (int32_t rowBorder : {0, -1, -2, 1, 2, -3, INT32_MAX, INT32_MIN}) {
            if (accepted(width, rowBorder, kSet))
                continue;
            const SensorShape shape = shapeOf(c, width, rowBorder, kSet);
            const uint32_t expected = width < 4 ? 2 : 1;
            for (const auto& [name, fn] : calls) {
                EXPECT_TRUE(matchesSensorReference(shape, inputFor(c, shape, width), callPath(fn, width, 1, rowBorder, kSet),
                                                   callReference(c, width, 1, rowBorder, kSet), width))
                    << name << ", width " << width << ", rowBorder " << rowBorder;
            }
            const SensorCall exported = [&](const uint8_t* const* lines, const OutputLine& out) {
                return c.exported(lines, out, width, 3, rowBorder, 1);
            };
            EXPECT_EQ(expected, exported(std::vector<const uint8_t*>(5).data(), OutputLine{}))
                << "export, width " << width << ", rowBorder " << rowBorder;
        }
    }
}

TEST_P(Malvar, ExportGivesTheSameBytesOnEitherPath)
{
    const Converter& c = GetParam();
    for (uint32_t width : {4u, 5u, 37u, 300u}) {
        for (uint32_t border : {0u, 1u}) {
            for (uint32_t phase = 0; phase < 4; ++phase) {
                const SensorShape shape = shapeOf(c, width, -1, border);
                const SensorCall exported = [&](const uint8_t* const* lines, const OutputLine& out) {
                    return c.exported(lines, out, width, phase, -1, border);
                };
                EXPECT_TRUE(matchesSensorReference(shape, inputFor(c, shape, width + phase), exported,
                                                   callReference(c, width, phase, -1, border), phase))
                    << "width " << width << ", border " << border << ", phase " << phase;
            }
        }
    }
}

// ---- Telling values ------------------------------------------------------------------------------------

// Five lines of `width` samples with two readable columns beyond each end, all `fill`.
struct Neighbourhood {
    Neighbourhood(const Converter& c, uint32_t width, uint32_t fill) : conv(c), width(width)
    {
        for (auto& line : lines) {
            for (uint32_t i = 0; i < width + 4; ++i) {
                for (size_t b = 0; b < c.layout.sampleBytes; ++b)
                    line.push_back(uint8_t(fill >> (8 * b)));
            }
        }
    }
    void set(int line, int64_t x, uint32_t v)
    {
        for (size_t b = 0; b < conv.layout.sampleBytes; ++b)
            lines[size_t(line)][(size_t(x + 2)) * conv.layout.sampleBytes + b] = uint8_t(v >> (8 * b));
    }
    // Red, green, blue of every pixel after fn; RGB8888 pixels start with their fourth byte 0x5A.
    std::vector<std::array<uint32_t, 4>> run(MalvarFn fn, uint32_t phase, int32_t rowBorder, uint32_t border) const
    {
        const size_t bytes = width * (conv.layout.outputs == 1 ? 4 : conv.layout.sampleBytes);
        std::vector<std::vector<uint8_t>> outputs(conv.layout.outputs, std::vector<uint8_t>(bytes, 0x5A));
        OutputLine out{};
        for (size_t k = 0; k < conv.layout.outputs; ++k)
            out.at[k] = outputs[k].data();
        const uint8_t* src[5];
        for (int i = 0; i < 5; ++i)
            src[i] = lines[size_t(i)].data() + 2 * conv.layout.sampleBytes;
        EXPECT_EQ(0u, fn(src, out, width, phase, rowBorder, border));
        std::vector<std::array<uint32_t, 4>> pixels(width);
        for (uint32_t x = 0; x < width; ++x) {
            if (conv.layout.outputs == 1) {
                const uint8_t* p = &outputs[0][4 * x];
                pixels[x] = {p[2], p[1], p[0], p[3]};
            } else {
                for (size_t k = 0; k < 3; ++k) {
                    const uint8_t* p = &outputs[k][conv.layout.sampleBytes * x];
                    pixels[x][k] = conv.layout.sampleBytes == 1 ? p[0] : uint32_t(p[0] | p[1] << 8);
                }
                pixels[x][3] = 0x5A;
            }
        }
        return pixels;
    }
    const Converter& conv;
    uint32_t width;
    std::vector<uint8_t> lines[5];
};

TEST_P(Malvar, UniformFieldsStayUniformWithAndWithoutBorder)
{
    const Converter& c = GetParam();
    for (uint32_t k : {0u, 1u, 100u, 255u, uint32_t(c.layout.maximum)}) {
        const Neighbourhood field(c, 21, k);
        for (const auto& path : runnablePaths(*c.paths)) {
            for (uint32_t phase = 0; phase < 4; ++phase) {
                for (auto [rowBorder, border] : {std::pair{0, 0u}, {0, 1u}, {-1, 1u}, {-2, 1u}}) {
                    for (const auto& pixel : field.run(path.fn, phase, rowBorder, border))
                        EXPECT_EQ((std::array<uint32_t, 4>{k, k, k, 0x5A}), pixel)
                            << path.name << ", field " << k << ", phase " << phase << ", border " << border;
                }
            }
        }
    }
}

// One pixel (column 4) differs from a field of 100s; the samples scale with the sample depth.
TEST_P(Malvar, WorkedEstimatesAndTheirClamps)
{
    const Converter& c = GetParam();
    const uint32_t scale = c.layout.sampleBytes == 2 ? 128 : 1;
    const uint32_t top = uint32_t(c.layout.maximum);
    for (const auto& path : runnablePaths(*c.paths)) {
        Neighbourhood centre(c, 13, 100 * scale);
        centre.set(2, 4, 200 * scale);
        // Red site: green (1600 + 1600 - 800) / 16, blue (2400 + 1600 - 1200) / 16.
        EXPECT_EQ((std::array<uint32_t, 4>{200 * scale, 150 * scale, 175 * scale, 0x5A}), centre.run(path.fn, 2, 0, 0)[4])
            << path.name;
        // Green site: both others (2000 + 1600 - 400 - 800 + 200) / 16 = 162.5, rounded down.
        const uint32_t greenSite = scale == 1 ? 162 : 20800;
        EXPECT_EQ((std::array<uint32_t, 4>{greenSite, 200 * scale, greenSite, 0x5A}), centre.run(path.fn, 0, 0, 0)[4])
            << path.name;

        // Green site, blue to its left and right: 6630 / 16 = 414 for bytes, clamped to the maximum.
        Neighbourhood bright(c, 13, 0);
        for (int64_t x : {3, 4, 5})
            bright.set(2, x, top);
        EXPECT_EQ(top, bright.run(path.fn, 0, 0, 0)[4][2]) << path.name;
        // c = 0 and the samples two columns away at the maximum: -1020 / 16 = -64 for bytes, clamped to 0.
        Neighbourhood dark(c, 13, 0);
        for (int64_t x : {2, 6})
            dark.set(2, x, top);
        EXPECT_EQ(0u, dark.run(path.fn, 0, 0, 0)[4][2]) << path.name;
        // Red, the upper/lower estimate, gets only the samples two columns away: 510 / 16 for bytes.
        EXPECT_EQ(scale == 1 ? 31u : 4095u, dark.run(path.fn, 0, 0, 0)[4][0]) << path.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Malvar, ::testing::ValuesIn(kConverters),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vyr::test
