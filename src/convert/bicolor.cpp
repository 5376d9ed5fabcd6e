// Bicolor (two-colour sensor) lines: every pixel a colour sample (red and blue taking turns) and a
// green sample. Three templates over the sample widths and RGB layouts make the 21 exports.
#include <cstring>

#include "convert/bicolor.h"

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

} // namespace

const BicolorPaths kBicolor88ToRgb8888 = {bicolorToRgb<Bicolor<1>, Rgb8888>};
const BicolorPaths kBicolor88ToRgb888 = {bicolorToRgb<Bicolor<1>, Rgb888>};
const BicolorPaths kBicolor88ToRgbr888 = {bicolorToRgb<Bicolor<1>, Rgbr888>};
const BicolorPaths kBicolor88ToRgb161616 = {bicolorToRgb<Bicolor<1>, Rgb161616>};
const BicolorPaths kBicolor88ToRgb16161616 = {bicolorToRgb<Bicolor<1>, Rgb16161616>};
const BicolorPaths kBicolor1616ToRgb8888 = {bicolorToRgb<Bicolor<2>, Rgb8888>};
const BicolorPaths kBicolor1616ToRgb888 = {bicolorToRgb<Bicolor<2>, Rgb888>};
const BicolorPaths kBicolor1616ToRgbr888 = {bicolorToRgb<Bicolor<2>, Rgbr888>};
const BicolorPaths kBicolor1616ToRgb161616 = {bicolorToRgb<Bicolor<2>, Rgb161616>};
const BicolorPaths kBicolor1616ToRgb16161616 = {bicolorToRgb<Bicolor<2>, Rgb16161616>};

const BicolorPaths kRgb888ToBicolor88 = {rgbToBicolor<Rgb888, Bicolor<1>>};
const BicolorPaths kRgb8888ToBicolor88 = {rgbToBicolor<Rgb8888, Bicolor<1>>};
const BicolorPaths kRgbr888ToBicolor88 = {rgbToBicolor<Rgbr888, Bicolor<1>>};
const BicolorPaths kRgb888ToBicolor1616 = {rgbToBicolor<Rgb888, Bicolor<2>>};
const BicolorPaths kRgb8888ToBicolor1616 = {rgbToBicolor<Rgb8888, Bicolor<2>>};
const BicolorPaths kRgbr888ToBicolor1616 = {rgbToBicolor<Rgbr888, Bicolor<2>>};
const BicolorPaths kRgb161616ToBicolor1616 = {rgbToBicolor<Rgb161616, Bicolor<2>>};
const BicolorPaths kRgb16161616ToBicolor1616 = {rgbToBicolor<Rgb16161616, Bicolor<2>>};

const BicolorPaths kBicolor88ToBicolor88 = {bicolorToBicolor<Bicolor<1>, Bicolor<1>>};
const BicolorPaths kBicolor88ToBicolor1616 = {bicolorToBicolor<Bicolor<1>, Bicolor<2>>};
const BicolorPaths kBicolor1616ToBicolor1616 = {bicolorToBicolor<Bicolor<2>, Bicolor<2>>};

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
