#include "line_harness.h"

#include <algorithm>

#include "convert/kernels/simd.h"
#include "guarded_buffer.h"

namespace vyr::test {

namespace {

std::vector<std::pair<convert::Isa, LineFn>> runnable(const convert::PerIsa<LineFn>& kernels)
{
    std::vector<std::pair<convert::Isa, LineFn>> out;
    for (unsigned i = convert::kPlain; i <= convert::processorIsa(); ++i) {
        if (kernels[i])
            out.emplace_back(convert::Isa(i), kernels[i]);
    }
    return out;
}

} // namespace

std::vector<std::pair<convert::Isa, LineFn>> runnableVariants(const convert::LinePaths& paths)
{
    return runnable(paths.vector);
}

std::vector<std::pair<convert::Isa, LineFn>> runnableFast(const convert::LinePaths& paths)
{
    return runnable(paths.fast);
}

std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large)
{
    std::vector<uint32_t> counts;
    for (uint32_t c = 0; c <= upTo; ++c)
        counts.push_back(c);
    counts.insert(counts.end(), large.begin(), large.end());
    return counts;
}

::testing::AssertionResult matchesReference(const LineShape& shape, const Path& path, const Path& reference,
                                            const std::vector<uint32_t>& counts, bool longRun)
{
    std::vector<Placement> sources = {{Flush::Back, 0}}, destinations;
    for (size_t gap = 0; gap < 8; ++gap) {
        if (gap == 0 || gap == 3 || !longRun)
            sources.push_back({Flush::Front, gap});
        destinations.push_back({Flush::Front, gap});
        destinations.push_back({Flush::Back, gap});
    }
    if (longRun)
        destinations = {{Flush::Front, 0}, {Flush::Front, 3}};
    const auto describe = [](const Placement& p) {
        return std::string(p.flush == Flush::Front ? "front+" : "back+") + std::to_string(p.gap);
    };
    for (uint32_t count : counts) {
        const size_t srcBytes = shape.srcBytes(count);
        const size_t dstBytes = shape.dstBytes(count);
        std::vector<uint8_t> source(srcBytes);
        shape.fillSource(source.data(), srcBytes, count);
        const std::vector<uint8_t> before = randomBytes(dstBytes, count ^ 0x5555u);
        std::vector<uint8_t> expected = before;
        if (count)
            reference(source.data(), expected.data(), count, shape.unusedBits);

        for (const Placement& sp : sources) {
            GuardedBuffer src(srcBytes, sp);
            std::copy(source.begin(), source.end(), src.data());
            src.makeReadOnly();
            for (const Placement& dp : destinations) {
                GuardedBuffer dst(dstBytes, dp);
                std::copy(before.begin(), before.end(), dst.data());
                path(src.data(), dst.data(), count, shape.unusedBits);
                const bool intact = dst.surroundingsIntact();
                const ::testing::AssertionResult same = sameBytes(expected.data(), dst.data(), dstBytes);
                if (!intact || !same) {
                    return ::testing::AssertionFailure()
                           << "count " << count << ", source " << describe(sp) << ", destination "
                           << describe(dp) << ": " << (intact ? same.message() : "wrote outside the run");
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

uint32_t loadLe(const uint8_t* p, size_t bytes)
{
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;)
        v = v << 8 | p[i];
    return v;
}

void storeLe(uint8_t* p, size_t bytes, uint32_t v)
{
    for (size_t i = 0; i < bytes; ++i, v >>= 8)
        p[i] = uint8_t(v);
}

std::function<void(uint8_t*, size_t, uint32_t)> mixedSamples(size_t sampleBytes)
{
    return [sampleBytes](uint8_t* p, size_t n, uint32_t seed) {
        fillRandom(p, n, seed);
        const std::vector<uint8_t> shifts = randomBytes(n / sampleBytes + 1, seed ^ 0xA11CEu);
        for (size_t i = 0; i + sampleBytes <= n; i += sampleBytes) {
            const uint8_t s = shifts[i / sampleBytes];
            if (!(s & 1))
                storeLe(p + i, sampleBytes, loadLe(p + i, sampleBytes) >> (s >> 1) % (8 * sampleBytes));
        }
    };
}

namespace {

// The valid unusedBits worth a sweep: all of them, or a spread of a long range.
std::vector<uint32_t> unusedBitsToTest(const LineCase& c)
{
    if (c.maxUnusedBits == kAnyUnusedBits)
        return {0, 5};
    std::vector<uint32_t> bits;
    for (uint32_t a = 0; a <= c.maxUnusedBits; ++a) {
        if (c.maxUnusedBits <= 11 || a < 2 || a + 2 > c.maxUnusedBits || a == c.maxUnusedBits / 2)
            bits.push_back(a);
    }
    return bits;
}

bool vectorRuns(const LineCase& c, uint32_t unusedBits)
{
    return c.paths.vector && !(c.vectorNeedsZeroBits && unusedBits != 0);
}

LineFn vectorRule(const LineCase& c) { return c.vectorRule ? c.vectorRule : c.rule.fn; }

LineShape shape(const LineCase& c, uint32_t unusedBits)
{
    const Rule& r = c.rule;
    return {bytesPerPixel(r.srcBpp), bytesPerPixel(r.dstBpp), unusedBits, mixedSamples(c.sampleBytes)};
}

} // namespace

Path exportPath(ExportedLine exported)
{
    return [exported](const uint8_t* s, uint8_t* d, uint32_t count, uint32_t unusedBits) {
        EXPECT_EQ(0u, exported(s, d, count, unusedBits)) << "count " << count;
    };
}

namespace {

void expectAllFollow(const LineShape& shape, const std::vector<std::pair<convert::Isa, LineFn>>& variants,
                     const Path& rule, const std::vector<uint32_t>& counts, bool longRun)
{
    const uint32_t streaming = uint32_t(convert::kernels::kStreamingBytes / shape.dstBytes(1) + 37);
    for (auto [isa, path] : variants) {
        EXPECT_TRUE(matchesReference(shape, path, rule, counts))
            << convert::isaName(isa) << ", unusedBits " << shape.unusedBits;
        if (longRun) {
            EXPECT_TRUE(matchesReference(shape, path, rule, {streaming}, true)) << convert::isaName(isa);
        }
    }
}

} // namespace

void expectVariantsFollow(const LineShape& shape, const convert::LinePaths& paths, const Path& rule,
                          const std::vector<uint32_t>& counts, bool longRun)
{
    expectAllFollow(shape, runnableVariants(paths), rule, counts, longRun);
}

void expectFastFollow(const LineShape& shape, const convert::LinePaths& paths, const Path& rule,
                      const std::vector<uint32_t>& counts, bool longRun)
{
    expectAllFollow(shape, runnableFast(paths), rule, counts, longRun);
}

void expectFollowsItsRules(const LineCase& c)
{
    const std::vector<uint32_t> bits = unusedBitsToTest(c);
    const std::vector<uint32_t> all = countsUpTo(48, {63, 64, 65, 255, 1000, 4099});
    const std::vector<uint32_t> few = countsUpTo(17, {1000});
    for (uint32_t a : bits) {
        const LineShape s = shape(c, a);
        const bool vector = vectorRuns(c, a);
        const bool edge = a == bits.front() || (a == bits.back() && c.maxUnusedBits != kAnyUnusedBits);
        const std::vector<uint32_t>& counts = edge ? all : few;
        EXPECT_TRUE(matchesReference(s, c.paths.scalar, c.rule.fn, counts)) << "scalar, bits " << a;
        expectFastFollow(s, *c.paths.all, c.rule.fn, counts, a == 0);
        const LineFn exportRule = VyrUtilIsMMX() && vector ? vectorRule(c) : c.rule.fn;
        EXPECT_TRUE(matchesReference(s, exportPath(c.exported), exportRule, counts)) << "export, bits " << a;
        if (vector)
            expectVariantsFollow(s, *c.paths.vector, vectorRule(c), counts, a == 0);
    }
}

void expectTellingValues(const std::vector<LineCase>& cases, const std::vector<Telling>& values)
{
    for (const Telling& t : values) {
        auto c = std::find_if(cases.begin(), cases.end(),
                              [&](const LineCase& lc) { return std::string(lc.name) == t.converter; });
        ASSERT_NE(cases.end(), c) << t.converter;
        std::vector<std::pair<std::string, LineFn>> paths = {{"scalar", c->paths.scalar}};
        for (auto [isa, path] : runnableFast(*c->paths.all))
            paths.emplace_back(std::string("scalar ") + convert::isaName(isa), path);
        if (vectorRuns(*c, t.unusedBits)) {
            for (auto [isa, path] : runnableVariants(*c->paths.vector))
                paths.emplace_back(convert::isaName(isa), path);
        }
        for (auto& [name, path] : paths) {
            const bool vector = name.rfind("scalar", 0) != 0 && !t.wantVector.empty();
            const std::vector<uint8_t>& want = vector ? t.wantVector : t.want;
            std::vector<uint8_t> out(want.size(), 0xAA);
            path(t.src.data(), out.data(), uint32_t(t.src.size() / c->rule.srcBpp), t.unusedBits);
            EXPECT_EQ(want, out) << t.converter << ", unusedBits " << t.unusedBits << ", " << name << " path";
        }
    }
}

} // namespace vyr::test
