// Bicolor (two-colour sensor) lines: every pixel a colour sample (red and blue taking turns) and a
// green sample. Three templates over the sample widths and RGB layouts make the 21 exports.
#include <cstring>

#include "convert/sensor.h"

namespace vyr::convert {
namespace {

// A sample of 1 or 2 bytes at any address; stores keep the low bits of the value.
template <size_t Bytes>
inline uint32_t loadSample(const uint8_t* p)
{
    return Bytes == 1 ? p[0] : loadWord(p);
}

template <size_t Bytes>
inline void storeSample(uint8_t* p, uint32_t v)
{
    if (Bytes == 1)
        p[0] = static_cast<uint8_t>(v);
    else
        storeWord(p, v);
}

// Bicolor88 (Bytes 1) and Bicolor1616 (Bytes 2): sample 0 the colour, sample 1 the green.
template <size_t Bytes>
struct Bicolor {
    static uint32_t get(const uint8_t* line, size_t i, size_t k)
    {
        return loadSample<Bytes>(line + Bytes * (2 * i + k));
    }
    static void put(uint8_t* line, size_t i, uint32_t s0, uint32_t s1)
    {
        storeSample<Bytes>(line + Bytes * 2 * i, s0);
        storeSample<Bytes>(line + Bytes * (2 * i + 1), s1);
    }
};

// Packed RGB: Samples samples of Bytes bytes per pixel, red, green and blue at the given positions;
// a fourth sample is neither read nor written.
template <size_t Bytes, size_t Samples, size_t Red, size_t Green, size_t Blue>
struct Rgb {
    static const uint8_t* at(const uint8_t* line, size_t i, size_t k)
    {
        return line + Bytes * (Samples * i + k);
    }
    static uint32_t red(const uint8_t* line, size_t i) { return loadSample<Bytes>(at(line, i, Red)); }
    static uint32_t green(const uint8_t* line, size_t i) { return loadSample<Bytes>(at(line, i, Green)); }
    static uint32_t blue(const uint8_t* line, size_t i) { return loadSample<Bytes>(at(line, i, Blue)); }
    static void put(uint8_t* line, size_t i, uint32_t r, uint32_t g, uint32_t b)
    {
        uint8_t* p = line + Bytes * Samples * i;
        storeSample<Bytes>(p + Bytes * Red, r);
        storeSample<Bytes>(p + Bytes * Green, g);
        storeSample<Bytes>(p + Bytes * Blue, b);
    }
};

using Rgb888 = Rgb<1, 3, 2, 1, 0>;
using Rgb8888 = Rgb<1, 4, 2, 1, 0>;
using Rgbr888 = Rgb<1, 3, 0, 1, 2>;
using Rgb161616 = Rgb<2, 3, 2, 1, 0>;
using Rgb16161616 = Rgb<2, 4, 2, 1, 0>;

// Every converter takes these arguments; those without a shift get 0, those without a flag 0.
using BicolorFn = void (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t flag);

// Pixels 0, 2, 4, ... carry red unless blueFirst, and the odd pixels the other colour.
inline bool carriesRed(size_t i, uint32_t blueFirst) { return ((i & 1) == 0) == (blueFirst == 0); }

// The missing colour of a pixel is the mean of its neighbours' samples (the one neighbour's at the
// ends); it is formed before the shift.
template <class Src, class Dst>
void bicolorToRgb(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst)
{
    const uint32_t s = shift & 31;
    auto own = [src](size_t i) { return Src::get(src, i, 0); };
    auto put = [&](size_t i, uint32_t missing) {
        const uint32_t o = own(i) >> s, g = Src::get(src, i, 1) >> s, m = missing >> s;
        if (carriesRed(i, blueFirst))
            Dst::put(dst, i, o, g, m);
        else
            Dst::put(dst, i, m, g, o);
    };
    if (count == 0)
        return;
    if (count < 3) {
        put(0, 0);
        if (count == 2)
            put(1, own(0));
        return;
    }
    put(0, own(1));
    for (size_t i = 1; i + 1 < count; ++i)
        put(i, (own(i - 1) + own(i + 1)) >> 1);
    put(count - 1, own(count - 2));
}

// Each pixel keeps its green and the colour the pattern gives it.
template <class Src, class Dst>
void rgbToBicolor(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t shift, uint32_t blueFirst)
{
    const uint32_t s = shift & 31;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t colour = carriesRed(i, blueFirst) ? Src::red(src, i) : Src::blue(src, i);
        Dst::put(dst, i, colour >> s, Src::green(src, i) >> s);
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

inline uint32_t run(BicolorFn fn, const void* src, void* dst, uint32_t count, uint32_t shift, uint32_t flag)
{
    fn(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count, shift, flag);
    return 0;
}

} // namespace
} // namespace vyr::convert

using namespace vyr::convert;

// Exports with (src, dst, count, flag) and with (src, dst, count, shift, flag).
#define VYR_BICOLOR_EXPORT(name, ...)                                                                        \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t flag)                \
    {                                                                                                        \
        return run(__VA_ARGS__, src, dst, count, 0, flag);                                                   \
    }
#define VYR_BICOLOR_SHIFT_EXPORT(name, ...)                                                                  \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t shift,               \
                                   uint32_t flag)                                                            \
    {                                                                                                        \
        return run(__VA_ARGS__, src, dst, count, shift, flag);                                               \
    }

