// Bayer converters against a reference, each input line between guards at exactly the columns it may read.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bytes.h"
#include "convert/bayer.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {

using convert::OutputLine;

// Colours of the 2x2 cell whose phase is the index: the first line's two sites, then the second's.
inline const char kCellNames[4][5] = {"GBRG", "BGGR", "RGGB", "GRBG"};

struct SensorLayout {
    size_t sampleBytes; // of the input lines and the planes: 1 or 2
    size_t outputs;     // 1 (an RGB8888 line) or 3 (red, green, blue planes)
    size_t outputBytes(uint32_t width) const { return width * (outputs == 1 ? 4 : sampleBytes); }
};

inline uint32_t sampleAt(const uint8_t* line, int64_t x, size_t bytes)
{
    return loadLe(line + x * int64_t(bytes), bytes);
}

// Pixel x as blue, green, red (and 0 as the fourth byte when zeroFourth), or into the three planes.
inline void putRgb(const OutputLine& out, SensorLayout l, size_t x, uint32_t r, uint32_t g, uint32_t b,
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

inline SensorInput randomInput(const SensorShape& shape, uint32_t seed)
{
    SensorInput input;
    for (const ColumnRange& r : shape.reads)
        input.push_back(randomBytes(size_t(r.count) * shape.layout.sampleBytes, seed++));
    return input;
}

inline const uint8_t* columnZero(const uint8_t* first, const ColumnRange& r, size_t sampleBytes)
{
    return r.count ? first - r.first * int64_t(sampleBytes) : nullptr;
}

// The path returns and writes what the reference does, and no more, with inputs and outputs flush
// against opposite guards both ways, then a few bytes off.
inline ::testing::AssertionResult matchesSensorReference(const SensorShape& shape, const SensorInput& input,
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

    const size_t skew = 1 + seed % 7;
    const std::pair<Placement, Placement> placements[] = {{{Flush::Front, 0}, {Flush::Back, 0}},
                                                          {{Flush::Back, 0}, {Flush::Front, 0}},
                                                          {{Flush::Front, skew}, {Flush::Back, 8 - skew}}};
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
inline std::vector<Pixel> runOnSamples(SensorLayout l, const SensorCall& call,
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

} // namespace vyr::test
