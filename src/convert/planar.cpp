#include "convert/planar.h"

#include <array>

#include "convert/kernels/planar_kernels.h"
#include "convert/unit_line.h"

namespace vyr::convert {
namespace {

using namespace fmt;

enum Channel { kBlue, kGreen, kRed, kFourth };

inline uint32_t& channel(Pixel& c, Channel k)
{
    return k == kBlue ? c.b : k == kGreen ? c.g : k == kRed ? c.r : c.x;
}
constexpr uint32_t bitsOf(const Bits& bits, Channel k)
{
    return k == kBlue ? bits.b : k == kGreen ? bits.g : k == kRed ? bits.r : bits.x;
}

// Samples of From bits moved to To bits (see rescale), cut to To bits.
template <uint32_t From, uint32_t To>
inline uint32_t sampleOf(uint32_t v, uint32_t a)
{
    return rescale<From, To>(v, a) & ((1u << To) - 1);
}

// A packed line spread into planes of SampleBytes samples, `count` samples apart; plane k takes
// channel Planes[k].
template <class Src, uint32_t SampleBytes, Channel... Planes>
void toPlanes(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
{
    constexpr Bits from = Src::kBits;
    const size_t plane = size_t(n) * SampleBytes;
    for (uint32_t i = 0; i < n; ++i, src += Src::kBytes, dst += SampleBytes) {
        Pixel c = Src::read(src);
        size_t k = 0;
        ((storeLe<SampleBytes>(dst + plane * k++,
                               sampleOf<bitsOf(from, Planes), 8 * SampleBytes>(channel(c, Planes), a))),
         ...);
    }
}

// Planes of SampleBytes samples, `plane` samples apart, gathered into RGB8888; plane k gives channel
// Planes[k], the fourth byte 0 unless a plane gives it.
template <uint32_t SampleBytes, Channel... Planes>
void fromPlanes(const uint8_t* src, uint8_t* dst, size_t plane, uint32_t n, uint32_t a)
{
    const size_t planeBytes = plane * SampleBytes;
    for (uint32_t i = 0; i < n; ++i, src += SampleBytes, dst += 4) {
        Pixel c = {0, 0, 0, 0};
        size_t k = 0;
        ((channel(c, Planes) = sampleOf<8 * SampleBytes, 8>(loadLe<SampleBytes>(src + planeBytes * k++), a)),
         ...);
        Rgb8888::write(dst, c);
    }
}

// ---- Bit reversal -------------------------------------------------------------------------------------

constexpr std::array<uint8_t, 256> mirrorTable()
{
    std::array<uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned m = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            m |= ((i >> bit) & 1u) << (7 - bit);
        table[i] = uint8_t(m);
    }
    return table;
}
constexpr std::array<uint8_t, 256> kMirror = mirrorTable();

void reverseMono1(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t bytes = (count + 7u) / 8u; // wraps as the 32-bit count does
    for (uint32_t j = 0; j < bytes; ++j)
        dst[j] = kMirror[src[j]];
}

// ---- Merge and split ---------------------------------------------------------------------------------

void mergeScalar(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i, dst += 4)
        storeLe<4>(dst, (red ? uint32_t(*red++) << 16 : 0u) | (green ? uint32_t(*green++) << 8 : 0u) |
                            (blue ? *blue++ : 0u));
}

void splitScalar(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i, src += 4) {
        if (red)
            *red++ = src[2];
        if (green)
            *green++ = src[1];
        if (blue)
            *blue++ = src[0];
    }
}

// The middle of the vector path in plain C++, where no SIMD kernel runs: the same rule.
void mergePlain(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t n)
{
    mergeScalar(red, green, blue, dst, uint32_t(n));
}
void splitPlain(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, size_t n)
{
    splitScalar(src, red, green, blue, uint32_t(n));
}

inline uint32_t headPixels(const void* at, uint32_t n)
{
    const uint32_t h = uint32_t(0u - reinterpret_cast<uintptr_t>(at)) & 7u;
    return n < h ? n : h;
}

// Head up to (-dst) mod 8 pixels and tail on the scalar rule, the middle multiple of 8 through K.
template <kernels::MergeKernel K>
void mergeVector(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, uint32_t n)
{
    if (!red || !green || !blue)
        return mergeScalar(red, green, blue, dst, n);
    const uint32_t h = headPixels(dst, n), m = (n - h) / 8 * 8;
    mergeScalar(red, green, blue, dst, h);
    if (m)
        K(red + h, green + h, blue + h, dst + 4 * size_t(h), m);
    const uint32_t done = h + m;
    mergeScalar(red + done, green + done, blue + done, dst + 4 * size_t(done), n - done);
}

