// Checks a converter path against an independent reference over counts and buffer placements.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "convert/line.h"

namespace vyr::test {

using convert::LineFn;

struct LineSpec {
    std::function<size_t(uint32_t)> srcBytes; // bytes of a run of `count` source pixels
    std::function<size_t(uint32_t)> dstBytes;
    uint32_t unusedBits = 0;
    // Fills a source run; random bytes when empty.
    std::function<void(uint8_t*, size_t, uint32_t seed)> fillSource = {};
};

inline std::function<size_t(uint32_t)> bytesPerPixel(size_t n)
{
    return [n](uint32_t count) { return size_t(count) * n; };
}

// The vector-rule variants of a converter that this processor runs, plain C++ first.
std::vector<std::pair<convert::Isa, LineFn>> runnableVariants(const convert::Paths& paths);

// Counts 0..upTo and a few large ones that take the middle through many blocks.
std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large = {255, 1000, 4099});

// For every count: the source flush against either guard (and once at an odd address), the
// destination flush against either guard at gaps 0..7 (so every address mod 8 occurs, and both
// ends are tested right at a guard). Path and reference start from the same destination bytes,
// must leave the same bytes, and the path must touch nothing around either run.
::testing::AssertionResult matchesReference(const LineSpec& shape, LineFn path, LineFn reference,
                                            const std::vector<uint32_t>& counts);

} // namespace vyr::test
