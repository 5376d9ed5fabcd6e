// Bayer demosaic, 2x2 and Malvar: every path and export against references built from the cell names,
// each input line between guards at exactly the columns it may read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <memory>

#include "convert/bayer2x2.h"
#include "convert/malvar.h"
#include "export_shapes.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

using convert::OutputLine;

// ---- Sensor lines ----------------------------------------------------------------------------------

// Colours of the 2x2 cell whose phase is the index: the first line's two sites, then the second's.
const char kCellNames[4][5] = {"GBRG", "BGGR", "RGGB", "GRBG"};

uint32_t sampleAt(const uint8_t* line, int64_t x, size_t bytes)
{
    return loadLe(line + x * int64_t(bytes), bytes);
}

// Pixel x as blue, green, red (and 0 as the fourth byte when zeroFourth), or into the three planes.
void putRgb(const OutputLine& out, SensorLayout l, size_t x, uint32_t r, uint32_t g, uint32_t b,
            bool zeroFourth)
{
    if (l.outputs == 1) {
        uint8_t* p = out.at[0] + 4 * x;
        p[0] = uint8_t(b), p[1] = uint8_t(g), p[2] = uint8_t(r);
        if (zeroFourth)
            p[3] = 0;
        return;
    }
    const uint32_t rgb[3] = {r, g, b};
    for (int k = 0; k < 3; ++k)
        storeLe(out.at[k] + l.sampleBytes * x, l.sampleBytes, rgb[k]);
}

// Columns a converter may read from one line; count 0: it must not read the line (gets null).
struct ColumnRange {
    int64_t first = 0;
    int64_t count = 0;
};

struct SensorShape {
    SensorLayout layout;
    std::vector<ColumnRange> reads; // per input line
    uint32_t width;
};

// Input line i points at its column 0, which may lie before or after the first readable column.
using SensorCall = std::function<uint32_t(const uint8_t* const* lines, const OutputLine& out)>;
// The bytes of each input line's readable columns.
using SensorInput = std::vector<std::vector<uint8_t>>;

// With `within15` 16-bit samples keep within 15 bits.
SensorInput randomInput(const SensorShape& shape, uint32_t seed, bool within15 = false)
{
    SensorInput input;
    for (const ColumnRange& r : shape.reads) {
        input.push_back(randomBytes(size_t(r.count) * shape.layout.sampleBytes, seed++));
        for (size_t i = 1; within15 && shape.layout.sampleBytes == 2 && i < input.back().size(); i += 2)
            input.back()[i] &= 0x7F;
    }
    return input;
}

const uint8_t* columnZero(const uint8_t* first, const ColumnRange& r, size_t sampleBytes)
{
    return r.count ? first - r.first * int64_t(sampleBytes) : nullptr;
}

