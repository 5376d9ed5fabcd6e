// Every listed conversion against the exports called line by line, in this file's own words: which
// export a conversion's name stands for and how the frame becomes its arguments (plane pointers,
// the Bayer neighbour lines and edges, the Bicolor shift). Frames of odd width and height, a pitch
// larger than the line, both signs of pitch, 1, 2, 3 and 7 threads.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "VyrUtility.h"
#include "bytes.h"
#include "frame_images.h"

namespace vyr::test {
namespace {

using LineExport = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t);
using ShiftExport = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t, uint32_t);
using PlanesExport = uint32_t(VYR_CALL*)(const void*, void*, uint32_t, uint32_t, uint32_t, uint32_t,
                                         uint32_t);

// clang-format off
#define VYR_EXPORT(name) {#name, VyrUtilConvert##name}

// The exports of (src, dst, count, unusedBits), called with the frame's unused bits.
const std::map<std::string, LineExport> kLineExports = {
    VYR_EXPORT(MONO8toRGB8888), VYR_EXPORT(MONO8toRGB888), VYR_EXPORT(MONO16toMONO8),
    VYR_EXPORT(MONO32toMONO8), VYR_EXPORT(MONO8toMONO16), VYR_EXPORT(MONO8toINT8), VYR_EXPORT(INT8toMONO8),
    VYR_EXPORT(MONO8toINT16), VYR_EXPORT(INT16toMONO8), VYR_EXPORT(MONO16toRGB5551),
    VYR_EXPORT(MONO16toRGB565), VYR_EXPORT(MONO16toRGB8888), VYR_EXPORT(MONO16toRGB888),
    VYR_EXPORT(MONO8toRGB5551), VYR_EXPORT(MONO8toRGB565), VYR_EXPORT(RGB888toMONO8),
    VYR_EXPORT(RGB8888toMONO8), VYR_EXPORT(RGB888toRGB8888), VYR_EXPORT(RGBR888toRGB8888),
    VYR_EXPORT(RGBR888toRGB888), VYR_EXPORT(RGB8888toRGB888), VYR_EXPORT(RGB888toRGB5551),
    VYR_EXPORT(RGB888toRGB565), VYR_EXPORT(RGB5551toRGB888), VYR_EXPORT(RGB565toRGB888),
    VYR_EXPORT(RGB101010toRGB8888), VYR_EXPORT(RGB101010toRGB888), VYR_EXPORT(RGB101010toRGB161616),
    VYR_EXPORT(RGB101010toRGB16161616), VYR_EXPORT(RGB161616toRGB101010), VYR_EXPORT(RGB16161616toRGB101010),
    VYR_EXPORT(RGB161616toRGB8888), VYR_EXPORT(RGB161616toRGB888), VYR_EXPORT(RGB16161616toRGB8888),
    VYR_EXPORT(RGB16161616toRGB888), VYR_EXPORT(RGB16161616toMONO16), VYR_EXPORT(RGB101010toMONO16),
    VYR_EXPORT(UYVYtoMONO8), VYR_EXPORT(UYVYtoRGB8888), VYR_EXPORT(UYVYtoRGB888), VYR_EXPORT(UYVYtoYUV),
    VYR_EXPORT(YUY2toMONO8), VYR_EXPORT(YUY2toRGB8888), VYR_EXPORT(YUY2toRGB888), VYR_EXPORT(YUY2toYUV),
    VYR_EXPORT(YVYUtoRGB8888), VYR_EXPORT(YVYUtoRGB888), VYR_EXPORT(YVYUtoYUV), VYR_EXPORT(RGB888toUYVY),
    VYR_EXPORT(RGB888toYUY2), VYR_EXPORT(RGB888toYVYU), VYR_EXPORT(RGB8888toUYVY), VYR_EXPORT(RGB8888toYUY2),
    VYR_EXPORT(RGB8888toYUV), VYR_EXPORT(MONO8toYUY2), VYR_EXPORT(MONO16toYUY2), VYR_EXPORT(Y411toMONO8),
    VYR_EXPORT(Y411toRGB8888), VYR_EXPORT(Y411toRGB888), VYR_EXPORT(Y411toYUV), VYR_EXPORT(IYU2toMONO8),
    VYR_EXPORT(IYU2toRGB8888), VYR_EXPORT(IYU2toRGB888), VYR_EXPORT(IYU2toYUV), VYR_EXPORT(YUVtoMONO8),
    VYR_EXPORT(YUVtoRGB8888), VYR_EXPORT(RGB8888toHSV), VYR_EXPORT(HSVtoRGB8888), VYR_EXPORT(HSVtoMONO8),
    VYR_EXPORT(RGB8888toHSI), VYR_EXPORT(HSItoRGB8888), VYR_EXPORT(RGB8888toLAB), VYR_EXPORT(LABtoRGB8888),
    VYR_EXPORT(LABtoMONO8), {"MONO1toMONO1", VyrUtilReverseMONO1},
};
// clang-format on

