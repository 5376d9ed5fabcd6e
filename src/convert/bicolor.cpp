// Bicolor (two-colour sensor) lines: every pixel a colour sample (red and blue taking turns) and a
// green sample. Three templates over the sample widths and RGB layouts make the 21 exports.
#include <cstring>

#include "convert/bicolor.h"
#include "convert/kernels/bicolor_kernels.h"
#include "convert/unit_line.h"

namespace vyr::convert {
namespace {

using fmt::loadLe;
using fmt::storeLe;

// Bicolor88 (Bytes 1) and Bicolor1616 (Bytes 2): sample 0 the colour, sample 1 the green.
template <uint32_t Bytes>
struct Bicolor {
    static uint32_t get(const uint8_t* line, size_t i, size_t k)
    {
        return loadLe<Bytes>(line + Bytes * (2 * i + k));
    }
    static void put(uint8_t* line, size_t i, uint32_t s0, uint32_t s1)
    {
        storeLe<Bytes>(line + Bytes * 2 * i, s0);
        storeLe<Bytes>(line + Bytes * (2 * i + 1), s1);
    }
};

// Packed RGB pixels in one of the catalogue's layouts; a fourth sample is not written.
template <class Layout>
struct Rgb {
    static fmt::Pixel at(const uint8_t* line, size_t i) { return Layout::read(line + Layout::kBytes * i); }
    static void put(uint8_t* line, size_t i, uint32_t r, uint32_t g, uint32_t b)
    {
        Layout::write(line + Layout::kBytes * i, {b, g, r, 0});
    }
};

using Rgb888 = Rgb<fmt::Rgb888>;
using Rgbr888 = Rgb<fmt::Rgbr888>;
using Rgb8888 = Rgb<fmt::Rgb8888Colour>;
using Rgb161616 = Rgb<fmt::Rgb161616>;
using Rgb16161616 = Rgb<fmt::BlueFirst<2, 4, fmt::Fourth::Keep>>;

// Pixels 0, 2, 4, ... carry red unless blueFirst, and the odd pixels the other colour.
inline bool carriesRed(size_t i, uint32_t blueFirst) { return ((i & 1) == 0) == (blueFirst == 0); }

// The missing colour of a pixel is the mean of its neighbours' samples (the one neighbour's at the
// ends, none in a run of one); it is formed before the shift.
template <class Src, class Dst>
struct BicolorToRgb {
    // Pixels [from, to) of a run of `count`.
    static void pixels(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst,
                       size_t from, size_t to)
    {
        const uint32_t s = shift & 31;
        auto own = [src](size_t i) { return Src::get(src, i, 0); };
        for (size_t i = from; i < to; ++i) {
            const uint32_t missing = count < 3        ? (i == 0 ? 0 : own(0))
                                     : i == 0         ? own(1)
                                     : i + 1 == count ? own(count - 2)
                                                      : (own(i - 1) + own(i + 1)) >> 1;
            const uint32_t o = own(i) >> s, g = Src::get(src, i, 1) >> s, m = missing >> s;
            if (carriesRed(i, blueFirst))
                Dst::put(dst, i, o, g, m);
            else
                Dst::put(dst, i, m, g, o);
        }
    }
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst)
    {
        pixels(src, dst, count, shift, blueFirst, 0, count);
    }
};

// Each pixel keeps its green and the colour the pattern gives it.
template <class Src, class Dst>
void rgbToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst)
{
    const uint32_t s = shift & 31;
    for (size_t i = 0; i < count; ++i) {
        const fmt::Pixel p = Src::at(src, i);
        Dst::put(dst, i, (carriesRed(i, blueFirst) ? p.r : p.b) >> s, p.g >> s);
    }
}

template <class Src, class Dst>
void bicolorToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t exchange)
{
    const uint32_t s = shift & 31;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t s0 = Src::get(src, i, 0) >> s, s1 = Src::get(src, i, 1) >> s;
        if (exchange)
            Dst::put(dst, i, s1, s0);
        else
            Dst::put(dst, i, s0, s1);
    }
}

// ---- Unit kernels -----------------------------------------------------------------------------------------

using kernels::UnitKernel;
namespace tag = kernels::tag;

// Pixel by pixel, the pattern restarting at pixel 0: whole units and a stack unit for the rest keep
// every pixel's parity, units being of an even number of pixels.
template <BicolorFn Rule, class K>
struct PixelUnits {
    template <uint32_t Unit, UnitKernel Kernel>
    struct At {
        static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t flag)
        {
            UnitStreams s;
            s.in[0] = src;
            s.out[0] = dst;
            runUnitKernel<K, Unit, Kernel>(s, count, kernels::bicolorArg(shift, flag));
        }
    };
};
template <BicolorFn Rule, class K>
constexpr BicolorPaths pixelUnits()
{
    return {Rule, unitEntries<BicolorFn, PixelUnits<Rule, K>::template At, K>()};
}

