// What the YUV, HSV/HSI and LAB tests share: a converter's paths and export checked against independent
// references at every count and placement, and over every 24-bit input.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "bytes.h"
#include "convert/kernels/simd.h"
#include "convert/line.h"
#include "guarded_buffer.h"
#include "line_harness.h"

#if defined(__i386__) && !defined(__SSE2_MATH__)
#include <fpu_control.h>
#endif

namespace vyr::test {

inline uint8_t clampByte(int v) { return uint8_t(std::min(255, std::max(0, v))); }

inline int floorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

template <size_t N>
size_t bytesPer(uint32_t count)
{
    return N * count;
}

// Writes sweep input `input` into pixel i of a source run.
using PutInput = void (*)(uint8_t* src, uint32_t i, uint32_t input);

struct Converter {
    const char* name;
    const convert::Paths* paths;
    size_t (*srcBytes)(uint32_t count);
    size_t dstBpp;
    LineFn scalarReference;
    LineFn vectorReference; // null: the converter has no vector path
    ExportedLine exported;
    uint32_t unusedBits = 0;
    bool vectorNeedsSse = false;   // the export also asks for the SSE integer extension
    PutInput sweepInput = nullptr; // null: the input's bytes are bytes 0..2 of each pixel
};

inline void PrintTo(const Converter& c, std::ostream* os) { *os << c.name; }

// Each test program instantiates this with its table of converters.
class Converters : public ::testing::TestWithParam<Converter> {};

TEST_P(Converters, EveryPathAndTheExportFollowTheirRules)
{
    const Converter& c = GetParam();
    const LineShape shape{c.srcBytes, bytesPerPixel(c.dstBpp), c.unusedBits};
    const auto counts = countsUpTo(48, {63, 64, 65, 255, 1000, 4099});
    EXPECT_TRUE(matchesReference(shape, c.paths->scalar, c.scalarReference, counts)) << "scalar path";
    ASSERT_EQ(c.vectorReference == nullptr, runnableVariants(*c.paths).empty()) << "vector path without rule";
    expectVariantsFollow(shape, *c.paths, c.vectorReference, counts, true); // none without a rule
    // The export takes the vector rule where the processor reports MMX (and SSE where asked).
    const bool vector = c.vectorReference && VyrUtilIsMMX() && (!c.vectorNeedsSse || VyrUtilIsSSE());
    const LineFn exportRule = vector ? c.vectorReference : c.scalarReference;
    EXPECT_TRUE(matchesReference(shape, exportPath(c.exported), exportRule, countsUpTo(8, {91}))) << "export";
}

// ---- Every input ----------------------------------------------------------------------------------

// Under qemu (i386) and the sanitizers every 61st input: each byte still takes all 256 values.
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

// True where the outputs of the scalar and the vector rule for one input differ only as stated.
using Differ = bool (*)(const uint8_t* in, const uint8_t* scalar, const uint8_t* vector);

// Every path against its reference over every 24-bit input; the rules' outputs held to differ where given.
inline ::testing::AssertionResult sweepEveryInput(const Converter& c, Differ differ = nullptr)
{
    constexpr uint32_t kLine = 1 << 16;
    // Whole units of every sampled layout (up to 4 pixels a unit), so no line ends inside one.
    const uint32_t inputs = (((1u << 24) + kSweepStride - 1) / kSweepStride + 3) / 4 * 4;
    return inParallel((inputs + kLine - 1) / kLine, [&](uint32_t line) -> ::testing::AssertionResult {
        const uint32_t first = line * kLine, count = std::min(kLine, inputs - first);
        GuardedBuffer src(c.srcBytes(count), {Flush::Back, 0});
        const size_t srcBpp = c.srcBytes(1);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t n = (first + i) * kSweepStride;
            uint8_t* p = src.data() + srcBpp * i;
            if (c.sweepInput) {
                c.sweepInput(src.data(), i, n);
                continue;
            }
            p[0] = uint8_t(n), p[1] = uint8_t(n >> 8), p[2] = uint8_t(n >> 16);
            if (srcBpp == 4)
                p[3] = uint8_t((n * 2654435761u) >> 24);
        }
        src.makeReadOnly();
        const size_t bytes = c.dstBpp * count;
        std::vector<uint8_t> scalar(bytes, 0xC3), vector(bytes, 0xC3);
        c.scalarReference(src.data(), scalar.data(), count, c.unusedBits);
        std::vector<std::pair<const char*, LineFn>> paths = {{"scalar", c.paths->scalar}};
        if (c.vectorReference) {
            c.vectorReference(src.data(), vector.data(), count, c.unusedBits);
            for (auto [isa, path] : runnableVariants(*c.paths))
                paths.emplace_back(convert::isaName(isa), path);
        }
        GuardedBuffer dst(bytes, {Flush::Back, 0});
        for (size_t k = 0; k < paths.size(); ++k) {
            const auto [name, path] = paths[k];
            const std::vector<uint8_t>& expected = k == 0 ? scalar : vector;
            std::fill(dst.data(), dst.data() + bytes, uint8_t(0xC3));
            path(src.data(), dst.data(), count, c.unusedBits);
            const ::testing::AssertionResult same = sameBytes(expected.data(), dst.data(), bytes);
            if (!dst.surroundingsIntact() || !same)
                return ::testing::AssertionFailure() << c.name << " " << name << ", line " << line << ": "
                                                     << (same ? "wrote outside its run" : same.message());
        }
        for (uint32_t i = 0; differ && i < count; ++i) {
            const uint8_t *s = &scalar[c.dstBpp * i], *v = &vector[c.dstBpp * i];
            if (!differ(src.data() + srcBpp * i, s, v))
                return ::testing::AssertionFailure() << c.name << ", input " << (first + i) * kSweepStride;
        }
        return ::testing::AssertionSuccess();
    });
}

// Bytes 2, 1, 0 of a 4-byte pixel in and out of the scalar and the vector paths (R, G, B; H, S, V...).
struct Known {
    uint8_t in[3], scalar[3], vector[3];
};

inline void expectKnown(const convert::Paths& paths, const std::vector<Known>& known)
{
    std::vector<std::pair<std::string, LineFn>> all = {{"scalar", paths.scalar}};
    for (auto [isa, path] : runnableVariants(paths))
        all.emplace_back(convert::isaName(isa), path);
    for (const Known& k : known) {
        for (const auto& [name, path] : all) {
            const uint8_t src[4] = {k.in[2], k.in[1], k.in[0], 0x5A};
            uint8_t dst[4] = {1, 2, 3, 4};
            path(src, dst, 1, 0);
            const uint8_t* want = path == paths.scalar ? k.scalar : k.vector;
            const uint8_t expected[3] = {want[2], want[1], want[0]};
            EXPECT_TRUE(sameBytes(expected, dst, 3))
                << name << ", in " << int(k.in[0]) << ", " << int(k.in[1]) << ", " << int(k.in[2]);
        }
    }
}

// Double-precision references on the x87 too (53-bit control), calling pow in the mode it was written for.
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