extern "C" {

VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB8888, bicolorToRgb<Bicolor<1>, Rgb8888>)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB888, bicolorToRgb<Bicolor<1>, Rgb888>)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGBR888, bicolorToRgb<Bicolor<1>, Rgbr888>)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB161616, bicolorToRgb<Bicolor<1>, Rgb161616>)
VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toRGB16161616, bicolorToRgb<Bicolor<1>, Rgb16161616>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB8888, bicolorToRgb<Bicolor<2>, Rgb8888>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB888, bicolorToRgb<Bicolor<2>, Rgb888>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGBR888, bicolorToRgb<Bicolor<2>, Rgbr888>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB161616, bicolorToRgb<Bicolor<2>, Rgb161616>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertBicolor1616toRGB16161616, bicolorToRgb<Bicolor<2>, Rgb16161616>)

VYR_BICOLOR_EXPORT(VyrUtilConvertRGB888toBicolor88, rgbToBicolor<Rgb888, Bicolor<1>>)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB8888toBicolor88, rgbToBicolor<Rgb8888, Bicolor<1>>)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGBR888toBicolor88, rgbToBicolor<Rgbr888, Bicolor<1>>)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB888toBicolor1616, rgbToBicolor<Rgb888, Bicolor<2>>)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGB8888toBicolor1616, rgbToBicolor<Rgb8888, Bicolor<2>>)
VYR_BICOLOR_EXPORT(VyrUtilConvertRGBR888toBicolor1616, rgbToBicolor<Rgbr888, Bicolor<2>>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertRGB161616toBicolor1616, rgbToBicolor<Rgb161616, Bicolor<2>>)
VYR_BICOLOR_SHIFT_EXPORT(VyrUtilConvertRGB16161616toBicolor1616, rgbToBicolor<Rgb16161616, Bicolor<2>>)

VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor88toBicolor88(const void* src, void* dst, uint32_t count)
{
    return run(bicolorToBicolor<Bicolor<1>, Bicolor<1>>, src, dst, count, 0, 1);
}

VYR_BICOLOR_EXPORT(VyrUtilConvertBicolor88toBicolor1616, bicolorToBicolor<Bicolor<1>, Bicolor<2>>)

VYR_API uint32_t VYR_CALL VyrUtilConvertBicolor1616toBicolor1616(const void* src, void* dst, uint32_t count,
                                                                 uint32_t shift, uint32_t keepOrder)
{
    if (count && keepOrder && (shift & 31) == 0) {
        std::memcpy(dst, src, size_t(count) * 4);
        return 0;
    }
    // The flag runs opposite to the other functions': zero exchanges the samples.
    return run(bicolorToBicolor<Bicolor<2>, Bicolor<2>>, src, dst, count, shift, keepOrder == 0);
}

} // extern "C"