// The kernels convert the pixels that have both neighbours, from pixel 1, in one call; the rule
// converts the two ends. A run shorter than a unit and its two neighbours goes through one unit on the
// stack, or, below kStackFrom pixels, through the rule alone.
template <class Rule, class K>
struct InterpolatingUnits {
    template <uint32_t Unit, UnitKernel Kernel>
    struct At {
        static constexpr size_t kIn = size_t(K::kIn[0]), kOut = size_t(K::kOut[0]);
        // Measured: the copies to the stack and back cost about what the rule takes for 16 Bicolor88 or
        // 10 Bicolor1616 pixels.
        static constexpr uint32_t kStackFrom = kIn == 2 ? 16 : 10;
        static constexpr uint32_t kLeast = K::leastRun(Unit);

        // n pixels from pixel `at` of the run, whose bytes are at s and d. A kernel's pattern starts at
        // its first pixel: blue first where that pixel carries blue.
        static void units(const uint8_t* s, uint8_t* d, size_t at, size_t n, uint32_t shift,
                          uint32_t blueFirst)
        {
            const uint8_t* const in[1] = {s};
            uint8_t* const out[1] = {d};
            Kernel(in, out, n, kernels::bicolorArg(shift, (at % 2 == 0) == (blueFirst != 0)));
        }
        // The run and zeros after it, and pixels 1 to count - 2 of the destination where their fourth
        // samples are kept; in the cache, plain copies beat moves by whole registers here.
        static void onStack(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift,
                            uint32_t blueFirst)
        {
            alignas(64) uint8_t in[kIn * (Unit + 2)];
            alignas(64) uint8_t out[kOut * Unit];
            std::memcpy(in, src, count * kIn);
            std::memset(in + count * kIn, 0, sizeof in - count * kIn);
            if constexpr (K::kKeeps)
                std::memcpy(out, dst + kOut, (count - 2) * kOut);
            units(in + kIn, out, 1, kLeast, shift, blueFirst);
            std::memcpy(dst + kOut, out, (count - 2) * kOut);
        }
        static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst)
        {
            if (count < kStackFrom)
                return Rule::run(src, dst, count, shift, blueFirst);
            if (count < kLeast + 2)
                onStack(src, dst, count, shift, blueFirst);
            else
                units(src + kIn, dst + kOut, 1, count - 2, shift, blueFirst);
            Rule::pixels(src, dst, count, shift, blueFirst, 0, 1);
            Rule::pixels(src, dst, count, shift, blueFirst, count - 1, count);
        }
    };
};
template <class Src, class Dst, class K>
constexpr BicolorPaths interpolating()
{
    using Rule = BicolorToRgb<Src, Dst>;
    return {Rule::run, unitEntries<BicolorFn, InterpolatingUnits<Rule, K>::template At, K>()};
}

} // namespace

const BicolorPaths kBicolor88ToRgb8888 = interpolating<Bicolor<1>, Rgb8888, tag::Bicolor88ToRgb8888>();
const BicolorPaths kBicolor88ToRgb888 = interpolating<Bicolor<1>, Rgb888, tag::Bicolor88ToRgb888>();
const BicolorPaths kBicolor88ToRgbr888 = interpolating<Bicolor<1>, Rgbr888, tag::Bicolor88ToRgbr888>();
const BicolorPaths kBicolor88ToRgb161616 = interpolating<Bicolor<1>, Rgb161616, tag::Bicolor88ToRgb161616>();
const BicolorPaths kBicolor88ToRgb16161616 =
    interpolating<Bicolor<1>, Rgb16161616, tag::Bicolor88ToRgb16161616>();
const BicolorPaths kBicolor1616ToRgb8888 = interpolating<Bicolor<2>, Rgb8888, tag::Bicolor1616ToRgb8888>();
const BicolorPaths kBicolor1616ToRgb888 = interpolating<Bicolor<2>, Rgb888, tag::Bicolor1616ToRgb888>();
const BicolorPaths kBicolor1616ToRgbr888 = interpolating<Bicolor<2>, Rgbr888, tag::Bicolor1616ToRgbr888>();
const BicolorPaths kBicolor1616ToRgb161616 =
    interpolating<Bicolor<2>, Rgb161616, tag::Bicolor1616ToRgb161616>();
const BicolorPaths kBicolor1616ToRgb16161616 =
    interpolating<Bicolor<2>, Rgb16161616, tag::Bicolor1616ToRgb16161616>();

const BicolorPaths kRgb888ToBicolor88 =
    pixelUnits<rgbToBicolor<Rgb888, Bicolor<1>>, tag::Rgb888ToBicolor88>();