// Bicolor exports whose fourth argument is the colour order.
const std::map<std::string, LineExport> kColourOrderExports = {
    VYR_EXPORT(Bicolor88toRGB8888),   VYR_EXPORT(Bicolor88toRGB888),      VYR_EXPORT(Bicolor88toRGBR888),
    VYR_EXPORT(Bicolor88toRGB161616), VYR_EXPORT(Bicolor88toRGB16161616), VYR_EXPORT(RGB888toBicolor88),
    VYR_EXPORT(RGB8888toBicolor88),   VYR_EXPORT(RGBR888toBicolor88),     VYR_EXPORT(RGB888toBicolor1616),
    VYR_EXPORT(RGB8888toBicolor1616), VYR_EXPORT(RGBR888toBicolor1616),
};

// Exports with a shift: 8-bit outputs take the top 8 of the significant bits, 16-bit outputs
// everything.
const std::map<std::string, std::pair<ShiftExport, bool>> kShiftExports = {
    {"Bicolor1616toRGB8888", {VyrUtilConvertBicolor1616toRGB8888, true}},
    {"Bicolor1616toRGB888", {VyrUtilConvertBicolor1616toRGB888, true}},
    {"Bicolor1616toRGBR888", {VyrUtilConvertBicolor1616toRGBR888, true}},
    {"Bicolor1616toRGB161616", {VyrUtilConvertBicolor1616toRGB161616, false}},
    {"Bicolor1616toRGB16161616", {VyrUtilConvertBicolor1616toRGB16161616, false}},
    {"RGB161616toBicolor1616", {VyrUtilConvertRGB161616toBicolor1616, false}},
    {"RGB16161616toBicolor1616", {VyrUtilConvertRGB16161616toBicolor1616, false}},
};

// Exports that write planes `count` samples apart, one after another. A frame of fewer planes takes
// the last ones: RGB8888toRGBP8 the red, green and blue of the fourth, red, green, blue export.
struct IntoPlanes {
    LineExport convert;
    size_t sampleBytes;
    unsigned planes;
};
const std::map<std::string, IntoPlanes> kIntoPlanes = {
    {"RGB888toRGBP8", {VyrUtilConvertRGB888toRGBP8, 1, 3}},
    {"RGB8888toRGBAP8", {VyrUtilConvertRGB8888toRGBAP8, 1, 4}},
    {"RGB8888toRGBP8", {VyrUtilConvertRGB8888toRGBAP8, 1, 4}},
    {"RGB101010toRGBP16", {VyrUtilConvertRGB101010toRGBP16, 2, 3}},
    {"RGB161616toRGBP16", {VyrUtilConvertRGB161616toRGBP16, 2, 3}},
};

// The planes of a line gathered one after another: the layout of a planar-source export with a
// plane distance of one line.
std::vector<uint8_t> gathered(const TestImage& src, uint32_t y)
{
    std::vector<uint8_t> line;
    for (unsigned k = 0; k < src.planes(); ++k)
        line.insert(line.end(), src.line(k, y), src.line(k, y) + src.lineBytes());
    return line;
}

