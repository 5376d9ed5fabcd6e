// Checks a converter path against an independent reference over counts and buffer placements.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"
#include "convert/line.h"

namespace vyr::test {

using convert::LineFn;
// A path under test: a library function pointer, or an export wrapped to check what it returns.
using Path = std::function<void(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)>;

struct LineShape {
    std::function<size_t(uint32_t)> srcBytes; // bytes of a run of `count` source pixels
    std::function<size_t(uint32_t)> dstBytes;
    uint32_t unusedBits = 0;
    std::function<void(uint8_t*, size_t, uint32_t seed)> fillSource = fillRandom; // of a source run
};

inline std::function<size_t(uint32_t)> bytesPerPixel(size_t n)
{
    return [n](uint32_t count) { return size_t(count) * n; };
}

// The vector-rule variants of a converter that this processor runs, plain C++ first.
std::vector<std::pair<convert::Isa, LineFn>> runnableVariants(const convert::LinePaths& paths);
// The kernels of the scalar rule that this processor runs.
std::vector<std::pair<convert::Isa, LineFn>> runnableFast(const convert::LinePaths& paths);

template <class Fn>
struct NamedPath {
    std::string name;
    Fn fn;
    bool vectorRule;
};

// The scalar rule and its kernels, then the vector rule and its kernels, as far as this processor runs them.
template <class Fn>
std::vector<NamedPath<Fn>> runnablePaths(const convert::Paths<Fn>& paths)
{
    std::vector<NamedPath<Fn>> out = {{"scalar", paths.scalar, false}};
    for (unsigned isa = convert::kSse2; isa <= convert::processorIsa(); ++isa) {
        if (paths.fast[isa])
            out.push_back(
                {std::string("scalar ") + convert::isaName(convert::Isa(isa)), paths.fast[isa], false});
    }
    for (unsigned isa = convert::kPlain; isa <= convert::processorIsa(); ++isa) {
        if (paths.vector[isa])
            out.push_back({convert::isaName(convert::Isa(isa)), paths.vector[isa], true});
    }
    return out;
}

// Counts 0..upTo and a few large ones that take the middle through many blocks.
std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large = {255, 1000, 4099});

// The path writes what the reference does and nothing else, the source and destination flush against
// either guard and 0..7 bytes off (a long run: 0 and 3 off the front only, the source also at the back).
::testing::AssertionResult matchesReference(const LineShape& shape, const Path& path, const Path& reference,
                                            const std::vector<uint32_t>& counts, bool longRun = false);

// ---- Pixel-by-pixel converters described once --------------------------------------------------

uint32_t loadLe(const uint8_t* p, size_t bytes);
void storeLe(uint8_t* p, size_t bytes, uint32_t v);

// One pixel of a rule: reads the source pixel at s, writes the destination pixel at d.
using PixelRule = void (*)(const uint8_t* s, uint8_t* d, uint32_t unusedBits);

template <PixelRule R, size_t SrcBpp, size_t DstBpp>
void everyPixel(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < count; ++i)
        R(src + i * SrcBpp, dst + i * DstBpp, unusedBits);
}

// A reference of a run and the bytes of one pixel on either side.
struct Rule {
    LineFn fn;
    size_t srcBpp, dstBpp;
};
template <PixelRule R, size_t SrcBpp, size_t DstBpp>
constexpr Rule perPixel = {everyPixel<R, SrcBpp, DstBpp>, SrcBpp, DstBpp};

// Random samples, every other one shifted right at random: samples within and beyond every depth.
std::function<void(uint8_t*, size_t, uint32_t)> mixedSamples(size_t sampleBytes);

using ExportedLine = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

// The export as a path that must return 0.
Path exportPath(ExportedLine exported);

// Every runnable variant at every count and offset, and (longRun) past the streaming-store threshold.
void expectVariantsFollow(const LineShape& shape, const convert::LinePaths& paths, const Path& rule,
                          const std::vector<uint32_t>& counts, bool longRun);
// Every runnable kernel of the scalar rule, as above.
void expectFastFollow(const LineShape& shape, const convert::LinePaths& paths, const Path& rule,
                      const std::vector<uint32_t>& counts, bool longRun);

constexpr uint32_t kAnyUnusedBits = ~0u; // ignored: any value gives the same pixels

// The library's scalar path, and its vector paths where it has them.
struct LibraryPaths {
    LibraryPaths(const convert::LinePaths& all)
        : scalar(all.scalar), all(&all), vector(all.hasVectorRule() ? &all : nullptr)
    {
    }
    LineFn scalar;
    const convert::LinePaths* all;
    const convert::LinePaths* vector; // null: one rule
};

struct LineCase {
    const char* name;
    ExportedLine exported;
    LibraryPaths paths;
    Rule rule;                        // the scalar rule, written independently
    size_t sampleBytes;               // of the source, for mixedSamples
    uint32_t maxUnusedBits;           // valid unusedBits are 0..max, or kAnyUnusedBits
    LineFn vectorRule = nullptr;      // where it differs from the scalar rule
    bool vectorNeedsZeroBits = false; // the export takes the vector path only with unusedBits 0
};

inline void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
inline std::string caseName(const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; }

// For every valid unusedBits every path and the export follow their rules.
void expectFollowsItsRules(const LineCase& c);

// The scalar path (and the vector paths where they run) convert `src` into `want` (or `wantVector`).
struct Telling {
    const char* converter;
    uint32_t unusedBits;
    std::vector<uint8_t> src, want, wantVector = {};
};

void expectTellingValues(const std::vector<LineCase>& cases, const std::vector<Telling>& values);

} // namespace vyr::test