// The path returns and writes what the reference does, and no more, with inputs and outputs flush
// against opposite guards both ways, then 0..63 bytes off a page as the seed takes them.
::testing::AssertionResult matchesSensorReference(const SensorShape& shape, const SensorInput& input,
                                                  const SensorCall& path, const SensorCall& reference,
                                                  uint32_t seed)
{
    const SensorLayout l = shape.layout;
    const size_t outBytes = l.outputBytes(shape.width);
    std::vector<std::vector<uint8_t>> before;
    for (size_t k = 0; k < l.outputs; ++k)
        before.push_back(randomBytes(outBytes, seed * 3 + uint32_t(k)));
    std::vector<std::vector<uint8_t>> expected = before;
    std::vector<const uint8_t*> plainLines;
    for (size_t i = 0; i < shape.reads.size(); ++i)
        plainLines.push_back(columnZero(input[i].data(), shape.reads[i], l.sampleBytes));
    OutputLine plainOut{};
    for (size_t k = 0; k < l.outputs; ++k)
        plainOut.at[k] = expected[k].data();
    const uint32_t expectedResult = reference(plainLines.data(), plainOut);

    const std::pair<Placement, Placement> placements[] = {
        {{Flush::Front, 0}, {Flush::Back, 0}},
        {{Flush::Back, 0}, {Flush::Front, 0}},
        {{Flush::Front, seed % 64}, {Flush::Front, seed * 5 % 64}}};
    for (size_t p = 0; p < 3; ++p) {
        const auto& [inPlace, outPlace] = placements[p];
        std::vector<std::unique_ptr<GuardedBuffer>> inputs, outputs;
        std::vector<const uint8_t*> lines;
        for (size_t i = 0; i < shape.reads.size(); ++i) {
            inputs.push_back(std::make_unique<GuardedBuffer>(input[i].size(), inPlace));
            std::copy(input[i].begin(), input[i].end(), inputs.back()->data());
            inputs.back()->makeReadOnly();
            lines.push_back(columnZero(inputs.back()->data(), shape.reads[i], l.sampleBytes));
        }
        OutputLine out{};
        for (size_t k = 0; k < l.outputs; ++k) {
            outputs.push_back(std::make_unique<GuardedBuffer>(outBytes, outPlace));
            std::copy(before[k].begin(), before[k].end(), outputs.back()->data());
            out.at[k] = outputs.back()->data();
        }
        const uint32_t result = path(lines.data(), out);
        if (result != expectedResult)
            return ::testing::AssertionFailure() << "returned " << result << " (placement " << p << ")";
        for (size_t k = 0; k < l.outputs; ++k) {
            const auto same = sameBytes(expected[k].data(), outputs[k]->data(), outBytes);
            if (!outputs[k]->surroundingsIntact() || !same)
                return ::testing::AssertionFailure() << "output " << k << " (placement " << p
                                                     << "): " << (same ? "wrote outside" : same.message());
        }
    }
    return ::testing::AssertionSuccess();
}

// Red, green, blue and (RGB8888 only, else 0x5A) the fourth byte of one output pixel.
using Pixel = std::array<uint32_t, 4>;

// Runs call on lines of samples whose column 0 is at index origin; every output byte starts as 0x5A.
std::vector<Pixel> runOnSamples(SensorLayout l, const SensorCall& call,
                                const std::vector<std::vector<uint32_t>>& samples, size_t origin,
                                uint32_t width)
{
    std::vector<std::vector<uint8_t>> lines,
        outputs(l.outputs, std::vector<uint8_t>(l.outputBytes(width), 0x5A));
    std::vector<const uint8_t*> starts;
    for (const auto& line : samples) {
        lines.emplace_back(line.size() * l.sampleBytes);
        for (size_t x = 0; x < line.size(); ++x)
            storeLe(&lines.back()[x * l.sampleBytes], l.sampleBytes, line[x]);
    }
    for (const auto& line : lines)
        starts.push_back(line.data() + origin * l.sampleBytes);
    OutputLine out{};
    for (size_t k = 0; k < l.outputs; ++k)
        out.at[k] = outputs[k].data();
    EXPECT_EQ(0u, call(starts.data(), out));
    std::vector<Pixel> pixels(width);
    for (uint32_t x = 0; x < width; ++x) {
        if (l.outputs == 1) {
            const uint8_t* p = &outputs[0][4 * x];
            pixels[x] = {p[2], p[1], p[0], p[3]};
        } else {
            for (size_t k = 0; k < 3; ++k)
                pixels[x][k] = sampleAt(outputs[k].data(), x, l.sampleBytes);
            pixels[x][3] = 0x5A;
        }
    }
    return pixels;
}

// ---- Both methods and their exports ----------------------------------------------------------------

using TwoByTwo = BayerConverter<convert::Bayer2x2Fn, Bayer2x2Export>;
using MalvarConverter = BayerConverter<convert::MalvarFn, MalvarExport>;

// 94, 95, 190 and 191: runs that end one column past two whole registers (16- and 8-bit samples), where a
// kernel may read up to the last column and no further.
const std::vector<uint32_t> kWidths = countsUpTo(70, {94, 95, 190, 191, 1000, 4099});