const BicolorPaths kRgb8888ToBicolor88 =
    pixelUnits<rgbToBicolor<Rgb8888, Bicolor<1>>, tag::Rgb8888ToBicolor88>();
const BicolorPaths kRgbr888ToBicolor88 =
    pixelUnits<rgbToBicolor<Rgbr888, Bicolor<1>>, tag::Rgbr888ToBicolor88>();
const BicolorPaths kRgb888ToBicolor1616 =
    pixelUnits<rgbToBicolor<Rgb888, Bicolor<2>>, tag::Rgb888ToBicolor1616>();
const BicolorPaths kRgb8888ToBicolor1616 =
    pixelUnits<rgbToBicolor<Rgb8888, Bicolor<2>>, tag::Rgb8888ToBicolor1616>();
const BicolorPaths kRgbr888ToBicolor1616 =
    pixelUnits<rgbToBicolor<Rgbr888, Bicolor<2>>, tag::Rgbr888ToBicolor1616>();
const BicolorPaths kRgb161616ToBicolor1616 =
    pixelUnits<rgbToBicolor<Rgb161616, Bicolor<2>>, tag::Rgb161616ToBicolor1616>();
const BicolorPaths kRgb16161616ToBicolor1616 =
    pixelUnits<rgbToBicolor<Rgb16161616, Bicolor<2>>, tag::Rgb16161616ToBicolor1616>();

const BicolorPaths kBicolor88ToBicolor88 =
    pixelUnits<bicolorToBicolor<Bicolor<1>, Bicolor<1>>, tag::Bicolor88ToBicolor88>();
const BicolorPaths kBicolor88ToBicolor1616 =
    pixelUnits<bicolorToBicolor<Bicolor<1>, Bicolor<2>>, tag::Bicolor88ToBicolor1616>();
const BicolorPaths kBicolor1616ToBicolor1616 =
    pixelUnits<bicolorToBicolor<Bicolor<2>, Bicolor<2>>, tag::Bicolor1616ToBicolor1616>();

} // namespace vyr::convert

namespace {

uint32_t runBicolor(const vyr::convert::BicolorPaths& paths, const void* src, void* dst, uint32_t count,
                    uint32_t shift, uint32_t flag)
{
    paths.pick(false)(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count, shift, flag);
    return 0;
}

} // namespace

using namespace vyr::convert;

// Exports with (src, dst, count, flag) and with (src, dst, count, shift, flag).
#define VYR_BICOLOR_EXPORT(name, paths)                                                                      \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t flag)                \
    {                                                                                                        \
        return runBicolor(paths, src, dst, count, 0, flag);                                                  \
    }
#define VYR_BICOLOR_SHIFT_EXPORT(name, paths)                                                                \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t shift,               \
                                   uint32_t flag)                                                            \
    {                                                                                                        \
        return runBicolor(paths, src, dst, count, shift, flag);                                              \
    }

extern "C" {

VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB8888, kBicolor88ToRgb8888)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB888, kBicolor88ToRgb888)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGBR888, kBicolor88ToRgbr888)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB161616, kBicolor88ToRgb161616)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB16161616, kBicolor88ToRgb16161616)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB8888, kBicolor1616ToRgb8888)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB888, kBicolor1616ToRgb888)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGBR888, kBicolor1616ToRgbr888)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB161616, kBicolor1616ToRgb161616)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB16161616, kBicolor1616ToRgb16161616)

VYR_BICOLOR_EXPORT(VyrUtilConvertRGB888toBicolor88, kRgb888ToBicolor88)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB8888toBicolor88, kRgb8888ToBicolor88)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGBR888toBicolor88, kRgbr888ToBicolor88)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB888toBicolor1616, kRgb888ToBicolor1616)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB8888toBicolor1616, kRgb8888ToBicolor1616)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGBR888toBicolor1616, kRgbr888ToBicolor1616)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertRGB161616toBicolor1616, kRgb161616ToBicolor1616)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertRGB16161616toBicolor1616, kRgb16161616ToBicolor1616)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toBicolor1616, kBicolor88ToBicolor1616)

// The samples are always exchanged.
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toBicolor88(const void* src, void* dst, uint32_t count)
{
    return runBicolor(kBicolor88ToBicolor88, src, dst, count, 0, 1);
}

// The flag runs opposite to the other functions': zero exchanges the samples.
VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toBicolor1616(const void* src, void* dst, uint32_t count,
                                                                 uint32_t shift, uint32_t keepOrder)
{
    if (count && keepOrder && (shift & 31) == 0) {
        std::memcpy(dst, src, size_t(count) * 4);
        return 0;
    }
    return runBicolor(kBicolor1616ToBicolor1616, src, dst, count, shift, keepOrder == 0);
}

} // extern "C"