// As merge, with the head taken from the source address.
template <kernels::SplitKernel K>
void splitVector(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, uint32_t n)
{
    if (!red || !green || !blue)
        return splitScalar(src, red, green, blue, n);
    const uint32_t h = headPixels(src, n), m = (n - h) / 8 * 8;
    splitScalar(src, red, green, blue, h);
    if (m)
        K(src + 4 * size_t(h), red + h, green + h, blue + h, m);
    const uint32_t done = h + m;
    splitScalar(src + 4 * size_t(done), red + done, green + done, blue + done, n - done);
}

// ---- Unit kernels: the streams of each argument list ---------------------------------------------------

using kernels::UnitKernel;
namespace tag = kernels::tag;

template <LineFn Rule, class K, uint32_t MaxBits = ~0u>
constexpr LinePaths spread()
{
    return {Rule, unitPaths<Rule, K, MaxBits, planeStreams<K>>()};
}

// Planes of the source `plane` samples apart.
template <PlanesFn Rule, class K, uint32_t MaxBits>
struct GatherUnits {
    template <uint32_t Unit, UnitKernel Kernel>
    struct At {
        static void run(const uint8_t* src, uint8_t* dst, size_t plane, uint32_t n, uint32_t a)
        {
            if (a > MaxBits)
                return Rule(src, dst, plane, n, a);
            UnitStreams s;
            for (size_t k = 0; k < std::size(K::kIn) && K::kIn[k]; ++k)
                s.in[k] = src + k * plane * K::kIn[0];
            s.out[0] = dst;
            runUnitKernel<K, Unit, Kernel>(s, n, a);
        }
    };
};
template <PlanesFn Rule, class K, uint32_t MaxBits = ~0u>
constexpr Paths<PlanesFn> gather()
{
    return {Rule, unitEntries<PlanesFn, GatherUnits<Rule, K, MaxBits>::template At, K>()};
}

// Bytes, not pixels.
template <uint32_t Unit, UnitKernel Kernel>
struct MirrorUnits {
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
    {
        UnitStreams s;
        s.in[0] = src;
        s.out[0] = dst;
        runUnitKernel<tag::MirrorBits, Unit, Kernel>(s, (count + 7u) / 8u, 0);
    }
};

// Three separate planes, any of them null.
template <uint32_t Unit, UnitKernel Kernel>
struct MergeUnits {
    static void run(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, uint32_t n)
    {
        UnitStreams s;
        s.in[0] = red, s.in[1] = green, s.in[2] = blue;
        s.out[0] = dst;
        runUnitKernel<tag::MergeRgb8888, Unit, Kernel>(s, n, 0);
    }
};
template <uint32_t Unit, UnitKernel Kernel>
struct SplitUnits {
    static void run(const uint8_t* src, uint8_t* red, uint8_t* green, uint8_t* blue, uint32_t n)
    {
        UnitStreams s;
        s.in[0] = src;
        s.out[0] = red, s.out[1] = green, s.out[2] = blue;
        runUnitKernel<tag::SplitRgb8888, Unit, Kernel>(s, n, 0);
    }
};

} // namespace

const LinePaths kRgb888ToRgbp8 = spread<toPlanes<Rgb888, 1, kRed, kGreen, kBlue>, tag::Rgb888ToRgbp8>();
const LinePaths kRgb8888ToRgbap8 =
    spread<toPlanes<Rgb8888, 1, kFourth, kRed, kGreen, kBlue>, tag::Rgb8888ToRgbap8>();
const LinePaths kRgb101010ToRgbp16 =
    spread<toPlanes<Rgb101010, 2, kRed, kGreen, kBlue>, tag::Rgb101010ToRgbp16, 6>();
const LinePaths kRgb161616ToRgbp16 =
    spread<toPlanes<Rgb161616, 2, kRed, kGreen, kBlue>, tag::Rgb161616ToRgbp16>();

const Paths<PlanesFn> kRgbp8ToRgb8888 = gather<fromPlanes<1, kRed, kGreen, kBlue>, tag::Rgbp8ToRgb8888>();
const Paths<PlanesFn> kRgbap8ToRgb8888 =
    gather<fromPlanes<1, kRed, kGreen, kBlue, kFourth>, tag::Rgbap8ToRgb8888>();
const Paths<PlanesFn> kRgbp16ToRgb8888 =
    gather<fromPlanes<2, kRed, kGreen, kBlue>, tag::Rgbp16ToRgb8888, 8>();

