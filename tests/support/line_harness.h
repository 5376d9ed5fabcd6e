// Converter paths checked one instruction set at a time against independent references, over counts,
// buffer placements flush against guard pages, unusedBits and (colour rules) every 24-bit input.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bytes.h"
#include "convert/line.h"
#include "export_shapes.h"

namespace vyr::test {

using convert::Isa;
using convert::LineFn;

// ---- Cases by instruction set ----------------------------------------------------------------------

// A case at one instruction set: plain runs the rules in plain C++, the others the kernels of that set.
template <class Case>
struct AtIsa {
    const Case* c;
    Isa isa;
};

template <class Fn>
bool hasPathAt(const convert::Paths<Fn>& p, Isa isa)
{
    return isa == convert::kPlain || p.fast[isa] || p.vector[isa];
}

// The cases at every instruction set where `has` finds a path: at plain, and where a table holds a kernel.
template <class Cases, class Has>
auto atEveryIsa(const Cases& cases, Has has)
{
    std::vector<AtIsa<std::decay_t<decltype(*std::begin(cases))>>> out;
    for (const auto& c : cases) {
        for (unsigned isa = convert::kPlain; isa < convert::kIsaCount; ++isa) {
            if (has(c, Isa(isa)))
                out.push_back({&c, Isa(isa)});
        }
    }
    return ::testing::ValuesIn(out);
}
template <class Cases>
auto atEveryIsa(const Cases& cases)
{
    return atEveryIsa(cases, [](const auto& c, Isa isa) { return hasPathAt(*c.paths, isa); });
}

// The cases with sources of up to 24 bits a pixel, which sweepEveryInput can take through every value.
template <class Cases>
auto atEveryIsaOfSmallSources(const Cases& cases)
{
    return atEveryIsa(
        cases, [](const auto& c, Isa isa) { return c.rule.src.bytes <= 3 && hasPathAt(*c.paths, isa); });
}

template <class Case>
void PrintTo(const AtIsa<Case>& p, std::ostream* os)
{
    *os << p.c->name << " " << convert::isaName(p.isa);
}
struct IsaCaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<AtIsa<Case>>& info) const
    {
        return std::string(info.param.c->name) + "_" + convert::isaName(info.param.isa);
    }
};

// A variant the processor cannot run is skipped by name.
template <class Case>
class IsaTest : public ::testing::TestWithParam<AtIsa<Case>> {
protected:
    void SetUp() override
    {
        if (isa() > convert::processorIsa())
            GTEST_SKIP() << convert::isaName(isa()) << ": not run by this processor";
    }
    const Case& c() const { return *this->GetParam().c; }
    Isa isa() const { return this->GetParam().isa; }
};

template <class Fn>
struct NamedPath {
    std::string name;
    Fn fn;
    bool vectorRule;
};

// At plain the scalar rule and the vector rule in plain C++; elsewhere the kernels of either rule.
template <class Fn>
std::vector<NamedPath<Fn>> pathsAt(const convert::Paths<Fn>& p, Isa isa)
{
    std::vector<NamedPath<Fn>> out;
    const std::string at = convert::isaName(isa);
    if (const Fn scalar = isa == convert::kPlain ? p.scalar : p.fast[isa])
        out.push_back({"scalar rule " + at, scalar, false});
    if (p.vector[isa])
        out.push_back({"vector rule " + at, p.vector[isa], true});
    return out;
}

// ---- Runs against a reference ----------------------------------------------------------------------

// A path, or an export wrapped to check its result; `arg` is unusedBits or what the family packs there.
using Path = std::function<void(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t arg)>;

struct LineShape {
    Run src, dst;
    uint32_t arg;
    std::function<void(uint8_t*, size_t, uint32_t seed)> fill = fillRandom; // of a source run
};

// Counts 0..upTo and a few large ones that take the middle through many blocks.
std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large = {63, 64, 65, 255, 1000, 4099});
// Counts through three units of the widest kernels (64 pixels) and into a fourth.
constexpr uint32_t kCountsThroughUnits = 3 * 64 + 1;

// The path writes what the reference does and nothing else. Source and destination lie flush against
// either guard, and at every offset 0..63 from a page (counts 1, 17, 33, ... and above
// kCountsThroughUnits) or 0..7.
::testing::AssertionResult matchesReference(const LineShape& shape, const Path& path, const Path& reference,
                                            const std::vector<uint32_t>& counts);

// ---- The 16-byte line frame --------------------------------------------------------------------------

// One pixel of a rule: reads the source pixel at s, writes the destination pixel at d.
using In = const uint8_t*;
using Out = uint8_t*;
using PixelRule = void (*)(In s, Out d, uint32_t unusedBits);

