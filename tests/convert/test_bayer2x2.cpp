// Bayer 2x2 demosaic: every path of the three converters against a reference built from the
// pattern names, with guard pages on exactly the columns each call may read and write.
#include <gtest/gtest.h>

#include <algorithm>

#include "bayer_harness.h"
#include "convert/bayer2x2.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

using convert::Bayer2x2Fn;
using convert::Bayer2x2Paths;

// ---- Reference ----------------------------------------------------------------------------------

// Colours of the cell at a column whose phase is the index: first line's two sites, then the second's.
const char kCellNames[4][5] = {"GBRG", "BGGR", "RGGB", "GRBG"};

uint32_t sampleAt(const uint8_t* line, int64_t x, size_t bytes)
{
    return bytes == 1 ? line[x] : uint32_t(line[2 * x] | line[2 * x + 1] << 8);
}

struct Rgb {
    uint32_t r = 0, g = 0, b = 0;
};

void putRgb(const OutputLine& out, size_t outputs, size_t bytes, size_t x, Rgb c)
{
    if (outputs == 1) {
        const uint8_t pixel[4] = {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 0};
        std::copy(pixel, pixel + 4, out.at[0] + 4 * x);
        return;
    }
    const uint32_t values[3] = {c.r, c.g, c.b};
    for (int k = 0; k < 3; ++k) {
        for (size_t i = 0; i < bytes; ++i)
            out.at[k][bytes * x + i] = uint8_t(values[k] >> (8 * i));
    }
}

struct Layout {
    size_t sampleBytes;
    size_t outputs;
};

// The cell whose first column is x. copyGreen: the green of the first line; otherwise the rounded
// mean of both greens.
Rgb cell(const uint8_t* const* lines, int64_t x, uint32_t phase, size_t bytes, bool copyGreen)
{
    Rgb c;
    uint32_t greens = 0, firstLineGreen = 0;
    for (int line = 0; line < 2; ++line) {
        for (int col = 0; col < 2; ++col) {
            const uint32_t v = sampleAt(lines[line], x + col, bytes);
            switch (kCellNames[phase][2 * line + col]) {
            case 'R': c.r = v; break;
            case 'B': c.b = v; break;
            default:
                greens += v;
                if (line == 0)
                    firstLineGreen = v;
            }
        }
    }
    c.g = copyGreen ? firstLineGreen : (greens + 1) / 2;
    return c;
}

// vectorPixels: how many leading pixels went through the vector part, whose 15-bit results stop at 32767.
uint32_t reference2x2(const uint8_t* const* lines, const OutputLine& out, Layout layout, uint32_t width,
                      uint32_t phase, bool copyGreen, bool rightBorder, uint32_t vectorPixels)
{
    const uint32_t n = rightBorder ? width - 1 : width;
    for (uint32_t x = 0; x < n; ++x) {
        Rgb c = cell(lines, x, phase ^ (x & 1), layout.sampleBytes, copyGreen);
        if (x < vectorPixels && layout.sampleBytes == 2)
            c = {std::min(c.r, 32767u), std::min(c.g, 32767u), std::min(c.b, 32767u)};
        putRgb(out, layout.outputs, layout.sampleBytes, x, c);
    }
    if (rightBorder) {
        // The cell to the left gives red and blue; green is the last column's own.
        const uint32_t x = width - 1, leftPhase = phase ^ (x & 1) ^ 1;
        Rgb c = cell(lines, x - 1, leftPhase, layout.sampleBytes, false);
        const int line = kCellNames[leftPhase][1] == 'G' ? 0 : 1;
        c.g = sampleAt(lines[line], x, layout.sampleBytes);
        putRgb(out, layout.outputs, layout.sampleBytes, x, c);
    }
    return 0;
}

// ---- The converters --------------------------------------------------------------------------------

struct Converter {
    const char* name;
    const Bayer2x2Paths* paths;
    Layout layout;
    uint32_t block;
    uint32_t (*exported)(const uint8_t* const* lines, const OutputLine& out, uint32_t width, uint32_t phase,
                         uint32_t noInterpolation, uint32_t rightBorder);
};

void PrintTo(const Converter& c, std::ostream* os) { *os << c.name; }

const Converter kConverters[] = {
    {"Bayer8toRGB8888", &convert::kBayer8_2x2ToRgb8888, {1, 1}, 4,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         return VyrUtilConvertBayer8_2x2toRGB8888(l[0], l[1], o.at[0], w, p, c, b);
     }},
    {"Bayer8toPlanar", &convert::kBayer8_2x2ToPlanar, {1, 3}, 16,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         return VyrUtilConvertBayer8_2x2toPlanarRGB(l[0], l[1], o.at[0], o.at[1], o.at[2], w, p, c, b);
     }},
    {"Bayer15toPlanar", &convert::kBayer15_2x2ToPlanar, {2, 3}, 8,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         return VyrUtilConvertBayer15_2x2toPlanarRGB(l[0], l[1], o.at[0], o.at[1], o.at[2], w, p, c, b);
     }},
};