const LinePaths kReverseMono1 = {
    reverseMono1,
    withEntries(unitEntries<LineFn, MirrorUnits, tag::MirrorBits>(),
                PerIsa<LineFn>{nullptr, nullptr, nullptr, nullptr, VYR_KERNEL(kernels::mirrorBitsAvx512)},
                kAvx512)};

// The kernels take null planes too; the vector rule, which has all three, keeps its older SSE2 kernel.
constexpr PerIsa<MergeFn> kMergeUnits = unitEntries<MergeFn, MergeUnits, tag::MergeRgb8888>();
const Paths<MergeFn> kMergeMono8ToRgb8888 = {
    mergeScalar, kMergeUnits,
    withEntries(PerIsa<MergeFn>{mergeVector<mergePlain>, VYR_KERNEL(mergeVector<kernels::mergeSse2>)},
                kMergeUnits, kAvx512)};
constexpr PerIsa<SplitFn> kSplitUnits = unitEntries<SplitFn, SplitUnits, tag::SplitRgb8888>();
const Paths<SplitFn> kSplitRgb8888ToMono8 = {
    splitScalar, kSplitUnits,
    withEntries(PerIsa<SplitFn>{splitVector<splitPlain>, VYR_KERNEL(splitVector<kernels::splitSse2>)},
                kSplitUnits, kAvx512)};

} // namespace vyr::convert

namespace {

using namespace vyr::convert;

// The plane distance width x height in size_t: on 32-bit builds it wraps as the 32-bit product does.
uint32_t runPlanes(const Paths<PlanesFn>& paths, const void* src, void* dst, uint32_t width, uint32_t height,
                   uint32_t count, uint32_t unusedBits)
{
    paths.pick(false)(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), size_t(width) * height,
                      count, unusedBits);
    return 0;
}

} // namespace

extern "C" {

VYR_LINE_EXPORT(VyrUtilConvertRGB888toRGBP8, kRgb888ToRgbp8)
VYR_LINE_EXPORT(VyrUtilConvertRGB8888toRGBAP8, kRgb8888ToRgbap8)
VYR_LINE_EXPORT(VyrUtilConvertRGB101010toRGBP16, kRgb101010ToRgbp16)
VYR_LINE_EXPORT(VyrUtilConvertRGB161616toRGBP16, kRgb161616ToRgbp16)
VYR_LINE_EXPORT(VyrUtilReverseMONO1, kReverseMono1)

// reserved1 and reserved2 are not read.
VYR_API uint32_t VYR_CALL VyrUtilConvertRGBP8toRGB8888(const void* src, void* dst, uint32_t, uint32_t,
                                                       uint32_t width, uint32_t height, uint32_t count)
{
    return runPlanes(kRgbp8ToRgb8888, src, dst, width, height, count, 0);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertRGBAP8toRGB8888(const void* src, void* dst, uint32_t, uint32_t,
                                                        uint32_t width, uint32_t height, uint32_t count)
{
    return runPlanes(kRgbap8ToRgb8888, src, dst, width, height, count, 0);
}

VYR_API uint32_t VYR_CALL VyrUtilConvertRGBP16toRGB8888(const void* src, void* dst, uint32_t, uint32_t,
                                                        uint32_t width, uint32_t height, uint32_t count,
                                                        uint32_t unusedBits)
{
    return runPlanes(kRgbp16ToRgb8888, src, dst, width, height, count, unusedBits);
}

// The vector rule only with all three planes.
VYR_API uint32_t VYR_CALL VyrUtilMergeMONO8toRGB8888(const void* srcRed, const void* srcGreen,
                                                     const void* srcBlue, void* dst, uint32_t count)
{
    const bool vectorRule = count && srcRed && srcGreen && srcBlue && VyrUtilIsMMX();
    kMergeMono8ToRgb8888.pick(vectorRule)(
        static_cast<const uint8_t*>(srcRed), static_cast<const uint8_t*>(srcGreen),
        static_cast<const uint8_t*>(srcBlue), static_cast<uint8_t*>(dst), count);
    return 0;
}

VYR_API uint32_t VYR_CALL VyrUtilSplitRGB8888toMONO8(const void* src, void* dstRed, void* dstGreen,
                                                     void* dstBlue, uint32_t count)
{
    const bool vectorRule = count && dstRed && dstGreen && dstBlue && VyrUtilIsMMX();
    kSplitRgb8888ToMono8.pick(vectorRule)(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dstRed),
                                          static_cast<uint8_t*>(dstGreen), static_cast<uint8_t*>(dstBlue),
                                          count);
    return 0;
}

} // extern "C"
