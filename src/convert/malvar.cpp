#include "convert/malvar.h"

#include <algorithm>

#include "convert/kernels/malvar_kernels.h"

namespace vyr::convert {
namespace {

using kernels::MalvarLines;

// Column indices: as they are, or reflected about the edge columns without repeating them.
struct Direct {
    int64_t operator()(int64_t j) const { return j; }
};

struct Reflect {
    int64_t last;
    int64_t operator()(int64_t j) const { return j < 0 ? -j : j > last ? 2 * last - j : j; }
};

// ---- The rule, pixel by pixel ---------------------------------------------------------------------

template <class S, class Out, class Columns>
inline void malvarPixel(const MalvarLines& l, const OutputLine& out, int64_t x, uint32_t phase, Columns col)
{
    auto at = [&](const uint8_t* line, int64_t j) { return int32_t(S::load(line, col(j))); };
    const int32_t c = at(l.centre, x);
    const int32_t h1 = at(l.centre, x - 1) + at(l.centre, x + 1);
    const int32_t h2 = at(l.centre, x - 2) + at(l.centre, x + 2);
    const int32_t v1 = at(l.north, x) + at(l.south, x);
    const int32_t v2 = at(l.top, x) + at(l.bottom, x);
    const int32_t d = at(l.north, x - 1) + at(l.north, x + 1) + at(l.south, x - 1) + at(l.south, x + 1);
    // Numerators over 16, divided by an arithmetic shift (toward minus infinity).
    auto estimate = [&](kernels::MalvarEstimate e) -> int32_t {
        switch (e) {
        case kernels::kCentre: return c;
        case kernels::kGreenAtColour: return (8 * c + 4 * (h1 + v1) - 2 * (h2 + v2)) >> 4;
        case kernels::kOpposite: return (12 * c + 4 * d - 3 * (h2 + v2)) >> 4;
        case kernels::kLeftRight: return (10 * c + 8 * h1 - 2 * h2 - 2 * d + v2) >> 4;
        default: return (10 * c + 8 * v1 - 2 * v2 - 2 * d + h2) >> 4;
        }
    };
    auto clamped = [&](kernels::MalvarEstimate e) { return uint32_t(std::clamp(estimate(e), 0, S::kMax)); };
    const kernels::MalvarAssignment& a = kernels::kMalvarAssignments[phase & 3];
    Out::put(out, size_t(x), clamped(a.red), clamped(a.green), clamped(a.blue));
}

// Pixels from..to-1 with plain sums; phase is that of column from.
template <class S, class Out>
struct ScalarRun {
    static void run(const MalvarLines& l, const OutputLine& output, uint32_t from, uint32_t to,
                    uint32_t phase)
    {
        const OutputLine out = output; // a copy: the stores could otherwise alias the caller's pointers
        for (uint32_t x = from; x < to; ++x, phase ^= 1)
            malvarPixel<S, Out>(l, out, x, phase, Direct{});
    }
};

// Whole blocks through a kernel; the rest as one more block that ends with the run, over pixels already
// written (their bytes come out the same), or by the scalar rule where the run is shorter than a block.
template <class S, class Out, uint32_t Block, class Kernel>
struct KernelRun {
    static void run(const MalvarLines& l, const OutputLine& out, uint32_t from, uint32_t to, uint32_t phase)
    {
        const uint32_t m = (to - from) / Block * Block;
        if (m == 0) {
            ScalarRun<S, Out>::run(l, out, from, to, phase);
            return;
        }
        Kernel::run(l, out, from, m, phase);
        if (from + m < to)
            Kernel::run(l, out, to - Block, Block, phase ^ ((to - Block - from) & 1));
    }
};

template <void (*Fn)(const MalvarLines&, uint8_t*, size_t, size_t, uint32_t)>
struct PackedKernel {
    static void run(const MalvarLines& l, const OutputLine& out, size_t x0, size_t n, uint32_t phase)
    {
        Fn(l, out.at[0], x0, n, phase);
    }
};

template <void (*Fn)(const MalvarLines&, uint8_t*, uint8_t*, uint8_t*, size_t, size_t, uint32_t)>
struct PlanarKernel {
    static void run(const MalvarLines& l, const OutputLine& out, size_t x0, size_t n, uint32_t phase)
    {
        Fn(l, out.at[0], out.at[1], out.at[2], x0, n, phase);
    }
};

template <class S, class Out, class Run>
uint32_t malvar(const uint8_t* const* src, const OutputLine& out, uint32_t width, uint32_t phase,
                int32_t rowBorder, uint32_t border)
{
    MalvarLines l{src[0], src[1], src[2], src[3], src[4]};
    if (!border) {
        Run::run(l, out, 0, width, phase);
        return 0;
    }
    if (width < 4)
        return kMalvarTooNarrow;
    // Lines above the image are the lines below it, mirrored about the output line.
    if (rowBorder == -1) {
        l.top = l.bottom;
    } else if (rowBorder == -2) {
        l.top = l.bottom;
        l.north = l.south;
    } else if (rowBorder != 0) {
        return kMalvarBadRowBorder;
    }
    const Reflect edges{int64_t(width) - 1};
    for (uint32_t x : {0u, 1u})
        malvarPixel<S, Out>(l, out, x, phase ^ (x & 1), edges);
    Run::run(l, out, 2, width - 2, phase);
    for (uint32_t x : {width - 2, width - 1})
        malvarPixel<S, Out>(l, out, x, phase ^ (x & 1), edges);
    return 0;
}

template <class S, class Out, uint32_t Block, class Kernel>
constexpr MalvarFn kernelPath = malvar<S, Out, KernelRun<S, Out, Block, Kernel>>;

template <class S, class Out>
constexpr MalvarFn scalarPath = malvar<S, Out, ScalarRun<S, Out>>;

using PackedKeep = PackedOut<fmt::Fourth::Keep>;

} // namespace

const MalvarPaths kBayer8MalvarToRgb8888 = {
    scalarPath<Bayer8, PackedKeep>,
    {nullptr, VYR_KERNEL(kernelPath<Bayer8, PackedKeep, 8, PackedKernel<kernels::malvar8ToRgb8888Sse2>>),
     nullptr, VYR_KERNEL(kernelPath<Bayer8, PackedKeep, 16, PackedKernel<kernels::malvar8ToRgb8888Avx2>>),
     VYR_KERNEL(kernelPath<Bayer8, PackedKeep, 64, PackedKernel<kernels::malvar8ToRgb8888Avx512>>)}};

const MalvarPaths kBayer8MalvarToPlanar = {
    scalarPath<Bayer8, PlanarOut<Bayer8>>,
    {nullptr,
     VYR_KERNEL(kernelPath<Bayer8, PlanarOut<Bayer8>, 8, PlanarKernel<kernels::malvar8ToPlanarSse2>>),
     nullptr,
     VYR_KERNEL(kernelPath<Bayer8, PlanarOut<Bayer8>, 16, PlanarKernel<kernels::malvar8ToPlanarAvx2>>),
     VYR_KERNEL(kernelPath<Bayer8, PlanarOut<Bayer8>, 64, PlanarKernel<kernels::malvar8ToPlanarAvx512>>)}};

const MalvarPaths kBayer15MalvarToPlanar = {
    scalarPath<Bayer15, PlanarOut<Bayer15>>,
    {nullptr,
     VYR_KERNEL(kernelPath<Bayer15, PlanarOut<Bayer15>, 4, PlanarKernel<kernels::malvar15ToPlanarSse2>>),
     nullptr,
     VYR_KERNEL(kernelPath<Bayer15, PlanarOut<Bayer15>, 8, PlanarKernel<kernels::malvar15ToPlanarAvx2>>),
     VYR_KERNEL(kernelPath<Bayer15, PlanarOut<Bayer15>, 32, PlanarKernel<kernels::malvar15ToPlanarAvx512>>)}};

} // namespace vyr::convert