template <PixelRule R, size_t SrcBpp, size_t DstBpp>
void everyPixel(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < count; ++i)
        R(src + i * SrcBpp, dst + i * DstBpp, unusedBits);
}

// A reference of a run and the run's bytes on either side.
struct Rule {
    LineFn fn;
    Run src, dst;
};
template <PixelRule R, uint32_t SrcBpp, uint32_t DstBpp>
constexpr Rule perPixel = {everyPixel<R, SrcBpp, DstBpp>, {SrcBpp}, {DstBpp}};

// Random samples, every other one shifted right at random: samples within and beyond every depth.
std::function<void(uint8_t*, size_t, uint32_t)> mixedSamples(size_t sampleBytes);

// When the export takes the vector rule: never (one rule), or where the processor reports MMX and, for
// some converters, unusedBits is 0 or the processor also reports SSE.
enum class VectorWhen { Never, Mmx, MmxNoUnusedBits, MmxAndSse };

// Writes sweep input `input` into pixel i of a source run.
using PutInput = void (*)(uint8_t* src, uint32_t i, uint32_t input);

// True where the outputs of the scalar and the vector rule for one input differ only as stated.
using Differ = bool (*)(const uint8_t* in, const uint8_t* scalar, const uint8_t* vector);

struct LineCase {
    const char* name;
    ExportedLine exported;
    const convert::LinePaths* paths;
    Rule rule;                                 // the scalar rule, written independently
    size_t sampleBytes = 0;                    // of the source, for mixedSamples (0: random bytes)
    uint32_t maxUnusedBits = kAnyUnusedBits;   // valid unusedBits are 0..max
    VectorWhen vectorWhen = VectorWhen::Never; // stated here, not read from the table
    LineFn vectorRule = nullptr;               // where it differs from the scalar rule
    PutInput sweepInput = nullptr;             // null: a sweep input is bytes 0..2 of a pixel
    Differ differ = nullptr;                   // where the two rules may differ (null: nowhere)
};

// Bytes in memory order through every path at one instruction set (`wantVector`: the vector rule's).
struct Telling {
    const char* converter;
    uint32_t unusedBits;
    std::vector<uint8_t> src, want, wantVector = {};
};

// For every valid unusedBits every path at `isa` follows its rule, at the ends of the range over every
// count up to `countsTo` (and some large ones); at plain the export takes the right rule. Then the
// telling values of the converter.
void expectFollowsItsRules(const LineCase& c, Isa isa, const std::vector<Telling>& telling = {},
                           uint32_t countsTo = 48);

// ---- Every input --------------------------------------------------------------------------------------

// Every path at `isa` against its reference over every 24-bit input (every 61st under qemu and the
// sanitizers), or every value of a source unit of one or two bytes (without sweepInput), at every valid
// unusedBits; at plain the rules' outputs held to differ only where the case's `differ` allows.
::testing::AssertionResult sweepEveryInput(const LineCase& c, Isa isa);

// A family of line converters at every instruction set: every path follows its rules (with the telling
// values, counts up to `countsTo`), and the cases of `swept` (a generator of atEveryIsa) take every input.
#define VYR_LINE_FAMILY(Family, cases, swept, telling, countsTo)                                             \
    class Family : public IsaTest<LineCase> {};                                                              \
    TEST_P(Family, EveryPathFollowsItsRule) { expectFollowsItsRules(c(), isa(), telling, countsTo); }        \
    INSTANTIATE_TEST_SUITE_P(Converters, Family, atEveryIsa(cases), IsaCaseName());                          \
    class Family##EveryInput : public IsaTest<LineCase> {};                                                  \
    TEST_P(Family##EveryInput, OnEveryPath) { EXPECT_TRUE(sweepEveryInput(c(), isa())); }                    \
    INSTANTIATE_TEST_SUITE_P(Converters, Family##EveryInput, swept, IsaCaseName())

// Writes input n as pixel i of a source line of `count` pixels.
using LineInput = std::function<void(uint8_t* src, uint32_t count, uint32_t i, uint32_t n)>;

// Every input n in [0, inputs) (every 61st of 2^24 under qemu and the sanitizers) in lines of up to
// 65536 pixels: every path gives the reference's bytes and writes nothing else.
::testing::AssertionResult sweepPaths(uint32_t inputs, const Run& src, const Run& dst, const LineInput& put,
                                      const Path& reference,
                                      const std::vector<std::pair<std::string, Path>>& paths, uint32_t arg);

// ---- Reference arithmetic ---------------------------------------------------------------------------

inline uint8_t clampByte(int v) { return uint8_t(std::min(255, std::max(0, v))); }

inline int floorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace vyr::test
