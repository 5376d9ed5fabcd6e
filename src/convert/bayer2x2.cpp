#include "convert/bayer2x2.h"

#include <algorithm>

#include "convert/kernels/bayer_kernels.h"

namespace vyr::convert {
namespace {

// ---- The rule, pixel by pixel ---------------------------------------------------------------------

// The sites of one cell phase, resolved to lines once per run.
struct CellSites {
    const uint8_t* red;
    const uint8_t* blue;
    const uint8_t* greenHere;  // green at the cell's first column
    const uint8_t* greenRight; // green at its second column
    uint32_t redColumn, blueColumn;
    bool firstLineGreenHere;

    CellSites(const uint8_t* src0, const uint8_t* src1, uint32_t phase)
    {
        const uint8_t* lines[2] = {src0, src1};
        const CellLayout& cell = kCellLayouts[phase & 3];
        red = lines[cell.redLine];
        blue = lines[cell.blueLine];
        greenHere = lines[cell.greenLineAtFirst];
        greenRight = lines[cell.greenLineAtFirst ^ 1];
        redColumn = cell.redColumn;
        blueColumn = cell.blueColumn;
        firstLineGreenHere = cell.greenLineAtFirst == 0;
    }
};

template <class S, class Out>
inline void cellPixel(const CellSites& c, const OutputLine& out, uint32_t x, bool copyGreen)
{
    const uint32_t here = S::load(c.greenHere, x), right = S::load(c.greenRight, x + 1);
    // Copying takes the green of the first line, whichever column holds it.
    const uint32_t green = copyGreen ? (c.firstLineGreenHere ? here : right) : (here + right + 1) >> 1;
    Out::put(out, x, S::load(c.red, x + c.redColumn), green, S::load(c.blue, x + c.blueColumn));
}

// Columns from..to-1; from is even, so the phases of even and odd columns are fixed.
template <class S, class Out>
void cellRun(const uint8_t* src0, const uint8_t* src1, const OutputLine& output, uint32_t from, uint32_t to,
             uint32_t phase, bool copyGreen)
{
    // Local copies: the byte stores could otherwise alias the caller's pointers.
    const OutputLine out = output;
    const CellSites even(src0, src1, phase), odd(src0, src1, phase ^ 1);
    uint32_t x = from;
    for (; x + 2 <= to; x += 2) {
        cellPixel<S, Out>(even, out, x, copyGreen);
        cellPixel<S, Out>(odd, out, x + 1, copyGreen);
    }
    if (x < to)
        cellPixel<S, Out>(even, out, x, copyGreen);
}

// The last column has no cell to its right: the cell to its left gives red and blue, and the
// column's own green is taken alone.
template <class S, class Out>
void borderPixel(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t x, uint32_t phase)
{
    const uint8_t* lines[2] = {src0, src1};
    const CellLayout& cell = kCellLayouts[phase & 3];
    Out::put(out, x, S::load(lines[cell.redLine], ptrdiff_t(x) - cell.redColumn),
             S::load(lines[cell.greenLineAtFirst], x),
             S::load(lines[cell.blueLine], ptrdiff_t(x) - cell.blueColumn));
}

// ---- The vector rule in plain C++: what the kernels compute ------------------------------------------

template <class S>
uint32_t vectorLimit(uint32_t v)
{
    return std::min<uint32_t>(v, S::kMax);
}

template <class S>
void evenSitesPlain(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x)
        S::store(out, x, vectorLimit<S>(S::load(s, x + (x & 1))));
}

template <class S>
void oddSitesPlain(const uint8_t* s, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x)
        S::store(out, x, vectorLimit<S>(S::load(s, x | 1)));
}

template <class S>
void greenPlain(const uint8_t* gEven, const uint8_t* gOdd, uint8_t* out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x)
        S::store(out, x, vectorLimit<S>((S::load(gEven, x + (x & 1)) + S::load(gOdd, x | 1) + 1) >> 1));
}