// The export at plain, at a sample of widths: it costs a processor check a call.
bool exportAt(Isa isa, uint32_t width) { return isa == convert::kPlain && (width % 16 < 2 || width > 70); }

// ---- 2x2 ---------------------------------------------------------------------------------------------

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
    if (rightBorder && width < 2) // the border needs the column to its left: nothing written
        return 0;
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

// A path or the export, on the arguments of the export.
using Call2x2 = std::function<uint32_t(const uint8_t* src0, const uint8_t* src1, const OutputLine& out,
                                       uint32_t width, uint32_t phase, uint32_t copy, uint32_t border)>;

struct NamedCall {
    std::string name;
    Call2x2 call;
    uint32_t block; // of the vector part; 0 when it is not taken
};

// The paths at one instruction set and the export, whose vector part runs with MMX.
std::vector<NamedCall> callsOf(const TwoByTwo& s, Isa isa, uint32_t width)
{
    std::vector<NamedCall> calls;
    for (const auto& path : pathsAt(*s.paths, isa)) {
        const auto call = [fn = path.fn](auto... args) { return fn(args...), 0u; };
        calls.push_back({path.name, call, path.vectorRule ? s.block : 0});
    }
    if (exportAt(isa, width))
        calls.push_back({"export", s.exported, VyrUtilIsMMX() ? s.block : 0});
    return calls;
}

SensorCall bound(const Call2x2& call, uint32_t width, uint32_t phase, uint32_t copy, uint32_t border)
{
    return [=](const uint8_t* const* lines, const OutputLine& out) {
        return call(lines[0], lines[1], out, width, phase, copy, border);
    };
}

class Bayer2x2 : public IsaTest<TwoByTwo> {};
INSTANTIATE_TEST_SUITE_P(Converters, Bayer2x2, atEveryIsa(kBayer2x2s), IsaCaseName());

// Nonzero flags other than 1 must act as set (here and for the Malvar border).
constexpr uint32_t kSet = 0x80000100u;

