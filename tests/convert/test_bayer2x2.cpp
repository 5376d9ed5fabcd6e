// Bayer 2x2 demosaic: every path and export against a reference built from the cell names.
#include <gtest/gtest.h>

#include <algorithm>

#include "bayer_harness.h"
#include "convert/bayer2x2.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

struct Rgb {
    uint32_t r = 0, g = 0, b = 0;
};

// The cell whose first column is x; copyGreen: the first line's green, else both greens' mean rounded up.
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
            default: greens += v; firstLineGreen = line == 0 ? v : firstLineGreen;
            }
        }
    }
    c.g = copyGreen ? firstLineGreen : (greens + 1) / 2;
    return c;
}

// vectorPixels: how many leading pixels the vector part made; its 15-bit results stop at 32767.
uint32_t reference2x2(const uint8_t* const* lines, const OutputLine& out, SensorLayout l, uint32_t width,
                      uint32_t phase, bool copyGreen, bool rightBorder, uint32_t vectorPixels)
{
    const uint32_t n = rightBorder ? width - 1 : width;
    for (uint32_t x = 0; x < n; ++x) {
        Rgb c = cell(lines, x, phase ^ (x & 1), l.sampleBytes, copyGreen);
        if (x < vectorPixels && l.sampleBytes == 2)
            c = {std::min(c.r, 32767u), std::min(c.g, 32767u), std::min(c.b, 32767u)};
        putRgb(out, l, x, c.r, c.g, c.b, true);
    }
    if (rightBorder) { // red and blue of the cell to the left; green is the last column's own
        const uint32_t x = width - 1, leftPhase = phase ^ (x & 1) ^ 1;
        Rgb c = cell(lines, x - 1, leftPhase, l.sampleBytes, false);
        c.g = sampleAt(lines[kCellNames[leftPhase][1] == 'G' ? 0 : 1], x, l.sampleBytes);
        putRgb(out, l, x, c.r, c.g, c.b, true);
    }
    return 0;
}

using Call2x2 = std::function<void(const uint8_t* const* lines, const OutputLine& out, uint32_t width,
                                   uint32_t phase, uint32_t copy, uint32_t border)>;

struct Converter {
    const char* name;
    const convert::Bayer2x2Paths* paths;
    SensorLayout layout;
    uint32_t block;
    Call2x2 exported;
};

void PrintTo(const Converter& c, std::ostream* os) { *os << c.name; }

const Converter kConverters[] = {
    {"Bayer8toRGB8888",
     &convert::kBayer8_2x2ToRgb8888,
     {1, 1},
     4,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         VyrUtilConvertBayer8_2x2toRGB8888(l[0], l[1], o.at[0], w, p, c, b);
     }},
    {"Bayer8toPlanar",
     &convert::kBayer8_2x2ToPlanar,
     {1, 3},
     16,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         VyrUtilConvertBayer8_2x2toPlanarRGB(l[0], l[1], o.at[0], o.at[1], o.at[2], w, p, c, b);
     }},
    {"Bayer15toPlanar",
     &convert::kBayer15_2x2ToPlanar,
     {2, 3},
     8,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, uint32_t c, uint32_t b) {
         VyrUtilConvertBayer15_2x2toPlanarRGB(l[0], l[1], o.at[0], o.at[1], o.at[2], w, p, c, b);
     }},
};

struct NamedCall {
    std::string name;
    Call2x2 call;
    uint32_t block; // of the vector part; 0 when it is not taken
};

// Every path, and at a sample of widths (a processor check a call) the export: vector part with MMX.
std::vector<NamedCall> callsOf(const Converter& c, uint32_t width)
{
    std::vector<NamedCall> calls;
    for (const auto& path : runnablePaths(*c.paths)) {
        calls.push_back({path.name,
                         [fn = path.fn](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p,
                                        uint32_t copy, uint32_t b) { fn(l[0], l[1], o, w, p, copy, b); },
                         path.vectorRule ? c.block : 0});
    }
    if (width % 16 < 2 || width > 70)
        calls.push_back({"export", c.exported, VyrUtilIsMMX() ? c.block : 0});
    return calls;
}

SensorCall bound(const Call2x2& call, uint32_t width, uint32_t phase, uint32_t copy, uint32_t border)
{
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        call(lines, out, width, phase, copy, border);
        return 0u;
    };
}

// Nonzero flags other than 1 must act as set.
constexpr uint32_t kSet = 0x80000100u;

class Bayer2x2 : public ::testing::TestWithParam<Converter> {};

// 16-bit samples cover the whole word range, so the vector part's stop at 32767 shows.
TEST_P(Bayer2x2, EveryPathFollowsTheRulesAtEveryWidthPhaseAndFlag)
{
    const Converter& c = GetParam();
    for (uint32_t width : countsUpTo(70, {1000, 4099})) {
        const auto calls = callsOf(c, width);
        for (uint32_t i = 0; i < 16; ++i) { // every phase, copy flag and border flag
            const uint32_t phase = i / 4, copy = i & 1 ? kSet : 0, border = i & 2 ? kSet : 0;
            if (border && width < 2) // the border needs two columns
                continue;
            const ColumnRange reads{0, int64_t(width) + (border ? 0 : 1)};
            const SensorShape shape{c.layout, {reads, reads}, width};
            const SensorInput input = randomInput(shape, width * 16 + phase * 4 + (copy ? 2 : 0) + !!border);
            for (const NamedCall& call : calls) {
                const uint32_t n = width - !!border, block = std::max(call.block, 1u);
                const uint32_t vectorPixels = copy ? 0 : n / block * call.block;
                const SensorCall reference = [&](const uint8_t* const* l, const OutputLine& o) {
                    return reference2x2(l, o, c.layout, width, phase, copy, border, vectorPixels);
                };
                EXPECT_TRUE(matchesSensorReference(shape, input, bound(call.call, width, phase, copy, border),
                                                   reference, width))
                    << call.name << ", width " << width << ", phase " << phase << ", copy " << !!copy
                    << ", border " << !!border;
            }
        }
    }
}

// The worked example (phase 2, RGGB) in each mode; pixel 0's greens 20 and 51 have the mean 36, rounded up.
TEST_P(Bayer2x2, TellingValuesOnEveryPath)
{
    const Converter& c = GetParam();
    const uint32_t z = c.layout.outputs == 1 ? 0 : 0x5A; // the 2x2 converters zero the fourth byte
    const struct {
        uint32_t copy, border;
        std::vector<Pixel> pixels;
    } wants[] = {
        {0, 0, {{10, 36, 60, z}, {30, 45, 60, z}, {30, 55, 80, z}}},
        {1, 0, {{10, 20, 60, z}, {30, 20, 60, z}, {30, 40, 80, z}}},
        {0, 1, {{10, 36, 60, z}, {30, 45, 60, z}, {30, 70, 60, z}}},
    };
    for (const NamedCall& call : callsOf(c, 0)) {
        for (const auto& want : wants) {
            EXPECT_EQ(want.pixels, runOnSamples(c.layout, bound(call.call, 3, 2, want.copy, want.border),
                                                {{10, 20, 30, 40}, {51, 60, 70, 80}}, 0, 3))
                << call.name << ", copy " << want.copy << ", border " << want.border;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Bayer2x2, ::testing::ValuesIn(kConverters),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vyr::test