// The sensor line that stands for row `row` when line y is demosaiced by Malvar: beyond the bottom
// the line as far above y; when that is above the top too, mirrored about the last line and then
// about the first. Rows above the top are the export's to substitute.
uint32_t malvarRow(int64_t row, uint32_t y, uint32_t height)
{
    const int64_t last = int64_t(height) - 1;
    if (row <= last)
        return uint32_t(row);
    if (2 * int64_t(y) - row >= 0)
        return uint32_t(2 * int64_t(y) - row);
    const int64_t mirrored = 2 * last - row;
    return uint32_t(mirrored < 0 ? -mirrored : mirrored);
}

void demosaicReference(const VyrFrameConversion& c, const TestImage& src, TestImage& dst,
                       const VyrFrameOptions& o)
{
    const uint32_t w = src.width(), h = src.height();
    const bool planar = dst.planes() == 3, deep = c.from == VYR_FRAME_BAYER15;
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t phase = (o.pattern - VYR_FRAME_PATTERN_GBRG) ^ (y % 2 == 1 ? 2u : 0u);
        uint8_t* r = dst.line(0, y);
        uint8_t* g = planar ? dst.line(1, y) : nullptr;
        uint8_t* b = planar ? dst.line(2, y) : nullptr;
        if (o.method == VYR_FRAME_METHOD_2X2) {
            const uint8_t* l0 = src.line(0, y);
            const uint8_t* l1 = src.line(0, y == h - 1 ? y - 1 : y + 1);
            if (!planar)
                VyrUtilConvertBayer8_2x2toRGB8888(l0, l1, r, w, phase, 0, 1);
            else if (!deep)
                VyrUtilConvertBayer8_2x2toPlanarRGB(l0, l1, r, g, b, w, phase, 0, 1);
            else
                VyrUtilConvertBayer15_2x2toPlanarRGB(l0, l1, r, g, b, w, phase, 0, 1);
            continue;
        }
        const uint8_t* l[5];
        for (int d = -2; d <= 2; ++d)
            l[d + 2] = int64_t(y) + d < 0 ? nullptr : src.line(0, malvarRow(int64_t(y) + d, y, h));
        const int32_t rowBorder = y == 0 ? -2 : y == 1 ? -1 : 0;
        uint32_t result = 0;
        if (!planar)
            result =
                VyrUtilConvertBayer8_MalvartoRGB8888(l[0], l[1], l[2], l[3], l[4], r, w, phase, rowBorder, 1);
        else if (!deep)
            result = VyrUtilConvertBayer8_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], r, g, b, w, phase,
                                                            rowBorder, 1);
        else
            result = VyrUtilConvertBayer15_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], r, g, b, w, phase,
                                                             rowBorder, 1);
        ASSERT_EQ(0u, result);
    }
}