// 16-bit samples cover the whole word range, so the vector part's stop at 32767 shows.
TEST_P(Bayer2x2, EveryPathFollowsTheRulesAtEveryWidthPhaseAndFlag)
{
    const TwoByTwo& c = this->c();
    for (uint32_t width : kWidths) {
        const auto calls = callsOf(c, isa(), width);
        for (uint32_t i = 0; i < 16; ++i) { // every phase, copy flag and border flag
            const uint32_t phase = i / 4, copy = i & 1 ? kSet : 0, border = i & 2 ? kSet : 0;
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
    const TwoByTwo& c = this->c();
    const uint32_t z = c.layout.outputs == 1 ? 0 : 0x5A; // the 2x2 converters zero the fourth byte
    const struct {
        uint32_t copy, border;
        std::vector<Pixel> pixels;
    } wants[] = {
        {0, 0, {{10, 36, 60, z}, {30, 45, 60, z}, {30, 55, 80, z}}},
        {1, 0, {{10, 20, 60, z}, {30, 20, 60, z}, {30, 40, 80, z}}},
        {0, 1, {{10, 36, 60, z}, {30, 45, 60, z}, {30, 70, 60, z}}},
    };
    for (const NamedCall& call : callsOf(c, isa(), 0)) {
        for (const auto& want : wants) {
            EXPECT_EQ(want.pixels, runOnSamples(c.layout, bound(call.call, 3, 2, want.copy, want.border),
                                                {{10, 20, 30, 40}, {51, 60, 70, 80}}, 0, 3))
                << call.name << ", copy " << want.copy << ", border " << want.border;
        }
    }
}

// ---- Malvar ------------------------------------------------------------------------------------------

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

uint32_t referenceMalvar(const uint8_t* const* src, const OutputLine& out, SensorLayout l, uint32_t width,
                         uint32_t phase, int32_t rowBorder, uint32_t border)
{
    const int maximum = l.sampleBytes == 1 ? 255 : 32767;
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

// The paths at one instruction set, and the export.
std::vector<std::pair<std::string, CallMalvar>> malvarCalls(const MalvarConverter& s, Isa isa, uint32_t width)
{
    std::vector<std::pair<std::string, CallMalvar>> calls;
    for (const auto& path : pathsAt(*s.paths, isa))
        calls.emplace_back(path.name, path.fn);
    if (exportAt(isa, width))
        calls.emplace_back("export", s.exported);
    return calls;
}

bool accepted(uint32_t width, int32_t rowBorder, uint32_t border)
{
    return !border || (width >= 4 && rowBorder <= 0 && rowBorder >= -2);
}

// Without border columns -2..width+1 of the centre line; no line the row border names, none on refusal.
SensorShape shapeOf(const MalvarConverter& c, uint32_t width, int32_t rowBorder, uint32_t border)
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

// Checks every path and the export on one call's arguments. 15-bit samples keep within 15 bits for even
// seeds and take any word for odd ones (the rule takes the whole word, and two such samples overflow 16
// bits).
void checkCall(const MalvarConverter& c, Isa isa, uint32_t width, uint32_t phase, int32_t rowBorder,
               uint32_t border)
{
    const SensorShape shape = shapeOf(c, width, rowBorder, border);
    const uint32_t seed = width * 16 + phase * 4 + uint32_t(rowBorder & 3);
    const SensorInput input = randomInput(shape, seed, seed % 2 == 0);
    const SensorCall reference = [&](const uint8_t* const* l, const OutputLine& o) {
        return referenceMalvar(l, o, c.layout, width, phase, rowBorder, border);
    };
    for (const auto& [name, call] : malvarCalls(c, isa, width)) {
        const SensorCall path = [&, call = call](const uint8_t* const* l, const OutputLine& o) {
            return call(l, o, width, phase, rowBorder, border);
        };
        EXPECT_TRUE(matchesSensorReference(shape, input, path, reference, width + phase))
            << name << ", width " << width << ", phase " << phase << ", rowBorder " << rowBorder
            << ", border " << border;
    }
}

class Malvar : public IsaTest<MalvarConverter> {};
INSTANTIATE_TEST_SUITE_P(Converters, Malvar, atEveryIsa(kMalvars), IsaCaseName());

// Without border the row border is ignored; with it, columns reflect and named lines are replaced.
// Narrow lines are refused first (2), then unknown row borders (1): nothing read or written.
TEST_P(Malvar, EveryPathFollowsTheRulesWithAndWithoutBorder)
{
    for (uint32_t width : kWidths) {
        for (uint32_t phase = 0; phase < 4; ++phase) {
            checkCall(c(), isa(), width, phase, width % 3 ? 7 : INT32_MIN, 0);
            const int32_t refused[] = {1, 2, -3, INT32_MAX, INT32_MIN}; // as is any width below 4
            for (int32_t rowBorder : {0, -1, -2, refused[(width + phase) % 5]})
                checkCall(c(), isa(), width, phase, rowBorder, kSet);
        }
    }
}

// The weights and clamps worked by hand (the fourth byte kept).
TEST_P(Malvar, TellingValuesOnEveryPath)
{
    const MalvarConverter& c = this->c();
    const uint32_t s = c.layout.sampleBytes == 2 ? 128 : 1, top = s == 1 ? 255 : 32767; // s: sample scale
    const auto field = [](uint32_t width, uint32_t fill) {
        return std::vector<std::vector<uint32_t>>(5, std::vector<uint32_t>(width + 4, fill));
    };
    for (const auto& [name, call] : malvarCalls(c, isa(), 0)) {
        const auto run = [&, call = call](const std::vector<std::vector<uint32_t>>& lines, uint32_t phase) {
            const uint32_t width = uint32_t(lines[0].size() - 4);
            const SensorCall bound = [&](const uint8_t* const* l, const OutputLine& o) {
                return call(l, o, width, phase, 0, 0);
            };
            return runOnSamples(c.layout, bound, lines, 2, width);
        };
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

} // namespace
} // namespace vyr::test
