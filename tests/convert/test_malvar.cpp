// Bayer Malvar demosaic: every path and export against a reference applying the 5x5 weight masks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "bayer_harness.h"
#include "convert/malvar.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

// Weights over 16, rows from two above to two below, columns from two left to two right.
using Mask = int[5][5];
const Mask kGreenAtColour = {
    {0, 0, -2, 0, 0}, {0, 0, 4, 0, 0}, {-2, 4, 8, 4, -2}, {0, 0, 4, 0, 0}, {0, 0, -2, 0, 0}};
const Mask kOppositeColour = {
    {0, 0, -3, 0, 0}, {0, 4, 0, 4, 0}, {-3, 0, 12, 0, -3}, {0, 4, 0, 4, 0}, {0, 0, -3, 0, 0}};
const Mask kRowNeighbours = {
    {0, 0, 1, 0, 0}, {0, -2, 0, -2, 0}, {-2, 8, 10, 8, -2}, {0, -2, 0, -2, 0}, {0, 0, 1, 0, 0}};
const Mask kColumnNeighbours = {
    {0, 0, -2, 0, 0}, {0, -2, 8, -2, 0}, {1, 0, 10, 0, 1}, {0, -2, 8, -2, 0}, {0, 0, -2, 0, 0}};

int floorOver16(int v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

uint32_t referenceMalvar(const uint8_t* const* src, const OutputLine& out, SensorLayout l, int maximum,
                         uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border)
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
        return int(sampleAt(src[rows[row]], col, l.sampleBytes));
    };
    auto apply = [&](const Mask& mask, int64_t x) {
        int sum = 0;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                if (mask[r][c]) // sites of weight 0 may lie outside the readable columns
                    sum += mask[r][c] * sample(r, x + c - 2);
        return std::clamp(floorOver16(sum), 0, maximum);
    };
    for (uint32_t x = 0; x < width; ++x) {
        const char* cell = kCellNames[phase ^ (x & 1)];
        int value['Z'] = {};
        value[int(cell[0])] = std::clamp(sample(2, x), 0, maximum);
        if (cell[0] == 'G') {
            value[int(cell[1])] = apply(kRowNeighbours, x);
            value[int(cell[2])] = apply(kColumnNeighbours, x);
        } else {
            value[int('G')] = apply(kGreenAtColour, x);
            value[int(cell[3])] = apply(kOppositeColour, x);
        }
        putRgb(out, l, x, value[int('R')], value[int('G')], value[int('B')], false); // the fourth byte stays
    }
    return 0;
}

using CallMalvar = std::function<uint32_t(const uint8_t* const* l, const OutputLine& o, uint32_t width,
                                          uint32_t phase, int32_t rowBorder, uint32_t border)>;

struct Converter {
    const char* name;
    const convert::MalvarPaths* paths;
    SensorLayout layout;
    int maximum;
    CallMalvar exported;
};

void PrintTo(const Converter& c, std::ostream* os) { *os << c.name; }

const Converter kConverters[] = {
    {"Bayer8toRGB8888",
     &convert::kBayer8MalvarToRgb8888,
     {1, 1},
     255,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer8_MalvartoRGB8888(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, r, b);
     }},
    {"Bayer8toPlanar",
     &convert::kBayer8MalvarToPlanar,
     {1, 3},
     255,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer8_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1],
                                                       o.at[2], w, p, r, b);
     }},
    {"Bayer15toPlanar",
     &convert::kBayer15MalvarToPlanar,
     {2, 3},
     32767,
     [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r, uint32_t b) {
         return VyrUtilConvertBayer15_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1],
                                                        o.at[2], w, p, r, b);
     }},
};

// Every path, then (at a sample of widths: it costs a processor check a call) the export.
std::vector<std::pair<std::string, CallMalvar>> callsOf(const Converter& c, uint32_t width)
{
    std::vector<std::pair<std::string, CallMalvar>> calls;
    for (const auto& path : runnablePaths(*c.paths))
        calls.emplace_back(path.name, path.fn);
    if (width % 16 < 2 || width > 70)
        calls.emplace_back("export", c.exported);
    return calls;
}

bool accepted(uint32_t width, int32_t rowBorder, uint32_t border)
{
    return !border || (width >= 4 && rowBorder <= 0 && rowBorder >= -2);
}

// Without border columns -2..width+1 of the centre line; no line the row border names, none on refusal.
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
    return {c.layout, reads, width};
}

// Random lines; the 15-bit converter gets samples within 15 bits.
SensorInput inputFor(const Converter& c, const SensorShape& shape, uint32_t seed)
{
    SensorInput input = randomInput(shape, seed);
    for (auto& line : input)
        for (size_t i = 1; c.layout.sampleBytes == 2 && i < line.size(); i += 2)
            line[i] &= 0x7F;
    return input;
}

