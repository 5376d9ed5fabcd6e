#include "line_harness.h"

#include <algorithm>
#include <thread>

#include "convert/kernels/simd.h"
#include "guarded_buffer.h"

namespace vyr::test {

std::vector<uint32_t> countsUpTo(uint32_t upTo, std::vector<uint32_t> large)
{
    std::vector<uint32_t> counts;
    for (uint32_t c = 0; c <= upTo; ++c)
        counts.push_back(c);
    counts.insert(counts.end(), large.begin(), large.end());
    return counts;
}

namespace {

// Past the streaming-store threshold of the kernels, on the source or the destination.
uint32_t streamingCount(const LineShape& shape)
{
    const auto shortest = [](const Run& r) { return convert::kernels::kStreamingBytes * r.pixels / r.bytes; };
    return uint32_t(std::min(shortest(shape.src), shortest(shape.dst)) + 37);
}

constexpr size_t kMaxGap = 64;

// Source and destination placements: `gaps` offsets from the front (the source's stepping by 5, so the
// two meet at many relative offsets), then flush against the back guard, where a stray access faults.
std::vector<std::pair<Placement, Placement>> placements(size_t gaps)
{
    std::vector<std::pair<Placement, Placement>> out;
    for (size_t p = 0; p < gaps; ++p)
        out.push_back({{Flush::Front, p * 5 % gaps}, {Flush::Front, p}});
    out.insert(out.end(), {{{Flush::Back, 0}, {Flush::Back, 0}},
                           {{Flush::Back, 0}, {Flush::Front, 0}},
                           {{Flush::Front, 0}, {Flush::Back, 0}},
                           {{Flush::Back, 3}, {Flush::Back, 5}}});
    return out;
}

// A long run streams: a destination on a 64-byte boundary takes whole-register stores, one 16 bytes past
// it pieces of 16 bytes, an odd one ordinary stores.
std::vector<std::pair<Placement, Placement>> streamingPlacements()
{
    std::vector<std::pair<Placement, Placement>> out = placements(2);
    out.insert(out.end(), {{{Flush::Front, 3}, {Flush::Front, 16}}, {{Flush::Front, 0}, {Flush::Front, 48}}});
    return out;
}

std::string describe(const Placement& p)
{
    return std::string(p.flush == Flush::Front ? "front+" : "back+") + std::to_string(p.gap);
}

} // namespace

::testing::AssertionResult matchesReference(const LineShape& shape, const Path& path, const Path& reference,
                                            const std::vector<uint32_t>& counts)
{
    for (uint32_t count : counts) {
        const size_t srcBytes = shape.src.of(count), dstBytes = shape.dst.of(count);
        std::vector<uint8_t> source(srcBytes);
        shape.fill(source.data(), srcBytes, count);
        const std::vector<uint8_t> before = randomBytes(dstBytes, count ^ 0x5555u);
        std::vector<uint8_t> expected = before;
        if (count)
            reference(source.data(), expected.data(), count, shape.arg);
        // Every offset where a run ends one pixel into a block of 16, and for the long runs.
        const bool wide = count > kCountsThroughUnits || count % 16 == 1;
        GuardedBuffer src(srcBytes, {Flush::Front, 0}, kMaxGap), dst(dstBytes, {Flush::Front, 0}, kMaxGap);
        for (const auto& [sp, dp] : std::max(srcBytes, dstBytes) >= convert::kernels::kStreamingBytes
                                        ? streamingPlacements()
                                        : placements(wide ? 64 : 8)) {
            src.place(sp);
            std::copy(source.begin(), source.end(), src.data());
            src.makeReadOnly();
            dst.place(dp);
            std::copy(before.begin(), before.end(), dst.data());
            path(src.data(), dst.data(), count, shape.arg);
            const bool intact = dst.surroundingsIntact();
            const ::testing::AssertionResult same = sameBytes(expected.data(), dst.data(), dstBytes);
            if (!intact || !same) {
                return ::testing::AssertionFailure()
                       << "count " << count << ", source " << describe(sp) << ", destination " << describe(dp)
                       << ": " << (intact ? same.message() : "wrote outside the run");
            }
        }
    }
    return ::testing::AssertionSuccess();
}

std::function<void(uint8_t*, size_t, uint32_t)> mixedSamples(size_t sampleBytes)
{
    if (sampleBytes == 0)
        return fillRandom;
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

// The export as a path that must return 0.
Path exportPath(ExportedLine exported)
{
    return [exported](const uint8_t* s, uint8_t* d, uint32_t count, uint32_t unusedBits) {
        EXPECT_EQ(0u, exported(s, d, count, unusedBits)) << "count " << count;
    };
}

// The valid unusedBits worth a sweep: all of them, or the ends and the middle of a long range.
std::vector<uint32_t> unusedBitsToTest(const LineCase& c)
{
    if (c.maxUnusedBits == kAnyUnusedBits)
        return {0, 5};
    std::vector<uint32_t> bits;
    for (uint32_t a = 0, m = c.maxUnusedBits; a <= m; ++a) {
        if (m <= 11 || a < 2 || a + 2 > m || a == m / 2 || a == m / 2 + 1)
            bits.push_back(a);
    }
    return bits;
}

bool vectorRuleTaken(const LineCase& c, uint32_t unusedBits)
{
    switch (c.vectorWhen) {
    case VectorWhen::Never: return false;
    case VectorWhen::Mmx: return VyrUtilIsMMX();
    case VectorWhen::MmxNoUnusedBits: return VyrUtilIsMMX() && unusedBits == 0;
    case VectorWhen::MmxAndSse: return VyrUtilIsMMX() && VyrUtilIsSSE();
    }
    return false;
}

// The vector paths convert only where their export would take them.
bool vectorPathsRun(const LineCase& c, uint32_t unusedBits)
{
    return !(c.vectorWhen == VectorWhen::MmxNoUnusedBits && unusedBits != 0);
}

LineFn vectorRule(const LineCase& c) { return c.vectorRule ? c.vectorRule : c.rule.fn; }

} // namespace

void expectFollowsItsRules(const LineCase& c, Isa isa, const std::vector<Telling>& telling, uint32_t countsTo)
{
    ASSERT_EQ(c.vectorWhen != VectorWhen::Never, c.paths->hasVectorRule()) << "a vector rule in the table";
    const std::vector<uint32_t> bits = unusedBitsToTest(c);
    for (uint32_t a : bits) {
        const LineShape shape{c.rule.src, c.rule.dst, a, mixedSamples(c.sampleBytes)};
        const bool edge = a == bits.front() || (a == bits.back() && c.maxUnusedBits != kAnyUnusedBits);
        const std::vector<uint32_t> counts = edge ? countsUpTo(countsTo) : countsUpTo(17, {1000});
        for (const auto& p : pathsAt(*c.paths, isa)) {
            if (p.vectorRule && !vectorPathsRun(c, a))
                continue;
            const LineFn rule = p.vectorRule ? vectorRule(c) : c.rule.fn;
            EXPECT_TRUE(matchesReference(shape, p.fn, rule, counts)) << p.name << ", unusedBits " << a;
            if (a == 0 && (p.vectorRule || isa != convert::kPlain)) {
                EXPECT_TRUE(matchesReference(shape, p.fn, rule, {streamingCount(shape)})) << p.name;
            }
        }
        if (isa == convert::kPlain) {
            const LineFn rule = vectorRuleTaken(c, a) ? vectorRule(c) : c.rule.fn;
            EXPECT_TRUE(matchesReference(shape, exportPath(c.exported), rule, countsUpTo(8, {91, 1000})))
                << "export, unusedBits " << a;
        }
    }
    for (const Telling& t : telling) {
        if (std::string(t.converter) != c.name)
            continue;
        for (const auto& p : pathsAt(*c.paths, isa)) {
            if (p.vectorRule && !vectorPathsRun(c, t.unusedBits))
                continue;
            const std::vector<uint8_t>& want = p.vectorRule && !t.wantVector.empty() ? t.wantVector : t.want;
            std::vector<uint8_t> out(want.size(), 0xAA);
            p.fn(t.src.data(), out.data(), uint32_t(t.src.size() / c.rule.src.bytes * c.rule.src.pixels),
                 t.unusedBits);
            EXPECT_EQ(want, out) << "unusedBits " << t.unusedBits << ", " << p.name;
        }
    }
}

// ---- Every input --------------------------------------------------------------------------------------

namespace {

// Under qemu (i386) and AddressSanitizer every 61st input: each byte still takes all 256 values.
#if defined(__i386__) || defined(__SANITIZE_ADDRESS__) || defined(VYR_THREAD_SANITIZER)
constexpr uint32_t kSweepStride = 61;
#else
constexpr uint32_t kSweepStride = 1;
#endif

// Runs job(i) for i in [0, n) on all processors; the failure of the lowest failing i is returned.
template <class Job>
::testing::AssertionResult inParallel(uint32_t n, Job job)
{
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<::testing::AssertionResult> results(n, ::testing::AssertionSuccess());
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (uint32_t i = t; i < n; i += threads)
                results[i] = job(i);
        });
    }
    for (std::thread& w : workers)
        w.join();
    for (const ::testing::AssertionResult& r : results) {
        if (!r)
            return r;
    }
    return ::testing::AssertionSuccess();
}

