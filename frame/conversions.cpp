// Every conversion: which export converts a line, with which arguments, and how the frame around
// the line (planes, Bayer neighbours and edges, the Bicolor colour order) becomes those arguments.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "VyrUtility.h"
#include "frame.h"
#include "unpack.h"

namespace vyr::frame {
namespace {

using LineExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t unusedBits);
using ShiftExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t count, uint32_t shift,
                                        uint32_t flag);
using PlanesExport = uint32_t(VYR_CALL*)(const void* src, void* dst, uint32_t reserved1, uint32_t reserved2,
                                         uint32_t width, uint32_t height, uint32_t count);

// ---- One export call a line ------------------------------------------------------------------

template <LineExport Convert>
void plainLines(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y)
        Convert(w.src.line(0, y), w.dst.line(0, y), w.width, w.unusedBits);
}

// The Bicolor exports of four arguments take the colour order where the others take unused bits.
template <LineExport Convert>
void colourOrderLines(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y)
        Convert(w.src.line(0, y), w.dst.line(0, y), w.width, w.blueFirst);
}

// Bicolor1616 sources and 16-bit RGB sources: 8-bit outputs keep the top 8 of the significant bits,
// 16-bit outputs the samples as they are.
template <ShiftExport Convert, bool EightBitOutput>
void shiftedLines(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    const uint32_t shift = EightBitOutput ? 8 - w.unusedBits : 0;
    for (uint32_t y = first; y < end; ++y)
        Convert(w.src.line(0, y), w.dst.line(0, y), w.width, shift, w.blueFirst);
}

// The colour and green samples keep their order; the colour order is the frame's and stays.
void bicolor88ToBicolor1616(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y)
        VyrUtilConvertBicolor88toBicolor1616(w.src.line(0, y), w.dst.line(0, y), w.width, 0);
}

// ---- Planes --------------------------------------------------------------------------------------

// The line exports write their planes `count` samples apart: into this thread's line buffer, from
// which each plane's samples go to their plane.
template <LineExport Convert, size_t SampleBytes, unsigned PlaneCount>
void intoPlanes(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch)
{
    const size_t planeBytes = SampleBytes * w.width;
    for (uint32_t y = first; y < end; ++y) {
        Convert(w.src.line(0, y), scratch, w.width, w.unusedBits);
        for (unsigned k = 0; k < PlaneCount; ++k)
            std::memcpy(w.dst.line(k, y), scratch + planeBytes * k, planeBytes);
    }
}

template <size_t SampleBytes, unsigned PlaneCount>
size_t planesScratch(uint32_t width)
{
    return SampleBytes * PlaneCount * size_t(width);
}

// The planar-source exports read plane k at k * width * height samples from plane 0. Planes one
// distance apart, in order, are read in place; any others are gathered into the line buffer first.
template <size_t SampleBytes, unsigned PlaneCount>
bool evenlySpaced(const Planes& planes, uint32_t& distance)
{
    const ptrdiff_t step = planes.at[1] - planes.at[0];
    for (unsigned k = 2; k < PlaneCount; ++k) {
        if (planes.at[k] - planes.at[k - 1] != step)
            return false;
    }
    if (step <= 0 || step % ptrdiff_t(SampleBytes) != 0 || uint64_t(step) / SampleBytes > UINT32_MAX)
        return false;
    distance = uint32_t(size_t(step) / SampleBytes);
    return true;
}

template <size_t SampleBytes, unsigned PlaneCount, class Call>
void fromPlanes(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch, Call call)
{
    uint32_t distance = 0;
    const bool inPlace = evenlySpaced<SampleBytes, PlaneCount>(w.src, distance);
    const size_t planeBytes = SampleBytes * w.width;
    for (uint32_t y = first; y < end; ++y) {
        if (inPlace) {
            call(w.src.line(0, y), w.dst.line(0, y), distance);
            continue;
        }
        for (unsigned k = 0; k < PlaneCount; ++k)
            std::memcpy(scratch + planeBytes * k, w.src.line(k, y), planeBytes);
        call(scratch, w.dst.line(0, y), w.width);
    }
}

template <PlanesExport Convert, unsigned PlaneCount>
void fromBytePlanes(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch)
{
    fromPlanes<1, PlaneCount>(w, first, end, scratch, [&w](const void* src, void* dst, uint32_t distance) {
        Convert(src, dst, 0, 0, distance, 1, w.width);
    });
}