// Checks every path and the export on one call's arguments.
void checkCall(const Converter& c, uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border)
{
    const SensorShape shape = shapeOf(c, width, rowBorder, border);
    const SensorInput input = inputFor(c, shape, width * 16 + phase * 4 + uint32_t(rowBorder & 3));
    const SensorCall reference = [&](const uint8_t* const* l, const OutputLine& o) {
        return referenceMalvar(l, o, c.layout, c.maximum, width, phase, rowBorder, border);
    };
    for (const auto& [name, call] : callsOf(c, width)) {
        const SensorCall path = [&, call = call](const uint8_t* const* l, const OutputLine& o) {
            return call(l, o, width, phase, rowBorder, border);
        };
        EXPECT_TRUE(matchesSensorReference(shape, input, path, reference, width + phase))
            << name << ", width " << width << ", phase " << phase << ", rowBorder " << rowBorder
            << ", border " << border;
    }
}

// Nonzero border values other than 1 must act as set.
constexpr uint32_t kSet = 0x00010000u;

class Malvar : public ::testing::TestWithParam<Converter> {};

// Without border the row border is ignored; with it, columns reflect and named lines are replaced.
TEST_P(Malvar, EveryPathFollowsTheRulesWithAndWithoutBorder)
{
    for (uint32_t width : countsUpTo(70, {1000, 4099})) {
        for (uint32_t phase = 0; phase < 4; ++phase) {
            checkCall(GetParam(), width, phase, width % 3 ? 7 : INT32_MIN, 0);
            for (int32_t rowBorder : {0, -1, -2})
                checkCall(GetParam(), width, phase, rowBorder, kSet);
        }
    }
}

// Narrow lines are refused first (2), then unknown row borders (1); nothing read or written.
TEST_P(Malvar, RefusalsReadAndWriteNothing)
{
    for (uint32_t width : {0u, 1u, 3u, 4u, 9u, 100u}) {
        for (int32_t rowBorder : {0, -1, -2, 1, 2, -3, INT32_MAX, INT32_MIN}) {
            if (!accepted(width, rowBorder, kSet))
                checkCall(GetParam(), width, width % 4, rowBorder, kSet);
        }
    }
}

// Uniform fields stay uniform in every border mode and phase (the fourth byte kept); weights and clamps.
TEST_P(Malvar, TellingValuesOnEveryPath)
{
    const Converter& c = GetParam();
    const uint32_t top = uint32_t(c.maximum), s = c.layout.sampleBytes == 2 ? 128 : 1; // s: sample scale
    const auto field = [](uint32_t width, uint32_t fill) {
        return std::vector<std::vector<uint32_t>>(5, std::vector<uint32_t>(width + 4, fill));
    };
    for (const auto& [name, call] : callsOf(c, 0)) {
        const auto run = [&, call = call](const std::vector<std::vector<uint32_t>>& lines, uint32_t phase,
                                          int32_t rowBorder = 0, uint32_t border = 0) {
            const uint32_t width = uint32_t(lines[0].size() - 4);
            const SensorCall bound = [&](const uint8_t* const* l, const OutputLine& o) {
                return call(l, o, width, phase, rowBorder, border);
            };
            return runOnSamples(c.layout, bound, lines, 2, width);
        };
        for (uint32_t phase = 0; phase < 4; ++phase) {
            for (auto [rowBorder, border] : {std::pair{0, 0u}, {0, 1u}, {-1, 1u}, {-2, 1u}}) {
                const std::vector<Pixel> want(21, {100 * s, 100 * s, 100 * s, 0x5A});
                EXPECT_EQ(want, run(field(21, 100 * s), phase, rowBorder, border))
                    << name << ", phase " << phase << ", row border " << rowBorder << ", border " << border;
            }
        }
        // Column 4 at 200 in a field of 100: at a red site green is (1600 + 1600 - 800) / 16, blue
        // (2400 + 1600 - 1200) / 16; at a green site both others 162.5, rounded down.
        auto centre = field(13, 100 * s);
        centre[2][6] = 200 * s;
        EXPECT_EQ((Pixel{200 * s, 150 * s, 175 * s, 0x5A}), run(centre, 2)[4]) << name;
        const uint32_t half = s == 1 ? 162 : 20800;
        EXPECT_EQ((Pixel{half, 200 * s, half, 0x5A}), run(centre, 0)[4]) << name;
        // Green site, blue left and right at the maximum: 6630 / 16 for bytes, clamped to the maximum.
        auto bright = field(13, 0);
        for (size_t x : {5, 6, 7})
            bright[2][x] = top;
        EXPECT_EQ(top, run(bright, 0)[4][2]) << name;
        // Only the samples two columns away at the maximum: blue -1020 / 16 clamps to 0, red 510 / 16.
        auto dark = field(13, 0);
        dark[2][4] = dark[2][8] = top;
        EXPECT_EQ(0u, run(dark, 0)[4][2]) << name;
        EXPECT_EQ(s == 1 ? 31u : 4095u, run(dark, 0)[4][0]) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Converters, Malvar, ::testing::ValuesIn(kConverters),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vyr::test
