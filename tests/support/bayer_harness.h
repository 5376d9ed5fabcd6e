// Checks a converter that reads several sensor lines and writes one output line (RGB8888) or three
// planes against an independent reference, with every input line between guard pages placed
// exactly at the columns the converter may read and every output flush against a guard.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bytes.h"
#include "convert/bayer.h"
#include "guarded_buffer.h"

namespace vyr::test {

using convert::OutputLine;

template <class Fn>
struct NamedPath {
    std::string name;
    Fn fn;
    bool vectorRule;
};

// The scalar path, then every vector-rule variant this processor runs (not the scalar path again
// where it is also the vector rule).
template <class Fn>
std::vector<NamedPath<Fn>> runnablePaths(const convert::PathsOf<Fn>& paths)
{
    std::vector<NamedPath<Fn>> out = {{"scalar", paths.scalar, false}};
    for (unsigned isa = convert::kPlain; isa <= convert::processorIsa(); ++isa) {
        if (paths.variants[isa] && paths.variants[isa] != paths.scalar)
            out.push_back({convert::isaName(convert::Isa(isa)), paths.variants[isa], true});
    }
    return out;
}

// Columns a converter may read from one line, inclusive; a line it must not read at all is
// unreadable (count 0): the converter receives a null pointer for it.
struct ColumnRange {
    int64_t first = 0;
    int64_t count = 0;
};

struct SensorShape {
    size_t sampleBytes;                // of the input lines: 1 or 2
    std::vector<ColumnRange> reads;    // per input line
    size_t outputs;                    // 1 (an RGB8888 line) or 3 (red, green, blue planes)
    size_t outputBytes;                // bytes of each output
};

// Input line i points at its column 0, which may lie before or after the first readable column.
using SensorCall = std::function<uint32_t(const uint8_t* const* lines, const OutputLine& out)>;

// The bytes of each input line's readable columns.
using SensorInput = std::vector<std::vector<uint8_t>>;

inline SensorInput randomInput(const SensorShape& shape, uint32_t seed)
{
    SensorInput input;
    for (const ColumnRange& r : shape.reads)
        input.push_back(randomBytes(size_t(r.count) * shape.sampleBytes, seed++));
    return input;
}

namespace detail {

inline const uint8_t* columnZero(const uint8_t* first, const ColumnRange& r, size_t sampleBytes)
{
    return r.count ? first - r.first * int64_t(sampleBytes) : nullptr;
}

inline std::string describe(Placement p)
{
    std::ostringstream s;
    s << (p.flush == Flush::Front ? "front" : "back") << "+" << p.gap;
    return s.str();
}

} // namespace detail

// For each placement pair: inputs flush against their leading guard (and outputs against their
// trailing one), then the reverse, then both a few bytes off so that the addresses are unaligned.
// The path must return what the reference returns, write the same bytes and nothing around them.
inline ::testing::AssertionResult matchesSensorReference(const SensorShape& shape, const SensorInput& input,
                                                         const SensorCall& path, const SensorCall& reference,
                                                         uint32_t seed)
{
    std::vector<std::vector<uint8_t>> before, expected;
    for (size_t k = 0; k < shape.outputs; ++k)
        before.push_back(randomBytes(shape.outputBytes, seed * 3 + uint32_t(k)));
    expected = before;
    std::vector<const uint8_t*> plainLines;
    for (size_t i = 0; i < shape.reads.size(); ++i)
        plainLines.push_back(detail::columnZero(input[i].data(), shape.reads[i], shape.sampleBytes));
    OutputLine plainOut{};
    for (size_t k = 0; k < shape.outputs; ++k)
        plainOut.at[k] = expected[k].data();
    const uint32_t expectedResult = reference(plainLines.data(), plainOut);

    const size_t skew = 1 + seed % 7;
    const std::pair<Placement, Placement> placements[] = {
        {{Flush::Front, 0}, {Flush::Back, 0}},
        {{Flush::Back, 0}, {Flush::Front, 0}},
        {{Flush::Front, skew}, {Flush::Back, 8 - skew}},
    };
    for (const auto& [inPlace, outPlace] : placements) {
        std::vector<std::unique_ptr<GuardedBuffer>> inputs, outputs;
        std::vector<const uint8_t*> lines;
        for (size_t i = 0; i < shape.reads.size(); ++i) {
            inputs.push_back(std::make_unique<GuardedBuffer>(input[i].size(), inPlace));
            std::copy(input[i].begin(), input[i].end(), inputs.back()->data());
            inputs.back()->makeReadOnly();
            lines.push_back(detail::columnZero(inputs.back()->data(), shape.reads[i], shape.sampleBytes));
        }
        OutputLine out{};
        for (size_t k = 0; k < shape.outputs; ++k) {
            outputs.push_back(std::make_unique<GuardedBuffer>(shape.outputBytes, outPlace));
            std::copy(before[k].begin(), before[k].end(), outputs.back()->data());
            out.at[k] = outputs.back()->data();
        }
        const uint32_t result = path(lines.data(), out);
        auto where = [&] {
            return "inputs " + detail::describe(inPlace) + ", outputs " + detail::describe(outPlace);
        };
        if (result != expectedResult)
            return ::testing::AssertionFailure() << "returned " << result << ", expected " << expectedResult
                                                 << " (" << where() << ")";
        for (size_t k = 0; k < shape.outputs; ++k) {
            if (!outputs[k]->surroundingsIntact())
                return ::testing::AssertionFailure() << "wrote outside output " << k << " (" << where() << ")";
            auto same = sameBytes(expected[k].data(), outputs[k]->data(), shape.outputBytes);
            if (!same)
                return ::testing::AssertionFailure() << "output " << k << " (" << where() << "): " << same.message();
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace vyr::test
