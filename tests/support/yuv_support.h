// Independent references of the YUV equations, and sweeps the YUV tests share: every destination
// address within a 32-byte window, and all Y, U, V triples spread over threads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <thread>
#include <vector>

#include "bytes.h"
#include "convert/kernels/simd.h"
#include "guarded_buffer.h"
#include "line_harness.h"

namespace vyr::test {

// ---- The equations, written from their definitions -------------------------------------------

inline int floorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

inline uint8_t clamp255(int v)
{
    return static_cast<uint8_t>(std::min(255, std::max(0, v)));
}

struct RefBgr {
    uint8_t b, g, r;
};

// B = Y + 1.7790 u, G = Y - 0.3455 u - 0.7169 v, R = Y + 1.4075 v in units of 1/16384, rounded down.
inline RefBgr refYuvToBgr(int y, int u, int v)
{
    const int du = u - 128, dv = v - 128;
    return {clamp255(floorDiv(16384 * y + 29147 * du, 16384)),
            clamp255(floorDiv(16384 * y - 5661 * du - 11746 * dv, 16384)),
            clamp255(floorDiv(16384 * y + 23060 * dv, 16384))};
}

// How a reference writes the fourth byte of RGB8888 and YUV pixels.
enum class X { Keep, Zero };

// Destination pixel kinds of the YUV decoders.
enum class Out { Mono8, Rgb8888, Rgb888, Yuv };

constexpr size_t outBytes(Out o)
{
    return o == Out::Mono8 ? 1 : o == Out::Rgb888 ? 3 : 4;
}

template <Out O, X Fourth>
void putPixel(uint8_t* p, int y, int u, int v)
{
    if constexpr (O == Out::Mono8) {
        p[0] = uint8_t(y);
    } else if constexpr (O == Out::Yuv) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(u);
        p[2] = uint8_t(y);
    } else {
        const RefBgr c = refYuvToBgr(y, u, v);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
    if constexpr (O == Out::Rgb8888 || O == Out::Yuv) {
        if (Fourth == X::Zero)
            p[3] = 0;
    }
}

// ---- Sweeps ---------------------------------------------------------------------------------

// Emulated (qemu) and instrumented (sanitizer) builds run every stride-th case of the exhaustive
// sweeps; the stride is odd, so every value of every sample still occurs.
#if defined(__SANITIZE_ADDRESS__) || defined(__i386__)
constexpr unsigned kExhaustiveStride = 61;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr unsigned kExhaustiveStride = 61;
#else
constexpr unsigned kExhaustiveStride = 1;
#endif
#else
constexpr unsigned kExhaustiveStride = 1;
#endif

// Runs job(i) for i in [0, n) on all processors; the failures the jobs report are gathered.
template <class Job>
::testing::AssertionResult inParallel(unsigned n, Job job)
{
    const unsigned threads = std::max(1u, std::min(n, std::thread::hardware_concurrency()));
    std::vector<std::string> failures(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (unsigned i = t; i < n && failures[t].empty(); i += threads) {
                ::testing::AssertionResult r = job(i);
                if (!r)
                    failures[t] = r.message();
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
    for (const std::string& f : failures) {
        if (!f.empty())
            return ::testing::AssertionFailure() << f;
    }
    return ::testing::AssertionSuccess();
}

// The path leaves what the reference leaves, and nothing around either run, with the source and
// the destination at each of the given offsets from a page start.
inline ::testing::AssertionResult matchesAtOffsets(const LineSpec& shape, LineFn path, LineFn reference,
                                                   const std::vector<uint32_t>& counts,
                                                   const std::vector<size_t>& srcOffsets,
                                                   const std::vector<size_t>& dstOffsets)
{
    for (uint32_t count : counts) {
        const size_t srcBytes = shape.srcBytes(count), dstBytes = shape.dstBytes(count);
        const std::vector<uint8_t> source = randomBytes(srcBytes, count + 101);
        const std::vector<uint8_t> before = randomBytes(dstBytes, count + 202);
        std::vector<uint8_t> expected = before;
        reference(source.data(), expected.data(), count, shape.unusedBits);
        for (size_t so : srcOffsets) {
            GuardedBuffer src(srcBytes, {Flush::Front, so});
            std::copy(source.begin(), source.end(), src.data());
            src.makeReadOnly();
            for (size_t dof : dstOffsets) {
                GuardedBuffer dst(dstBytes, {Flush::Front, dof});
                std::copy(before.begin(), before.end(), dst.data());
                path(src.data(), dst.data(), count, shape.unusedBits);
                std::ostringstream where;
                where << "count " << count << ", source offset " << so << ", destination offset " << dof;
                if (!dst.surroundingsIntact())
                    return ::testing::AssertionFailure() << "wrote outside the run at " << where.str();
                auto same = sameBytes(expected.data(), dst.data(), dstBytes);
                if (!same)
                    return ::testing::AssertionFailure() << where.str() << ": " << same.message();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

inline std::vector<size_t> offsetsUpTo(size_t n)
{
    std::vector<size_t> offsets(n);
    for (size_t i = 0; i < n; ++i)
        offsets[i] = i;
    return offsets;
}

// Destinations at every offset 0..31 from a page start (every 16- and 32-byte phase), sources at 0..1.
inline ::testing::AssertionResult matchesAtEveryOffset(const LineSpec& shape, LineFn path, LineFn reference,
                                                       const std::vector<uint32_t>& counts)
{
    return matchesAtOffsets(shape, path, reference, counts, offsetsUpTo(2), offsetsUpTo(32));
}

// Runs long enough for streaming stores, into an aligned destination and two that are not.
inline ::testing::AssertionResult matchesOnLongRuns(const LineSpec& shape, LineFn path, LineFn reference,
                                                    size_t dstBytesPerPixel)
{
    const uint32_t n = uint32_t(kernels::kStreamingBytes / dstBytesPerPixel + 38);
    return matchesAtOffsets(shape, path, reference, {n, n + 5}, {0, 1}, {0, 4, 8});
}

// ---- What every YUV converter is held to ---------------------------------------------------

// The scalar path follows the scalar rule; kernel variants exist exactly where the converter has a
// vector path, and each follows the vector rule at every count, placement and offset, and on runs
// long enough for streaming stores.
inline void expectEveryPathFollowsItsRule(const LineSpec& shape, const convert::Paths& paths,
                                          LineFn scalarReference, LineFn vectorReference,
                                          size_t dstBytesPerPixel)
{
    const auto counts = countsUpTo(40, {63, 64, 65, 255, 1000, 4099});
    EXPECT_TRUE(matchesReference(shape, paths.scalar, scalarReference, counts)) << "scalar path";
    const auto variants = runnableVariants(paths);
    EXPECT_EQ(vectorReference == nullptr, variants.empty())
        << "a vector path exactly where the rules give one";
    for (auto [isa, path] : variants) {
        EXPECT_TRUE(matchesReference(shape, path, vectorReference, counts)) << convert::isaName(isa);
        EXPECT_TRUE(matchesAtEveryOffset(shape, path, vectorReference, {3, 34, 67})) << convert::isaName(isa);
        if (isa != convert::kPlain) {
            EXPECT_TRUE(matchesOnLongRuns(shape, path, vectorReference, dstBytesPerPixel))
                << convert::isaName(isa);
        }
    }
}

using Export = uint32_t (*)(const void*, void*, uint32_t, uint32_t);

// The export runs the vector rule where the processor reports MMX (and meets the converter's own
// condition) and the scalar rule elsewhere, returns 0, and with a count of 0 touches nothing.
inline void expectExportTakesTheProcessorsPath(Export exported, const LineSpec& shape, LineFn scalarReference,
                                               LineFn vectorReference, bool vectorCondition = true)
{
    const uint32_t count = 91;
    const std::vector<uint8_t> src = randomBytes(shape.srcBytes(count), 5);
    std::vector<uint8_t> expected(shape.dstBytes(count), 0x3C), actual(shape.dstBytes(count), 0x3C);
    const LineFn reference =
        VyrUtilIsMMX() && vectorCondition && vectorReference ? vectorReference : scalarReference;
    reference(src.data(), expected.data(), count, shape.unusedBits);
    EXPECT_EQ(0u, exported(src.data(), actual.data(), count, shape.unusedBits));
    EXPECT_TRUE(sameBytes(expected.data(), actual.data(), expected.size()));

    GuardedBuffer none(0, {Flush::Front, 0});
    EXPECT_EQ(0u, exported(none.data(), none.data(), 0, shape.unusedBits));
    EXPECT_TRUE(none.surroundingsIntact());
}

} // namespace vyr::test