void rgbp16ToRgb8888(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch)
{
    fromPlanes<2, 3>(w, first, end, scratch, [&w](const void* src, void* dst, uint32_t distance) {
        VyrUtilConvertRGBP16toRGB8888(src, dst, 0, 0, distance, 1, w.width, w.unusedBits);
    });
}

// Three independent planes: merged and split in place.
void mergePlanes(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y)
        VyrUtilMergeMONO8toRGB8888(w.src.line(0, y), w.src.line(1, y), w.src.line(2, y), w.dst.line(0, y),
                                   w.width);
}

void splitPlanes(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y)
        VyrUtilSplitRGB8888toMONO8(w.src.line(0, y), w.dst.line(0, y), w.dst.line(1, y), w.dst.line(2, y),
                                   w.width);
}

// ---- Bayer mosaics -------------------------------------------------------------------------------

// A line below the last stands for the line as far above the output line y, as the exports do with
// the lines above the first; in frames too short for that, it is mirrored about the last line.
uint32_t lineBelow(int64_t row, uint32_t y, uint32_t height)
{
    const int64_t last = int64_t(height) - 1;
    if (row <= last)
        return uint32_t(row);
    const int64_t aboveOutput = 2 * int64_t(y) - row;
    if (aboveOutput >= 0)
        return uint32_t(aboveOutput);
    while (row < 0 || row > last)
        row = row < 0 ? -row : 2 * last - row;
    return uint32_t(row);
}

// The output line: the RGB8888 line or the three plane lines.
struct OutputLine {
    uint8_t* at[3];
};

struct BayerCalls {
    void (*twoByTwo)(const uint8_t* first, const uint8_t* second, const OutputLine& out, uint32_t width,
                     uint32_t phase);
    void (*malvar)(const uint8_t* const* lines, const OutputLine& out, uint32_t width, uint32_t phase,
                   int32_t rowBorder);
};

template <const BayerCalls& Calls>
void demosaic(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    for (uint32_t y = first; y < end; ++y) {
        const OutputLine out = {{w.dst.line(0, y), w.dst.at[1] ? w.dst.line(1, y) : nullptr,
                                 w.dst.at[2] ? w.dst.line(2, y) : nullptr}};
        // Every other line starts with the other row of the pattern.
        const uint32_t phase = w.phase ^ ((y & 1) << 1);
        if (!w.malvar) {
            // The last line has no line below: the line above stands in, with the same colours.
            Calls.twoByTwo(w.src.line(0, y), w.src.line(0, y + 1 < w.height ? y + 1 : y - 1), out, w.width,
                           phase);
            continue;
        }
        // The export substitutes the missing lines above the first two; those below the last two
        // are substituted here.
        const int32_t rowBorder = y == 0 ? -2 : y == 1 ? -1 : 0;
        const uint8_t* lines[5];
        for (int i = 0; i < 5; ++i) {
            const int64_t row = int64_t(y) + i - 2;
            lines[i] = row < 0 ? nullptr : w.src.line(0, lineBelow(row, y, w.height));
        }
        Calls.malvar(lines, out, w.width, phase, rowBorder);
    }
}

const BayerCalls kBayer8ToRgb8888 = {
    [](const uint8_t* a, const uint8_t* b, const OutputLine& o, uint32_t w, uint32_t p) {
        VyrUtilConvertBayer8_2x2toRGB8888(a, b, o.at[0], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r) {
        VyrUtilConvertBayer8_MalvartoRGB8888(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, r, 1);
    }};

const BayerCalls kBayer8ToPlanar = {
    [](const uint8_t* a, const uint8_t* b, const OutputLine& o, uint32_t w, uint32_t p) {
        VyrUtilConvertBayer8_2x2toPlanarRGB(a, b, o.at[0], o.at[1], o.at[2], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r) {
        VyrUtilConvertBayer8_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w, p,
                                               r, 1);
    }};

const BayerCalls kBayer15ToPlanar = {
    [](const uint8_t* a, const uint8_t* b, const OutputLine& o, uint32_t w, uint32_t p) {
        VyrUtilConvertBayer15_2x2toPlanarRGB(a, b, o.at[0], o.at[1], o.at[2], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLine& o, uint32_t w, uint32_t p, int32_t r) {
        VyrUtilConvertBayer15_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2], w, p,
                                                r, 1);
    }};