// The conversion done line by line with the exports into dst; false when this file knows no
// reference for it.
bool reference(const VyrFrameConversion& c, const TestImage& src, TestImage& dst, const VyrFrameOptions& o)
{
    const std::string name = c.name;
    const uint32_t w = src.width(), h = src.height();
    if (const uint32_t base = unpackedFormatOf(c.from)) {
        // Packed samples: unpacked bit by bit, then the conversion from the unpacked format.
        TestImage unpacked(base, w, h, pitchFor(base, w, 8), Flush::Back, 1);
        for (uint32_t y = 0; y < h; ++y) {
            const std::vector<uint16_t> samples = unpackReference(c.from, src.line(0, y), w);
            std::memcpy(unpacked.line(0, y), samples.data(), 2 * size_t(w));
            if (c.to == base)
                std::memcpy(dst.line(0, y), samples.data(), 2 * size_t(w));
        }
        return c.to == base || reference(*VyrFrameFindConversion(base, c.to), unpacked, dst, o);
    }
    if (name == "Bayer15toRGB8888") {
        // The planes of the Bayer15 demosaic, each sample with one unused bit more.
        TestImage planes(VYR_FRAME_RGBP16, w, h, pitchFor(VYR_FRAME_RGBP16, w, 0), Flush::Back, 2);
        demosaicReference(*VyrFrameFindConversion(VYR_FRAME_BAYER15, VYR_FRAME_RGBP16), src, planes, o);
        for (uint32_t y = 0; y < h; ++y)
            VyrUtilConvertRGBP16toRGB8888(gathered(planes, y).data(), dst.line(0, y), 0, 0, w, 1, w,
                                          o.unusedBits + 1);
        return true;
    }
    for (uint32_t y = 0; y < src.height(); ++y) {
        if (auto f = kLineExports.find(name); f != kLineExports.end()) {
            f->second(src.line(0, y), dst.line(0, y), w, o.unusedBits);
        } else if (auto b = kColourOrderExports.find(name); b != kColourOrderExports.end()) {
            b->second(src.line(0, y), dst.line(0, y), w, o.blueFirst);
        } else if (auto s = kShiftExports.find(name); s != kShiftExports.end()) {
            s->second.first(src.line(0, y), dst.line(0, y), w, s->second.second ? 8 - o.unusedBits : 0,
                            o.blueFirst);
        } else if (name == "Bicolor88toBicolor1616") {
            VyrUtilConvertBicolor88toBicolor1616(src.line(0, y), dst.line(0, y), w, 0);
        } else if (auto p = kIntoPlanes.find(name); p != kIntoPlanes.end()) {
            std::vector<uint8_t> planes(p->second.sampleBytes * p->second.planes * w);
            p->second.convert(src.line(0, y), planes.data(), w, o.unusedBits);
            const unsigned skipped = p->second.planes - dst.planes();
            for (unsigned k = 0; k < dst.planes(); ++k)
                std::memcpy(dst.line(k, y), &planes[p->second.sampleBytes * w * (skipped + k)],
                            p->second.sampleBytes * w);
        } else if (name == "RGBP8toRGB8888" || name == "RGBAP8toRGB8888") {
            const PlanesExport f =
                name == "RGBP8toRGB8888" ? VyrUtilConvertRGBP8toRGB8888 : VyrUtilConvertRGBAP8toRGB8888;
            f(gathered(src, y).data(), dst.line(0, y), 0, 0, w, 1, w);
        } else if (name == "RGBP16toRGB8888") {
            VyrUtilConvertRGBP16toRGB8888(gathered(src, y).data(), dst.line(0, y), 0, 0, w, 1, w,
                                          o.unusedBits);
        } else if (c.options & VYR_FRAME_TAKES_PATTERN) {
            demosaicReference(c, src, dst, o);
            return true;
        } else {
            return false;
        }
    }
    return true;
}

// The option sets a conversion is swept with: unused bits 0 and the most it takes; every pattern
// by both methods; both colour orders.
std::vector<VyrFrameOptions> optionSets(const VyrFrameConversion& c)
{
    const auto first = [&c](uint32_t takes) { return c.options & takes ? 1u : 0u; };
    std::vector<VyrFrameOptions> sets;
    for (uint32_t unused = 0;; unused = c.maxUnusedBits) {
        for (uint32_t p = first(VYR_FRAME_TAKES_PATTERN); p <= 4 * first(VYR_FRAME_TAKES_PATTERN); ++p) {
            for (uint32_t m = first(VYR_FRAME_TAKES_METHOD); m <= 2 * first(VYR_FRAME_TAKES_METHOD); ++m) {
                for (uint32_t blue = 0; blue <= first(VYR_FRAME_TAKES_BLUE_FIRST); ++blue)
                    sets.push_back({unused, p, m, blue, 0});
            }
        }
        if (unused == c.maxUnusedBits)
            return sets;
    }
}

struct Shape {
    uint32_t width, height;
    int pitchSign;
};