namespace {

using namespace vyr::convert;

uint32_t runMalvar(const MalvarPaths& paths, const void* src0, const void* src1, const void* src2,
                   const void* src3, const void* src4, const OutputLine& out, uint32_t width, uint32_t phase,
                   int32_t rowBorder, uint32_t border)
{
    const uint8_t* lines[5] = {static_cast<const uint8_t*>(src0), static_cast<const uint8_t*>(src1),
                               static_cast<const uint8_t*>(src2), static_cast<const uint8_t*>(src3),
                               static_cast<const uint8_t*>(src4)};
    return paths.pick(false)(lines, out, width, phase, rowBorder, border);
}

} // namespace

// The exports that write three planes.
#define VYR_MALVAR_PLANAR_EXPORT(name, paths)                                                                \
    VYR_API uint32_t VYR_CALL name(const void* src0, const void* src1, const void* src2, const void* src3,   \
                                   const void* src4, void* dstRed, void* dstGreen, void* dstBlue,            \
                                   uint32_t width, uint32_t phase, int32_t rowBorder, uint32_t border)       \
    {                                                                                                        \
        return runMalvar(paths, src0, src1, src2, src3, src4, planes(dstRed, dstGreen, dstBlue), width,      \
                         phase, rowBorder, border);                                                          \
    }

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_MalvartoRGB8888(const void* src0, const void* src1,
                                                               const void* src2, const void* src3,
                                                               const void* src4, void* dst, uint32_t width,
                                                               uint32_t phase, int32_t rowBorder,
                                                               uint32_t border)
{
    return runMalvar(kBayer8MalvarToRgb8888, src0, src1, src2, src3, src4, {{static_cast<uint8_t*>(dst)}},
                     width, phase, rowBorder, border);
}

VYR_MALVAR_PLANAR_EXPORT(VyrUtilConvertBayer8_MalvartoPlanarRGB, kBayer8MalvarToPlanar)
VYR_MALVAR_PLANAR_EXPORT(VyrUtilConvertBayer15_MalvartoPlanarRGB, kBayer15MalvarToPlanar)

} // extern "C"