// Bayer15 to RGB8888: the export's planes of a line in this thread's line buffer, then those planes
// to RGB8888, whose 16-bit samples have one unused bit more than the 15-bit ones.
void bayer15ToRgb8888(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch)
{
    const size_t plane = 2 * size_t(w.width);
    Work planar = w;
    planar.dst = Planes{{scratch, scratch + plane, scratch + 2 * plane, nullptr}, 0};
    for (uint32_t y = first; y < end; ++y) {
        demosaic<kBayer15ToPlanar>(planar, y, y + 1, nullptr);
        VyrUtilConvertRGBP16toRGB8888(scratch, w.dst.line(0, y), 0, 0, w.width, 1, w.width, w.unusedBits + 1);
    }
}

// ---- Packed camera samples -----------------------------------------------------------------------

// Packed sources are unpacked a few lines at a time into this thread's line buffer, which the
// conversion from the unpacked format then reads as its frame; Bayer conversions also get the two
// lines above and below that their neighbourhoods reach.
constexpr uint32_t kChunkLines = 16;
constexpr uint32_t kBayerReach = 2;
constexpr size_t kUnpackedScratchPerPixel = 6; // the most any unpacked conversion takes (3 planes)

size_t chunkBytes(uint32_t width) { return size_t(kChunkLines + 2 * kBayerReach) * 2 * width; }

size_t packedScratch(uint32_t width) { return chunkBytes(width) + kUnpackedScratchPerPixel * width; }

void unpackLines(const Work& w, uint32_t first, uint32_t end, uint8_t*)
{
    const UnpackFunction unpack = unpacker(w.row->info.from);
    for (uint32_t y = first; y < end; ++y)
        unpack(w.src.line(0, y), w.dst.line(0, y), w.width);
}

void packedLines(const Work& w, uint32_t first, uint32_t end, uint8_t* scratch)
{
    const ConversionRow& inner = *w.row->unpacked;
    const UnpackFunction unpack = unpacker(w.row->info.from);
    const uint32_t reach = inner.info.options & VYR_FRAME_TAKES_PATTERN ? kBayerReach : 0;
    const unsigned dstPlanes = formatInfo(inner.info.to)->planes;
    const size_t lineBytes = 2 * size_t(w.width);
    for (uint32_t a = first; a < end; a += kChunkLines) {
        const uint32_t b = std::min(end, a + kChunkLines);
        const uint32_t top = a > reach ? a - reach : 0;
        const uint32_t bottom = std::min(w.height, b + reach);
        for (uint32_t y = top; y < bottom; ++y)
            unpack(w.src.line(0, y), scratch + (y - top) * lineBytes, w.width);
        // The lines top..bottom-1 as a frame of their own, whose edges are the frame's only where
        // the frame's are.
        Work part = w;
        part.row = &inner;
        part.src = Planes{{scratch, nullptr, nullptr, nullptr}, ptrdiff_t(lineBytes)};
        for (unsigned k = 0; k < 4; ++k)
            part.dst.at[k] = k < dstPlanes ? w.dst.line(k, top) : nullptr;
        part.height = bottom - top;
        part.phase = w.phase ^ ((top & 1) << 1);
        inner.lines(part, a - top, b - top, scratch + chunkBytes(w.width));
    }
}

// ---- The table -----------------------------------------------------------------------------------

constexpr uint32_t kUnused = VYR_FRAME_TAKES_UNUSED_BITS;
constexpr uint32_t kBayer = VYR_FRAME_TAKES_PATTERN | VYR_FRAME_TAKES_METHOD;
constexpr uint32_t kColourOrder = VYR_FRAME_TAKES_BLUE_FIRST;
constexpr const char* kFourthByteByPath = "with MMX the fourth byte is 0, without it is left as it was";

struct Entry {
    uint32_t from, to;
    LinesFunction lines;
    uint32_t options;
    const char* note;
    size_t (*scratchBytes)(uint32_t width);
};