// One conversion with one option set on one shape: the reference against VyrFrame with every thread
// count, planar sources in both layouts.
void sweep(const VyrFrameConversion& c, const VyrFrameOptions& options, const Shape& shape)
{
    const ptrdiff_t srcPitch = shape.pitchSign * pitchFor(c.from, shape.width, 40);
    const ptrdiff_t dstPitch = shape.pitchSign * pitchFor(c.to, shape.width, 24);
    const uint32_t seed = shape.width * 131 + shape.height;
    for (PlaneLayout layout : {PlaneLayout::Apart, PlaneLayout::Together}) {
        if (layout == PlaneLayout::Together && VyrFrameGetFormat(c.from)->planes == 1)
            continue;
        const TestImage src(c.from, shape.width, shape.height, srcPitch, Flush::Front, seed, layout);
        TestImage expected(c.to, shape.width, shape.height, dstPitch, Flush::Back, seed + 7);
        ASSERT_TRUE(reference(c, src, expected, options)) << "no reference for " << c.name;
        for (uint32_t threads : {1u, 2u, 3u, 7u}) {
            VyrFrameOptions o = options;
            o.threads = threads;
            TestImage actual(c.to, shape.width, shape.height, dstPitch, Flush::Back, seed + 7);
            const VyrFrameImage in = src.image(), out = actual.image();
            ASSERT_EQ(VYR_FRAME_OK, VyrFrameConvert(&in, &out, &o))
                << describe(c, o) << ": " << VyrFrameLastMessage();
            EXPECT_STREQ("", VyrFrameLastMessage());
            const std::vector<uint8_t> want = expected.bytes(), got = actual.bytes();
            ASSERT_TRUE(sameBytes(want.data(), got.data(), want.size()))
                << describe(c, o) << ", " << shape.width << " x " << shape.height << " pitch " << dstPitch
                << (layout == PlaneLayout::Together ? ", planes together" : "");
            ASSERT_TRUE(actual.intact() && src.intact()) << describe(c, o);
        }
    }
}