void bayer8CellsToRgb8888Plain(const uint8_t* a, const uint8_t* b, uint8_t* dst, size_t pixels, bool aIsRed)
{
    for (size_t x = 0; x < pixels; ++x) {
        const uint32_t fromA = a[x + (x & 1)], fromB = b[x | 1];
        const uint32_t green = (b[x + (x & 1)] + a[x | 1] + 1) >> 1;
        PackedOut<fmt::Fourth::Zero>::put({{dst}}, x, aIsRed ? fromA : fromB, green, aIsRed ? fromB : fromA);
    }
}

// ---- The three steps of every converter ---------------------------------------------------------------

// The vector part: none on the scalar path.
struct NoVectorPart {
    static uint32_t run(const uint8_t*, const uint8_t*, const OutputLine&, uint32_t, uint32_t) { return 0; }
};

// The line whose sample at column 0 is red or blue, and the one whose sample there is green.
struct CellLines {
    const uint8_t* colourFirst;
    const uint8_t* greenFirst;
};

inline CellLines cellLines(const uint8_t* src0, const uint8_t* src1, uint32_t phase)
{
    const uint8_t* lines[2] = {src0, src1};
    const uint8_t g = kCellLayouts[phase & 3].greenLineAtFirst;
    return {lines[g ^ 1], lines[g]};
}

// Red sits at even columns of its line in phases 0 and 2, blue in phases 1 and 3.
inline bool redAtEvenColumns(uint32_t phase) { return (phase & 1) == 0; }

template <uint32_t Block, kernels::BayerCellsKernel Cells>
struct PackedVectorPart {
    static uint32_t run(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t n,
                        uint32_t phase)
    {
        const uint32_t m = n / Block * Block;
        if (m) {
            const CellLines l = cellLines(src0, src1, phase);
            Cells(l.colourFirst, l.greenFirst, out.at[0], m, redAtEvenColumns(phase));
        }
        return m;
    }
};

template <uint32_t Block, kernels::BayerSitesKernel Even, kernels::BayerSitesKernel Odd,
          kernels::BayerGreenKernel Green>
struct PlanarVectorPart {
    static uint32_t run(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t n,
                        uint32_t phase)
    {
        const uint32_t m = n / Block * Block;
        if (m) {
            const CellLines l = cellLines(src0, src1, phase);
            const bool red = redAtEvenColumns(phase);
            Even(l.colourFirst, out.at[red ? 0 : 2], m);
            Odd(l.greenFirst, out.at[red ? 2 : 0], m);
            Green(l.greenFirst, l.colourFirst, out.at[1], m);
        }
        return m;
    }
};

// The cell run of the rule, pixel by pixel.
template <class S, class Out>
struct ScalarCells {
    static void run(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t from,
                    uint32_t to, uint32_t phase, bool copyGreen)
    {
        cellRun<S, Out>(src0, src1, out, from, to, phase, copyGreen);
    }
};

// Whole runs through a kernel of either rule and mode (kernels::BayerRun), from an even column.
template <void (*K)(const kernels::BayerRun&, uint8_t*, size_t)>
struct PackedKernel {
    static void put(const kernels::BayerRun& r, const OutputLine& out, uint32_t from, uint32_t n)
    {
        K(r, out.at[0] + 4 * size_t(from), n);
    }
};

template <class S, void (*K)(const kernels::BayerRun&, uint8_t*, uint8_t*, uint8_t*, size_t)>
struct PlanarKernel {
    static void put(const kernels::BayerRun& r, const OutputLine& out, uint32_t from, uint32_t n)
    {
        const size_t at = S::kBytes * from;
        K(r, out.at[0] + at, out.at[1] + at, out.at[2] + at, n);
    }
};