const Entry kEntries[] = {
    // Grey and signed integers.
    {VYR_FRAME_MONO8, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertMONO8toRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_RGB888, plainLines<VyrUtilConvertMONO8toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_MONO8, plainLines<VyrUtilConvertMONO16toMONO8>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO32, VYR_FRAME_MONO8, plainLines<VyrUtilConvertMONO32toMONO8>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_MONO16, plainLines<VyrUtilConvertMONO8toMONO16>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_INT8, plainLines<VyrUtilConvertMONO8toINT8>, 0, nullptr, nullptr},
    {VYR_FRAME_INT8, VYR_FRAME_MONO8, plainLines<VyrUtilConvertINT8toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_INT16, plainLines<VyrUtilConvertMONO8toINT16>, kUnused, nullptr, nullptr},
    {VYR_FRAME_INT16, VYR_FRAME_MONO8, plainLines<VyrUtilConvertINT16toMONO8>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_RGB5551, plainLines<VyrUtilConvertMONO16toRGB5551>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_RGB565, plainLines<VyrUtilConvertMONO16toRGB565>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertMONO16toRGB8888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_RGB888, plainLines<VyrUtilConvertMONO16toRGB888>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_RGB5551, plainLines<VyrUtilConvertMONO8toRGB5551>, kUnused, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_RGB565, plainLines<VyrUtilConvertMONO8toRGB565>, kUnused, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_MONO8, plainLines<VyrUtilConvertRGB888toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_MONO8, plainLines<VyrUtilConvertRGB8888toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO1, VYR_FRAME_MONO1, plainLines<VyrUtilReverseMONO1>, 0,
     "VyrUtilReverseMONO1: mirrors the bits of every byte", nullptr},

    // Packed RGB.
    {VYR_FRAME_RGB888, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertRGB888toRGB8888>, 0, kFourthByteByPath,
     nullptr},
    {VYR_FRAME_RGBR888, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertRGBR888toRGB8888>, 0, kFourthByteByPath,
     nullptr},
    {VYR_FRAME_RGBR888, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGBR888toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB8888toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_RGB5551, plainLines<VyrUtilConvertRGB888toRGB5551>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_RGB565, plainLines<VyrUtilConvertRGB888toRGB565>, kUnused, nullptr, nullptr},
    {VYR_FRAME_RGB5551, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB5551toRGB888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB565, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB565toRGB888>, kUnused, nullptr, nullptr},
    {VYR_FRAME_RGB101010, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertRGB101010toRGB8888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB101010, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB101010toRGB888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB101010, VYR_FRAME_RGB161616, plainLines<VyrUtilConvertRGB101010toRGB161616>, kUnused,
     nullptr, nullptr},
    {VYR_FRAME_RGB101010, VYR_FRAME_RGB16161616, plainLines<VyrUtilConvertRGB101010toRGB16161616>, kUnused,
     nullptr, nullptr},
    {VYR_FRAME_RGB161616, VYR_FRAME_RGB101010, plainLines<VyrUtilConvertRGB161616toRGB101010>, kUnused,
     nullptr, nullptr},
    {VYR_FRAME_RGB16161616, VYR_FRAME_RGB101010, plainLines<VyrUtilConvertRGB16161616toRGB101010>, kUnused,
     nullptr, nullptr},
    {VYR_FRAME_RGB161616, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertRGB161616toRGB8888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB161616, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB161616toRGB888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB16161616, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertRGB16161616toRGB8888>, kUnused,
     nullptr, nullptr},
    {VYR_FRAME_RGB16161616, VYR_FRAME_RGB888, plainLines<VyrUtilConvertRGB16161616toRGB888>, kUnused, nullptr,
     nullptr},
    {VYR_FRAME_RGB16161616, VYR_FRAME_MONO16, plainLines<VyrUtilConvertRGB16161616toMONO16>, 0, nullptr,
     nullptr},
    {VYR_FRAME_RGB101010, VYR_FRAME_MONO16, plainLines<VyrUtilConvertRGB101010toMONO16>, kUnused, nullptr,
     nullptr},

    // Planar RGB.
    {VYR_FRAME_RGB888, VYR_FRAME_RGBP8, intoPlanes<VyrUtilConvertRGB888toRGBP8, 1, 3>, 0, nullptr,
     planesScratch<1, 3>},
    {VYR_FRAME_RGB8888, VYR_FRAME_RGBAP8, intoPlanes<VyrUtilConvertRGB8888toRGBAP8, 1, 4>, 0,
     "writes the planes fourth, red, green, blue: the fourth first, unlike RGBAP8 read", planesScratch<1, 4>},
    {VYR_FRAME_RGB101010, VYR_FRAME_RGBP16, intoPlanes<VyrUtilConvertRGB101010toRGBP16, 2, 3>, kUnused,
     nullptr, planesScratch<2, 3>},
    {VYR_FRAME_RGB161616, VYR_FRAME_RGBP16, intoPlanes<VyrUtilConvertRGB161616toRGBP16, 2, 3>, 0, nullptr,
     planesScratch<2, 3>},
    {VYR_FRAME_RGBP8, VYR_FRAME_RGB8888, mergePlanes, 0, "VyrUtilMergeMONO8toRGB8888: the fourth byte is 0",
     nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_RGBP8, splitPlanes, 0,
     "VyrUtilSplitRGB8888toMONO8: the fourth byte is dropped", nullptr},
    {VYR_FRAME_RGBAP8, VYR_FRAME_RGB8888, fromBytePlanes<VyrUtilConvertRGBAP8toRGB8888, 4>, 0, nullptr,
     planesScratch<1, 4>},
    {VYR_FRAME_RGBP16, VYR_FRAME_RGB8888, rgbp16ToRgb8888, kUnused, nullptr, planesScratch<2, 3>},

    // Packed YUV.
    {VYR_FRAME_UYVY, VYR_FRAME_MONO8, plainLines<VyrUtilConvertUYVYtoMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_UYVY, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertUYVYtoRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_UYVY, VYR_FRAME_RGB888, plainLines<VyrUtilConvertUYVYtoRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_UYVY, VYR_FRAME_YUV, plainLines<VyrUtilConvertUYVYtoYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_YUY2, VYR_FRAME_MONO8, plainLines<VyrUtilConvertYUY2toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_YUY2, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertYUY2toRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_YUY2, VYR_FRAME_RGB888, plainLines<VyrUtilConvertYUY2toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_YUY2, VYR_FRAME_YUV, plainLines<VyrUtilConvertYUY2toYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_YVYU, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertYVYUtoRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_YVYU, VYR_FRAME_RGB888, plainLines<VyrUtilConvertYVYUtoRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_YVYU, VYR_FRAME_YUV, plainLines<VyrUtilConvertYVYUtoYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_UYVY, plainLines<VyrUtilConvertRGB888toUYVY>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_YUY2, plainLines<VyrUtilConvertRGB888toYUY2>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_YVYU, plainLines<VyrUtilConvertRGB888toYVYU>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_UYVY, plainLines<VyrUtilConvertRGB8888toUYVY>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_YUY2, plainLines<VyrUtilConvertRGB8888toYUY2>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_YUV, plainLines<VyrUtilConvertRGB8888toYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO8, VYR_FRAME_YUY2, plainLines<VyrUtilConvertMONO8toYUY2>, 0, nullptr, nullptr},
    {VYR_FRAME_MONO16, VYR_FRAME_YUY2, plainLines<VyrUtilConvertMONO16toYUY2>, kUnused, nullptr, nullptr},
    {VYR_FRAME_Y411, VYR_FRAME_MONO8, plainLines<VyrUtilConvertY411toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_Y411, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertY411toRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_Y411, VYR_FRAME_RGB888, plainLines<VyrUtilConvertY411toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_Y411, VYR_FRAME_YUV, plainLines<VyrUtilConvertY411toYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_IYU2, VYR_FRAME_MONO8, plainLines<VyrUtilConvertIYU2toMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_IYU2, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertIYU2toRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_IYU2, VYR_FRAME_RGB888, plainLines<VyrUtilConvertIYU2toRGB888>, 0, nullptr, nullptr},
    {VYR_FRAME_IYU2, VYR_FRAME_YUV, plainLines<VyrUtilConvertIYU2toYUV>, 0, nullptr, nullptr},
    {VYR_FRAME_YUV, VYR_FRAME_MONO8, plainLines<VyrUtilConvertYUVtoMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_YUV, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertYUVtoRGB8888>, 0, nullptr, nullptr},

    // Colour spaces.
    {VYR_FRAME_RGB8888, VYR_FRAME_HSV, plainLines<VyrUtilConvertRGB8888toHSV>, 0, nullptr, nullptr},
    {VYR_FRAME_HSV, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertHSVtoRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_HSV, VYR_FRAME_MONO8, plainLines<VyrUtilConvertHSVtoMONO8>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_HSI, plainLines<VyrUtilConvertRGB8888toHSI>, 0, nullptr, nullptr},
    {VYR_FRAME_HSI, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertHSItoRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_LAB, plainLines<VyrUtilConvertRGB8888toLAB>, 0, nullptr, nullptr},
    {VYR_FRAME_LAB, VYR_FRAME_RGB8888, plainLines<VyrUtilConvertLABtoRGB8888>, 0, nullptr, nullptr},
    {VYR_FRAME_LAB, VYR_FRAME_MONO8, plainLines<VyrUtilConvertLABtoMONO8>, 0, nullptr, nullptr},

    // Bayer mosaics.
    {VYR_FRAME_BAYER8, VYR_FRAME_RGB8888, demosaic<kBayer8ToRgb8888>, kBayer,
     "2x2 writes the fourth byte as 0, malvar leaves it as it was", nullptr},
    {VYR_FRAME_BAYER8, VYR_FRAME_RGBP8, demosaic<kBayer8ToPlanar>, kBayer, nullptr, nullptr},
    {VYR_FRAME_BAYER15, VYR_FRAME_RGBP16, demosaic<kBayer15ToPlanar>, kBayer, nullptr, nullptr},
    {VYR_FRAME_BAYER15, VYR_FRAME_RGB8888, bayer15ToRgb8888, kBayer | kUnused,
     "Bayer15toRGBP16, then RGBP16toRGB8888 with one unused bit more", planesScratch<2, 3>},

    // Bicolor.
    {VYR_FRAME_BICOLOR88, VYR_FRAME_RGB8888, colourOrderLines<VyrUtilConvertBicolor88toRGB8888>, kColourOrder,
     "the fourth byte is left as it was", nullptr},
    {VYR_FRAME_BICOLOR88, VYR_FRAME_RGB888, colourOrderLines<VyrUtilConvertBicolor88toRGB888>, kColourOrder,
     nullptr, nullptr},
    {VYR_FRAME_BICOLOR88, VYR_FRAME_RGBR888, colourOrderLines<VyrUtilConvertBicolor88toRGBR888>, kColourOrder,
     nullptr, nullptr},
    {VYR_FRAME_BICOLOR88, VYR_FRAME_RGB161616, colourOrderLines<VyrUtilConvertBicolor88toRGB161616>,
     kColourOrder, "the byte values in words, not scaled", nullptr},
    {VYR_FRAME_BICOLOR88, VYR_FRAME_RGB16161616, colourOrderLines<VyrUtilConvertBicolor88toRGB16161616>,
     kColourOrder, "the byte values in words, not scaled; the fourth word is left as it was", nullptr},
    {VYR_FRAME_BICOLOR1616, VYR_FRAME_RGB8888, shiftedLines<VyrUtilConvertBicolor1616toRGB8888, true>,
     kColourOrder | kUnused, "the fourth byte is left as it was", nullptr},
    {VYR_FRAME_BICOLOR1616, VYR_FRAME_RGB888, shiftedLines<VyrUtilConvertBicolor1616toRGB888, true>,
     kColourOrder | kUnused, nullptr, nullptr},
    {VYR_FRAME_BICOLOR1616, VYR_FRAME_RGBR888, shiftedLines<VyrUtilConvertBicolor1616toRGBR888, true>,
     kColourOrder | kUnused, nullptr, nullptr},
    {VYR_FRAME_BICOLOR1616, VYR_FRAME_RGB161616, shiftedLines<VyrUtilConvertBicolor1616toRGB161616, false>,
     kColourOrder, nullptr, nullptr},
    {VYR_FRAME_BICOLOR1616, VYR_FRAME_RGB16161616,
     shiftedLines<VyrUtilConvertBicolor1616toRGB16161616, false>, kColourOrder,
     "the fourth word is left as it was", nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_BICOLOR88, colourOrderLines<VyrUtilConvertRGB8888toBicolor88>, kColourOrder,
     nullptr, nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_BICOLOR88, colourOrderLines<VyrUtilConvertRGB888toBicolor88>, kColourOrder,
     nullptr, nullptr},
    {VYR_FRAME_RGBR888, VYR_FRAME_BICOLOR88, colourOrderLines<VyrUtilConvertRGBR888toBicolor88>, kColourOrder,
     nullptr, nullptr},
    {VYR_FRAME_RGB8888, VYR_FRAME_BICOLOR1616, colourOrderLines<VyrUtilConvertRGB8888toBicolor1616>,
     kColourOrder, "the byte values in words, not scaled", nullptr},
    {VYR_FRAME_RGB888, VYR_FRAME_BICOLOR1616, colourOrderLines<VyrUtilConvertRGB888toBicolor1616>,
     kColourOrder, "the byte values in words, not scaled", nullptr},
    {VYR_FRAME_RGBR888, VYR_FRAME_BICOLOR1616, colourOrderLines<VyrUtilConvertRGBR888toBicolor1616>,
     kColourOrder, "the byte values in words, not scaled", nullptr},
    {VYR_FRAME_RGB161616, VYR_FRAME_BICOLOR1616, shiftedLines<VyrUtilConvertRGB161616toBicolor1616, false>,
     kColourOrder, nullptr, nullptr},
    {VYR_FRAME_RGB16161616, VYR_FRAME_BICOLOR1616,
     shiftedLines<VyrUtilConvertRGB16161616toBicolor1616, false>, kColourOrder, nullptr, nullptr},
    {VYR_FRAME_BICOLOR88, VYR_FRAME_BICOLOR1616, bicolor88ToBicolor1616, kColourOrder,
     "the byte values in words, not scaled; the colour order is the source's", nullptr},
};