// Every input at one unusedBits: the paths of either rule against it, and at plain the vector rule
// against the scalar rule as the case's `differ` allows.
::testing::AssertionResult sweepEveryInput(const LineCase& c, Isa isa, uint32_t a)
{
    const Run in = c.rule.src, out = c.rule.dst;
    // A source unit of one or two bytes takes every value once (an input is a unit); otherwise whole
    // units of every sampled layout (up to 4 pixels a unit), so no line ends inside one.
    const bool small = in.bytes < 3 && !c.sweepInput;
    const uint32_t perInput = small ? in.pixels : 1;
    const uint32_t inputs = small
                                ? 1u << 8 * in.bytes
                                : (((1u << 24) + kSweepStride - 1) / kSweepStride + 3) / 4 * 4 * kSweepStride;
    const LineInput put = [&](uint8_t* src, uint32_t, uint32_t i, uint32_t n) {
        if (c.sweepInput)
            return c.sweepInput(src, i, n);
        uint8_t* p = src + in.bytes * i;
        for (uint32_t k = 0; k < std::min(in.bytes, 3u); ++k)
            p[k] = uint8_t(n >> 8 * k);
        if (in.bytes == 4)
            p[3] = uint8_t((n * 2654435761u) >> 24);
    };
    const auto perUnit = [perInput](LineFn fn) -> Path {
        return [=](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) { fn(s, d, n * perInput, arg); };
    };
    // The vector rule's bytes, but where the rules differ otherwise than stated a byte that neither gives.
    const Path asStated = [&](const uint8_t* s, uint8_t* d, uint32_t n, uint32_t arg) {
        std::vector<uint8_t> scalar(out.of(n));
        c.rule.fn(s, scalar.data(), n, arg);
        vectorRule(c)(s, d, n, arg);
        for (uint32_t i = 0; i < n; ++i) {
            if (!c.differ(s + in.bytes * i, &scalar[out.bytes * i], d + out.bytes * i))
                d[out.bytes * i] ^= 0xFF;
        }
    };
    for (bool vector : {false, true}) {
        std::vector<std::pair<std::string, Path>> paths;
        for (const auto& p : pathsAt(*c.paths, isa)) {
            if (p.vectorRule == vector && (!vector || vectorPathsRun(c, a)))
                paths.emplace_back(p.name, perUnit(p.fn));
        }
        if (vector && c.differ && isa == convert::kPlain)
            paths.emplace_back("the rules' differences as stated", asStated);
        if (paths.empty())
            continue;
        const Run units{in.bytes, small ? 1 : in.pixels}, unitsOut{out.bytes * perInput, out.pixels};
        const Path reference = perUnit(vector ? vectorRule(c) : c.rule.fn);
        if (::testing::AssertionResult r = sweepPaths(inputs, units, unitsOut, put, reference, paths, a); !r)
            return r;
    }
    return ::testing::AssertionSuccess();
}

} // namespace