template <class S, class K>
struct KernelCells {
    static kernels::BayerRun runOf(const uint8_t* src0, const uint8_t* src1, uint32_t phase, uint32_t from,
                                   bool copyGreen, bool limit15)
    {
        using kernels::BayerGreen;
        const CellLines l = cellLines(src0, src1, phase);
        const size_t at = S::kBytes * from;
        // Copying takes the first line's green: at even columns if it holds green there, else at odd ones.
        const BayerGreen green = !copyGreen                                      ? BayerGreen::Mean
                                 : kCellLayouts[phase & 3].greenLineAtFirst == 0 ? BayerGreen::OfGreenLine
                                                                                 : BayerGreen::OfColourLine;
        return {l.colourFirst + at, l.greenFirst + at, redAtEvenColumns(phase), green, limit15};
    }

    static void run(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t from,
                    uint32_t to, uint32_t phase, bool copyGreen)
    {
        if (from < to)
            K::put(runOf(src0, src1, phase, from, copyGreen, false), out, from, to - from);
    }
};

// The vector rule of 15-bit samples through the same kernels: its part limits the results to 32767.
template <uint32_t Block, class S, class K>
struct KernelVectorPart {
    static uint32_t run(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t n,
                        uint32_t phase)
    {
        const uint32_t m = n / Block * Block;
        if (m)
            K::put(KernelCells<S, K>::runOf(src0, src1, phase, 0, false, true), out, 0, m);
        return m;
    }
};

template <class S, class Out, class VectorPart, class Cells = ScalarCells<S, Out>>
void convert2x2(const uint8_t* src0, const uint8_t* src1, const OutputLine& out, uint32_t width,
                uint32_t phase, uint32_t noInterpolation, uint32_t rightBorder)
{
    // A border pixel needs the column to its left.
    if (width == 0 || (rightBorder && width < 2))
        return;
    const uint32_t n = rightBorder ? width - 1 : width;
    // The vector part covers an even number of columns, so the phase is unchanged after it.
    const uint32_t done = noInterpolation ? 0 : VectorPart::run(src0, src1, out, n, phase);
    Cells::run(src0, src1, out, done, n, phase, noInterpolation != 0);
    if (rightBorder)
        borderPixel<S, Out>(src0, src1, out, width - 1, phase ^ ((width - 1) & 1));
}

template <class S, uint32_t Block, kernels::BayerSitesKernel Even, kernels::BayerSitesKernel Odd,
          kernels::BayerGreenKernel Green>
constexpr Bayer2x2Fn planarPath = convert2x2<S, PlanarOut<S>, PlanarVectorPart<Block, Even, Odd, Green>>;

using PackedZero = PackedOut<fmt::Fourth::Zero>;

#if defined(VYR_X86_KERNELS)
// The scalar rule through the AVX-512 kernels; for 8-bit samples the vector rule gives the same bytes.
using Bayer8Avx512 = PackedKernel<kernels::bayer8ToRgb8888Avx512>;
using Bayer8PlanarAvx512 = PlanarKernel<Bayer8, kernels::bayer8ToPlanarAvx512>;
using Bayer15PlanarAvx512 = PlanarKernel<Bayer15, kernels::bayer15ToPlanarAvx512>;
constexpr Bayer2x2Fn kBayer8Avx512 =
    convert2x2<Bayer8, PackedZero, NoVectorPart, KernelCells<Bayer8, Bayer8Avx512>>;
constexpr Bayer2x2Fn kBayer8PlanarAvx512 =
    convert2x2<Bayer8, PlanarOut<Bayer8>, NoVectorPart, KernelCells<Bayer8, Bayer8PlanarAvx512>>;
#endif

} // namespace

const Bayer2x2Paths kBayer8_2x2ToRgb8888 = {
    convert2x2<Bayer8, PackedZero, NoVectorPart>,
    {nullptr, nullptr, nullptr, nullptr, VYR_KERNEL(kBayer8Avx512)},
    {convert2x2<Bayer8, PackedZero, PackedVectorPart<kBayer8ToRgb8888Block, bayer8CellsToRgb8888Plain>>,
     VYR_KERNEL(convert2x2<Bayer8, PackedZero,
                           PackedVectorPart<kBayer8ToRgb8888Block, kernels::bayer8CellsToRgb8888Sse2>>),
     nullptr, nullptr, VYR_KERNEL(kBayer8Avx512)}};