constexpr uint32_t kEntryCount = uint32_t(sizeof kEntries / sizeof kEntries[0]);

// Names and ranges filled in once from the entries and the formats; then every packed format takes
// its unpacking and every conversion from the format it unpacks to.
struct Table {
    std::vector<std::string> names;
    std::vector<ConversionRow> rows;

    Table()
    {
        const size_t most = kEntryCount * (1 + VYR_FRAME_BAYER12PACKED - VYR_FRAME_MONO10P + 1);
        names.reserve(most); // rows point at rows and names: neither moves
        rows.reserve(most);
        for (const Entry& entry : kEntries)
            add(entry, nullptr);
        for (uint32_t packed = VYR_FRAME_MONO10P; packed <= VYR_FRAME_BAYER12PACKED; ++packed) {
            const uint32_t unpacked = unpackedFormat(packed);
            add({packed, unpacked, unpackLines, 0, "unpacks the samples to 16-bit words", nullptr}, nullptr);
            for (uint32_t k = 0; k < kEntryCount; ++k) {
                if (rows[k].info.from == unpacked) {
                    add({packed, rows[k].info.to, packedLines, rows[k].info.options, rows[k].info.note,
                         packedScratch},
                        &rows[k]);
                }
            }
        }
    }

    void add(const Entry& entry, const ConversionRow* unpacked)
    {
        const VyrFrameFormatInfo* from = formatInfo(entry.from);
        const VyrFrameFormatInfo* to = formatInfo(entry.to);
        names.push_back(std::string(from->name) + "to" + to->name);
        const uint32_t deeper = from->sampleBits > to->sampleBits ? from->sampleBits : to->sampleBits;
        const uint32_t shallower = from->sampleBits > to->sampleBits ? to->sampleBits : from->sampleBits;
        const uint32_t maxUnusedBits = entry.options & kUnused ? deeper - shallower : 0;
        rows.push_back(
            {{entry.from, entry.to, names.back().c_str(), entry.options, maxUnusedBits, entry.note},
             entry.lines,
             entry.scratchBytes,
             unpacked});
    }
};