::testing::AssertionResult sweepEveryInput(const LineCase& c, Isa isa)
{
    const uint32_t a = c.maxUnusedBits == kAnyUnusedBits ? 5 : 0;
    for (uint32_t bits = a; bits <= (a == 0 ? c.maxUnusedBits : a); ++bits) {
        if (::testing::AssertionResult r = sweepEveryInput(c, isa, bits); !r)
            return r << ", unusedBits " << bits;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sweepPaths(uint32_t inputs, const Run& in, const Run& out, const LineInput& put,
                                      const Path& reference,
                                      const std::vector<std::pair<std::string, Path>>& paths, uint32_t arg)
{
    constexpr uint32_t kLine = 1 << 16;
    const uint32_t stride = inputs > kLine ? kSweepStride : 1, swept = (inputs + stride - 1) / stride;
    return inParallel((swept + kLine - 1) / kLine, [&](uint32_t line) -> ::testing::AssertionResult {
        const uint32_t first = line * kLine, count = std::min(kLine, swept - first);
        GuardedBuffer src(in.of(count), {Flush::Back, 0});
        for (uint32_t i = 0; i < count; ++i)
            put(src.data(), count, i, (first + i) * stride);
        src.makeReadOnly();
        const size_t bytes = out.of(count);
        std::vector<uint8_t> expected(bytes, 0xC3);
        reference(src.data(), expected.data(), count, arg);
        GuardedBuffer dst(bytes, {Flush::Back, 0});
        for (const auto& [name, path] : paths) {
            std::fill(dst.data(), dst.data() + bytes, uint8_t(0xC3));
            path(src.data(), dst.data(), count, arg);
            const ::testing::AssertionResult same = sameBytes(expected.data(), dst.data(), bytes);
            if (!dst.surroundingsIntact() || !same)
                return ::testing::AssertionFailure() << name << ", line " << line << ": "
                                                     << (same ? "wrote outside its run" : same.message());
        }
        return ::testing::AssertionSuccess();
    });
}

} // namespace vyr::test