SensorShape shapeOf(const Converter& c, uint32_t width, bool rightBorder)
{
    const ColumnRange reads{0, int64_t(width) + (rightBorder ? 0 : 1)};
    return {c.layout.sampleBytes, {reads, reads}, c.layout.outputs,
            width * (c.layout.outputs == 1 ? 4 : c.layout.sampleBytes)};
}

SensorCall callPath(Bayer2x2Fn fn, uint32_t width, uint32_t phase, uint32_t copy, uint32_t border)
{
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        fn(lines[0], lines[1], out, width, phase, copy, border);
        return 0u;
    };
}

SensorCall callReference(const Converter& c, uint32_t width, uint32_t phase, uint32_t copy, uint32_t border,
                         uint32_t block)
{
    const uint32_t n = border ? width - 1 : width;
    const uint32_t vectorPixels = copy ? 0 : n / std::max(block, 1u) * block;
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        return reference2x2(lines, out, c.layout, width, phase, copy != 0, border != 0, vectorPixels);
    };
}

// Nonzero flags other than 1 must act as set.
constexpr uint32_t kSet = 0x80000100u;

// Flags and phases for one width; the border needs two columns.
template <class F>
void forEachCall(uint32_t width, F&& f)
{
    for (uint32_t phase = 0; phase < 4; ++phase)
        for (uint32_t copy : {0u, kSet})
            for (uint32_t border : {0u, kSet})
                if (!border || width >= 2)
                    f(phase, copy, border);
}

class Bayer2x2 : public ::testing::TestWithParam<Converter> {};

// 16-bit samples cover the whole word range, so the vector part's stop at 32767 shows.
TEST_P(Bayer2x2, EveryPathFollowsTheRulesAtEveryWidthPhaseAndFlag)
{
    const Converter& c = GetParam();
    const auto paths = runnablePaths(*c.paths);
    for (uint32_t width : countsUpTo(70, {1000, 4099})) {
        if (width == 0)
            continue;
        forEachCall(width, [&](uint32_t phase, uint32_t copy, uint32_t border) {
            const SensorShape shape = shapeOf(c, width, border);
            const SensorInput input = randomInput(shape, width * 16 + phase * 4 + (copy ? 2 : 0) + (border ? 1 : 0));
            for (const auto& path : paths) {
                EXPECT_TRUE(matchesSensorReference(shape, input, callPath(path.fn, width, phase, copy, border),
                                                   callReference(c, width, phase, copy, border,
                                                                 path.vectorRule ? c.block : 0),
                                                   width))
                    << path.name << " path, width " << width << ", phase " << phase << ", copy " << !!copy
                    << ", border " << !!border;
            }
        });
    }
}

TEST_P(Bayer2x2, ExportTakesTheVectorPartWhereTheProcessorHasMmx)
{
    const Converter& c = GetParam();
    const uint32_t block = VyrUtilIsMMX() ? c.block : 0;
    for (uint32_t width : {1u, 2u, 33u, 64u, 250u}) {
        forEachCall(width, [&](uint32_t phase, uint32_t copy, uint32_t border) {
            const SensorShape shape = shapeOf(c, width, border);
            const SensorCall exported = [&](const uint8_t* const* lines, const OutputLine& out) {
                return c.exported(lines, out, width, phase, copy, border);
            };
            EXPECT_TRUE(matchesSensorReference(shape, randomInput(shape, width + phase), exported,
                                               callReference(c, width, phase, copy, border, block), phase))
                << "width " << width << ", phase " << phase << ", copy " << !!copy << ", border " << !!border;
        });
    }
}