const Table& table()
{
    static const Table instance;
    return instance;
}

} // namespace

uint32_t conversionCount() { return uint32_t(table().rows.size()); }

const ConversionRow* conversionAt(uint32_t index)
{
    return index < conversionCount() ? &table().rows[index] : nullptr;
}

const ConversionRow* findConversion(uint32_t from, uint32_t to)
{
    for (const ConversionRow& row : table().rows) {
        if (row.info.from == from && row.info.to == to)
            return &row;
    }
    return nullptr;
}

void minimumSize(const ConversionRow& row, bool malvar, uint32_t& width, uint32_t& height)
{
    const bool bayer = row.info.options & VYR_FRAME_TAKES_METHOD;
    width = bayer ? (malvar ? 4 : 2) : 1;
    height = bayer ? 2 : 1;
}

} // namespace vyr::frame

using namespace vyr::frame;

extern "C" {

uint32_t VyrFrameConversionCount(void) { return conversionCount(); }

const VyrFrameConversion* VyrFrameConversionAt(uint32_t index)
{
    const ConversionRow* row = conversionAt(index);
    return row ? &row->info : nullptr;
}

const VyrFrameConversion* VyrFrameFindConversion(uint32_t from, uint32_t to)
{
    const ConversionRow* row = findConversion(from, to);
    return row ? &row->info : nullptr;
}

} // extern "C"