TEST(FrameConversions, EveryListedConversionEqualsTheExportsLineByLine)
{
    const uint32_t count = VyrFrameConversionCount();
    ASSERT_GE(count, 100u);
    for (uint32_t i = 0; i < count; ++i) {
        const VyrFrameConversion& c = *VyrFrameConversionAt(i);
        SCOPED_TRACE(c.name);
        for (const VyrFrameOptions& options : optionSets(c)) {
            // Odd sizes; the bottom-up frame also tall enough that bands differ in lines. Bayer frames
            // also at the smallest sizes their method takes, whose edge lines and columns are all there is.
            std::vector<Shape> shapes = {{37, 11, 1}, {21, 29, -1}};
            for (uint32_t height = 2; (c.options & VYR_FRAME_TAKES_PATTERN) && height <= 5; ++height)
                shapes.push_back({options.method == VYR_FRAME_METHOD_2X2 ? 2u : 4u, height, 1});
            for (const Shape& shape : shapes) {
                sweep(c, options, shape);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(FrameConversions, ListNamesEachPairOnceWithItsFormatsNames)
{
    for (uint32_t i = 0; i < VyrFrameConversionCount(); ++i) {
        const VyrFrameConversion& c = *VyrFrameConversionAt(i);
        EXPECT_EQ(std::string(VyrFrameGetFormat(c.from)->name) + "to" + VyrFrameGetFormat(c.to)->name,
                  c.name);
        EXPECT_EQ(&c, VyrFrameFindConversion(c.from, c.to)) << "a pair listed twice: " << c.name;
        EXPECT_EQ(c.maxUnusedBits != 0, (c.options & VYR_FRAME_TAKES_UNUSED_BITS) != 0) << c.name;
    }
    EXPECT_EQ(nullptr, VyrFrameConversionAt(VyrFrameConversionCount()));
    EXPECT_EQ(nullptr, VyrFrameFindConversion(VYR_FRAME_HSV, VYR_FRAME_LAB));
    // Ranges that differ by the sides' depths.
    EXPECT_EQ(24u, VyrFrameFindConversion(VYR_FRAME_MONO32, VYR_FRAME_MONO8)->maxUnusedBits);
    EXPECT_EQ(11u, VyrFrameFindConversion(VYR_FRAME_MONO16, VYR_FRAME_RGB5551)->maxUnusedBits);
    EXPECT_EQ(2u, VyrFrameFindConversion(VYR_FRAME_RGB101010, VYR_FRAME_RGB8888)->maxUnusedBits);
    EXPECT_EQ(8u, VyrFrameFindConversion(VYR_FRAME_BICOLOR1616, VYR_FRAME_RGB888)->maxUnusedBits);
}

TEST(FrameFormats, NamesValuesAndLineBytes)
{
    ASSERT_EQ(36u, VyrFrameFormatCount());
    for (uint32_t i = 0; i < VyrFrameFormatCount(); ++i) {
        const VyrFrameFormatInfo* info = VyrFrameFormatAt(i);
        EXPECT_EQ(info, VyrFrameGetFormat(info->format));
        std::string lower = info->name;
        for (char& ch : lower)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(info, VyrFrameFindFormat(lower.c_str())) << lower;
    }
    EXPECT_EQ(nullptr, VyrFrameFindFormat("RGB88"));
    EXPECT_EQ(nullptr, VyrFrameFindFormat(nullptr));
    EXPECT_EQ(nullptr, VyrFrameGetFormat(0));
    EXPECT_EQ(nullptr, VyrFrameGetFormat(37));
    struct Case {
        uint32_t format, width;
        size_t bytes;
    };
    for (const Case& c :
         {Case{VYR_FRAME_MONO1, 9, 2}, Case{VYR_FRAME_MONO1, 8, 1}, Case{VYR_FRAME_YUY2, 7, 16},
          Case{VYR_FRAME_Y411, 5, 12}, Case{VYR_FRAME_Y411, 4, 6}, Case{VYR_FRAME_RGB161616, 3, 18},
          Case{VYR_FRAME_RGBP16, 3, 6}, Case{VYR_FRAME_BICOLOR1616, 2, 8},
          // Bit-packed lines end at the byte of the last bit: 10 x 5 = 50 bits, 12 x 3 = 36 bits.
          Case{VYR_FRAME_MONO10P, 5, 7}, Case{VYR_FRAME_MONO10P, 4, 5}, Case{VYR_FRAME_BAYER12P, 3, 5},
          Case{VYR_FRAME_MONO12PACKED, 3, 5}, Case{VYR_FRAME_BAYER12PACKED, 4, 6}})
        EXPECT_EQ(c.bytes, VyrFrameLineBytes(c.format, c.width)) << VyrFrameGetFormat(c.format)->name;
    EXPECT_EQ(0u, VyrFrameLineBytes(99, 10));
}

TEST(FrameOptions, PatternAndMethodNames)
{
    const char* names[] = {"GBRG", "BGGR", "RGGB", "GRBG"};
    for (uint32_t p = VYR_FRAME_PATTERN_GBRG; p <= VYR_FRAME_PATTERN_GRBG; ++p) {
        EXPECT_STREQ(names[p - 1], VyrFramePatternName(p));
        EXPECT_EQ(p, VyrFrameFindPattern(names[p - 1]));
    }
    EXPECT_EQ(uint32_t(VYR_FRAME_PATTERN_RGGB), VyrFrameFindPattern("rggb"));
    EXPECT_EQ(uint32_t(VYR_FRAME_PATTERN_NONE), VyrFrameFindPattern("RGBG"));
    EXPECT_EQ(nullptr, VyrFramePatternName(0));
    EXPECT_EQ(nullptr, VyrFramePatternName(5));
    EXPECT_EQ(uint32_t(VYR_FRAME_METHOD_2X2), VyrFrameFindMethod("2X2"));
    EXPECT_EQ(uint32_t(VYR_FRAME_METHOD_MALVAR), VyrFrameFindMethod("Malvar"));
    EXPECT_EQ(uint32_t(VYR_FRAME_METHOD_DEFAULT), VyrFrameFindMethod("3x3"));
    EXPECT_GE(VyrFrameProcessorCount(), 1u);
}

} // namespace
} // namespace vyr::test