std::vector<uint8_t> sampleBytes(const std::vector<uint32_t>& samples, size_t bytes)
{
    std::vector<uint8_t> out;
    for (uint32_t v : samples) {
        for (size_t i = 0; i < bytes; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    }
    return out;
}

// Runs fn on two lines and returns its outputs, which start as bytes 0xEE.
std::vector<std::vector<uint8_t>> run(const Converter& c, Bayer2x2Fn fn, const std::vector<uint32_t>& first,
                                      const std::vector<uint32_t>& second, uint32_t width, uint32_t phase,
                                      uint32_t copy, uint32_t border)
{
    const std::vector<uint8_t> l0 = sampleBytes(first, c.layout.sampleBytes);
    const std::vector<uint8_t> l1 = sampleBytes(second, c.layout.sampleBytes);
    std::vector<std::vector<uint8_t>> outputs;
    OutputLine out{};
    for (size_t k = 0; k < c.layout.outputs; ++k) {
        outputs.emplace_back(width * (c.layout.outputs == 1 ? 4 : c.layout.sampleBytes), 0xEE);
        out.at[k] = outputs.back().data();
    }
    fn(l0.data(), l1.data(), out, width, phase, copy, border);
    return outputs;
}

// What every pixel of a line must hold.
std::vector<std::vector<uint8_t>> expectedLine(const Converter& c, const std::vector<Rgb>& pixels)
{
    std::vector<std::vector<uint8_t>> outputs;
    OutputLine out{};
    for (size_t k = 0; k < c.layout.outputs; ++k) {
        outputs.emplace_back(pixels.size() * (c.layout.outputs == 1 ? 4 : c.layout.sampleBytes), 0xEE);
        out.at[k] = outputs.back().data();
    }
    for (size_t x = 0; x < pixels.size(); ++x)
        putRgb(out, c.layout.outputs, c.layout.sampleBytes, x, pixels[x]);
    return outputs;
}

// The worked example: phase 2 (RGGB), first line 10 20 30 40, second 50 60 70 80, width 3.
TEST_P(Bayer2x2, WorkedExampleOnEveryPath)
{
    const Converter& c = GetParam();
    struct Want {
        uint32_t copy, border;
        std::vector<Rgb> pixels;
    };
    const Want wants[] = {
        {0, 0, {{10, 35, 60}, {30, 45, 60}, {30, 55, 80}}},
        {1, 0, {{10, 20, 60}, {30, 20, 60}, {30, 40, 80}}},
        {0, 1, {{10, 35, 60}, {30, 45, 60}, {30, 70, 60}}},
    };
    for (const Want& want : wants) {
        for (const auto& path : runnablePaths(*c.paths)) {
            EXPECT_EQ(expectedLine(c, want.pixels),
                      run(c, path.fn, {10, 20, 30, 40}, {50, 60, 70, 80}, 3, 2, want.copy, want.border))
                << path.name << ", copy " << want.copy << ", border " << want.border;
        }
    }
}

// Lines whose greens are g0 on the first line and g1 on the second, red and blue constant: every
// pixel is the same, vector part and scalar rest alike (width 64 is all vector, 67 ends in scalar).
TEST_P(Bayer2x2, FieldsRoundHalfUpAndNeverOverflow)
{
    const Converter& c = GetParam();
    struct Field {
        uint32_t g0, g1, mean; // mean rounded half up
    };
    std::vector<Field> fields = {{1, 2, 2}, {2, 1, 2}, {254, 255, 255}, {255, 255, 255}, {0, 0, 0}, {77, 77, 77}};
    if (c.layout.sampleBytes == 2)
        fields.insert(fields.end(), {{32766, 32767, 32767}, {32767, 32767, 32767}, {1000, 3001, 2001}});
    const uint32_t red = 200, blue = 3;
    for (const Field& f : fields) {
        for (uint32_t width : {64u, 67u}) {
            for (uint32_t phase = 0; phase < 4; ++phase) {
                std::vector<uint32_t> lines[2];
                for (int l = 0; l < 2; ++l) {
                    for (uint32_t x = 0; x <= width; ++x) {
                        const char colour = kCellNames[phase ^ (x & 1)][2 * l];
                        lines[l].push_back(colour == 'R' ? red : colour == 'B' ? blue : l == 0 ? f.g0 : f.g1);
                    }
                }
                for (const auto& path : runnablePaths(*c.paths)) {
                    const auto averaged = run(c, path.fn, lines[0], lines[1], width, phase, 0, 0);
                    EXPECT_EQ(expectedLine(c, std::vector<Rgb>(width, {red, f.mean, blue})), averaged)
                        << path.name << ", greens " << f.g0 << " and " << f.g1 << ", width " << width
                        << ", phase " << phase;
                    const auto copied = run(c, path.fn, lines[0], lines[1], width, phase, 1, 0);
                    EXPECT_EQ(expectedLine(c, std::vector<Rgb>(width, {red, f.g0, blue})), copied)
                        << path.name << ", copying greens " << f.g0 << " and " << f.g1;
                    if (f.g0 == f.g1) {
                        const auto bordered = run(c, path.fn, lines[0], lines[1], width, phase, 0, 1);
                        EXPECT_EQ(expectedLine(c, std::vector<Rgb>(width, {red, f.g0, blue})), bordered)
                            << path.name << ", uniform greens " << f.g0 << " with the border pixel";
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Bayer2x2, ::testing::ValuesIn(kConverters),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vyr::test