const Bayer2x2Paths kBayer8_2x2ToPlanar = {
    convert2x2<Bayer8, PlanarOut<Bayer8>, NoVectorPart>,
    {nullptr, nullptr, nullptr, nullptr, VYR_KERNEL(kBayer8PlanarAvx512)},
    {planarPath<Bayer8, kBayer8ToPlanarBlock, evenSitesPlain<Bayer8>, oddSitesPlain<Bayer8>,
                greenPlain<Bayer8>>,
     VYR_KERNEL(planarPath<Bayer8, kBayer8ToPlanarBlock, kernels::bayer8EvenSitesSse2,
                           kernels::bayer8OddSitesSse2, kernels::bayer8GreenSse2>),
     nullptr, nullptr, VYR_KERNEL(kBayer8PlanarAvx512)}};

const Bayer2x2Paths kBayer15_2x2ToPlanar = {
    convert2x2<Bayer15, PlanarOut<Bayer15>, NoVectorPart>,
    {nullptr, nullptr, nullptr, nullptr,
     VYR_KERNEL(
         convert2x2<Bayer15, PlanarOut<Bayer15>, NoVectorPart, KernelCells<Bayer15, Bayer15PlanarAvx512>>)},
    {planarPath<Bayer15, kBayer15ToPlanarBlock, evenSitesPlain<Bayer15>, oddSitesPlain<Bayer15>,
                greenPlain<Bayer15>>,
     VYR_KERNEL(planarPath<Bayer15, kBayer15ToPlanarBlock, kernels::bayer15EvenSitesSse2,
                           kernels::bayer15OddSitesSse2, kernels::bayer15GreenSse2>),
     nullptr, nullptr,
     VYR_KERNEL(convert2x2<Bayer15, PlanarOut<Bayer15>,
                           KernelVectorPart<kBayer15ToPlanarBlock, Bayer15, Bayer15PlanarAvx512>,
                           KernelCells<Bayer15, Bayer15PlanarAvx512>>)}};

} // namespace vyr::convert

namespace {

using namespace vyr::convert;

// The vector part runs where the processor reports MMX.
uint32_t run2x2(const Bayer2x2Paths& paths, const void* src0, const void* src1, const OutputLine& out,
                uint32_t width, uint32_t phase, uint32_t noInterpolation, uint32_t rightBorder)
{
    paths.pick(VyrUtilIsMMX())(static_cast<const uint8_t*>(src0), static_cast<const uint8_t*>(src1), out,
                               width, phase, noInterpolation, rightBorder);
    return 0;
}

} // namespace

// The exports that write three planes.
#define VYR_BAYER2X2_PLANAR_EXPORT(name, paths)                                                              \
    VYR_API uint32_t VYR_CALL name(const void* src0, const void* src1, void* dstRed, void* dstGreen,         \
                                   void* dstBlue, uint32_t width, uint32_t phase, uint32_t noInterpolation,  \
                                   uint32_t rightBorder)                                                     \
    {                                                                                                        \
        return run2x2(paths, src0, src1, planes(dstRed, dstGreen, dstBlue), width, phase, noInterpolation,   \
                      rightBorder);                                                                          \
    }

extern "C" {

VYR_API uint32_t VYR_CALL VyrUtilConvertBayer8_2x2toRGB8888(const void* src0, const void* src1, void* dst,
                                                            uint32_t width, uint32_t phase,
                                                            uint32_t noInterpolation, uint32_t rightBorder)
{
    return run2x2(kBayer8_2x2ToRgb8888, src0, src1, {{static_cast<uint8_t*>(dst)}}, width, phase,
                  noInterpolation, rightBorder);
}

VYR_BAYER2X2_PLANAR_EXPORT(VyrUtilConvertBayer8_2x2toPlanarRGB, kBayer8_2x2ToPlanar)
VYR_BAYER2X2_PLANAR_EXPORT(VyrUtilConvertBayer15_2x2toPlanarRGB, kBayer15_2x2ToPlanar)

} // extern "C"
