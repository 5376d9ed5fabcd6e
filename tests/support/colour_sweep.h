// Sweeps of colour converters over every 24-bit input: the three low bytes of each 4-byte source
// pixel take every value (B, G, R of RGB8888; V, S, H of HSV), the fourth byte varies. Lines
// run on several threads, each source and destination in guard-page buffers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bytes.h"
#include "convert/line.h"
#include "guarded_buffer.h"
#include "line_harness.h"

#if defined(__i386__) && !defined(__SSE2_MATH__)
#include <fpu_control.h>
#endif

namespace vyr::test {

// Natively every input. Under qemu (the i386 build) and AddressSanitizer every 61st: 61 is odd, so
// each of the three bytes still takes all 256 values, in 275,000 mixed colours.
inline uint32_t colourSweepStride()
{
#if defined(__i386__) || defined(__SANITIZE_ADDRESS__)
    return 61;
#else
    return 1;
#endif
}

constexpr uint32_t kColourInputs = 1u << 24;
constexpr uint32_t kSweepLinePixels = 4096;

// A line of the sweep: its pixels, the input number of each, and its thread's destination.
struct SweepLine {
    const uint8_t* pixels;
    uint32_t count;
    std::vector<uint32_t> inputs;
    std::unique_ptr<GuardedBuffer>* destination;
};

// Calls check on every line of the sweep, spread over threads; the failure of the earliest
// failing line is returned.
inline ::testing::AssertionResult
sweepColours(const std::function<::testing::AssertionResult(const SweepLine&)>& check)
{
    const uint32_t stride = colourSweepStride();
    const uint32_t inputs = (kColourInputs + stride - 1) / stride;
    const uint32_t lines = (inputs + kSweepLinePixels - 1) / kSweepLinePixels;
    const unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<uint32_t> firstFailure(threads, lines);
    std::vector<std::string> messages(threads);

    auto work = [&](unsigned t) {
        std::unique_ptr<GuardedBuffer> src, dst;
        for (uint32_t line = t; line < lines && line < firstFailure[t]; line += threads) {
            SweepLine sweep{nullptr, std::min(kSweepLinePixels, inputs - line * kSweepLinePixels), {}, &dst};
            if (!src || src->size() != size_t(4) * sweep.count)
                src = std::make_unique<GuardedBuffer>(size_t(4) * sweep.count, Placement{Flush::Back, 0});
            for (uint32_t i = 0; i < sweep.count; ++i) {
                const uint32_t input = (line * kSweepLinePixels + i) * stride;
                sweep.inputs.push_back(input);
                uint8_t* p = src->data() + 4 * i;
                p[0] = uint8_t(input);
                p[1] = uint8_t(input >> 8);
                p[2] = uint8_t(input >> 16);
                p[3] = uint8_t((input * 2654435761u) >> 24);
            }
            sweep.pixels = src->data();
            const ::testing::AssertionResult result = check(sweep);
            if (!result) {
                firstFailure[t] = line;
                messages[t] = result.message();
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work, t);
    for (std::thread& thread : pool)
        thread.join();
    const size_t worst =
        size_t(std::min_element(firstFailure.begin(), firstFailure.end()) - firstFailure.begin());
    if (firstFailure[worst] == lines)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "line " << firstFailure[worst] << ": " << messages[worst];
}

// What a path writes for a sweep line into a destination flush against its guard page and
// filled with a pattern first, or null where it wrote outside its run.
inline const uint8_t* convertGuarded(convert::LineFn path, const SweepLine& line, size_t dstBpp)
{
    std::unique_ptr<GuardedBuffer>& dst = *line.destination;
    if (!dst || dst->size() != dstBpp * line.count)
        dst = std::make_unique<GuardedBuffer>(dstBpp * line.count, Placement{Flush::Back, 0});
    std::fill(dst->data(), dst->data() + dst->size(), uint8_t(0xC3));
    path(line.pixels, dst->data(), line.count, 0);
    return dst->surroundingsIntact() ? dst->data() : nullptr;
}

// The first byte of a sweep line that differs, with its input.
inline ::testing::AssertionResult sameSweepPixels(const std::string& name, const SweepLine& line,
                                                  const uint8_t* actual, const uint8_t* expected,
                                                  size_t dstBpp)
{
    if (!actual)
        return ::testing::AssertionFailure() << name << " wrote outside its run";
    for (size_t i = 0; i < dstBpp * line.count; ++i) {
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure()
                   << name << ", input 0x" << std::hex << line.inputs[i / dstBpp] << std::dec << ", byte "
                   << i % dstBpp << ": " << int(actual[i]) << ", expected " << int(expected[i]);
    }
    return ::testing::AssertionSuccess();
}

// Every path leaves, for every input, the bytes the reference gives.
inline ::testing::AssertionResult
sweepMatches(const std::vector<std::pair<std::string, convert::LineFn>>& paths, convert::LineFn reference,
             size_t dstBpp)
{
    return sweepColours([&](const SweepLine& line) -> ::testing::AssertionResult {
        std::vector<uint8_t> expected(dstBpp * line.count);
        reference(line.pixels, expected.data(), line.count, 0);
        for (const auto& [name, path] : paths) {
            const ::testing::AssertionResult same =
                sameSweepPixels(name, line, convertGuarded(path, line, dstBpp), expected.data(), dstBpp);
            if (!same)
                return same;
        }
        return ::testing::AssertionSuccess();
    });
}

using ExportFn = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);

// The export converts 4-byte source pixels as the reference does, ignores unusedBits, returns 0,
// and touches nothing for a count of 0.
inline void expectExportFollows(ExportFn exported, convert::LineFn reference, size_t dstBpp)
{
    const std::vector<uint8_t> src = randomBytes(4 * 77, 7);
    std::vector<uint8_t> expected(77 * dstBpp, 0x11), actual(77 * dstBpp, 0x11);
    reference(src.data(), expected.data(), 77, 0);
    EXPECT_EQ(0u, exported(src.data(), actual.data(), 77, 5));
    EXPECT_TRUE(sameBytes(expected.data(), actual.data(), expected.size()));

    GuardedBuffer none(0, {Flush::Front, 0});
    EXPECT_EQ(0u, exported(none.data(), none.data(), 0, 0));
    EXPECT_TRUE(none.surroundingsIntact());
}

// A pixel of known bytes: in[] and the outputs in the order of bytes 2, 1, 0 of a pixel (R, G, B;
// H, S, V; L, a, b). Every path gives its own output; the fourth byte comes out 0.
struct Known {
    uint8_t in[3];
    uint8_t scalar[3];
    uint8_t vector[3];
};

inline void expectKnown(const convert::Paths& paths, const std::vector<Known>& known)
{
    std::vector<std::pair<std::string, convert::LineFn>> all = {{"scalar", paths.scalar}};
    for (auto [isa, path] : runnableVariants(paths))
        all.emplace_back(convert::isaName(isa), path);
    for (const Known& k : known) {
        for (const auto& [name, path] : all) {
            const uint8_t src[4] = {k.in[2], k.in[1], k.in[0], 0x5A};
            uint8_t dst[4] = {1, 2, 3, 4};
            path(src, dst, 1, 0);
            const uint8_t* want = path == paths.scalar ? k.scalar : k.vector;
            const uint8_t expected[4] = {want[2], want[1], want[0], 0};
            EXPECT_TRUE(sameBytes(expected, dst, 4))
                << name << ", in " << int(k.in[0]) << ", " << int(k.in[1]) << ", " << int(k.in[2]);
        }
    }
}

// References stated in double precision compute in it on the x87 too (precision control 53 bits),
// and call the C runtime's pow in the mode it was written for.
class DoubleArithmetic {
public:
#if defined(__i386__) && !defined(__SSE2_MATH__)
    DoubleArithmetic()
    {
        _FPU_GETCW(saved_);
        set((saved_ & ~_FPU_EXTENDED) | _FPU_DOUBLE);
    }
    ~DoubleArithmetic() { set(saved_); }
    double pow(double x, double y) const
    {
        fpu_control_t own;
        _FPU_GETCW(own);
        set(saved_);
        const double result = std::pow(x, y);
        set(own);
        return result;
    }

private:
    static void set(fpu_control_t cw) { _FPU_SETCW(cw); }
    fpu_control_t saved_;
#else
    DoubleArithmetic() {}
    ~DoubleArithmetic() {}
    double pow(double x, double y) const { return std::pow(x, y); }
#endif
};

} // namespace vyr::test
