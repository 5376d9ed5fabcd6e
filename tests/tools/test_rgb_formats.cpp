// vyrconvert with the deep grey, packed RGB and planar formats: unused bits, planar frames, 16-bit
// PNGs in and out, and colours landing in their own PNG channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "bytes.h"
#include "png16_files.h"
#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

std::vector<uint8_t> words16(const std::vector<uint32_t>& values)
{
    std::vector<uint8_t> bytes;
    for (uint32_t v : values) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
    }
    return bytes;
}

class DeepFormats : public ::testing::Test {
protected:
    ScratchDirectory dir;

    // Converts in.raw (or in.png) and returns the output file's bytes; fails the test on an error.
    std::vector<uint8_t> convert(const std::vector<std::string>& args, const std::string& output = "out.raw")
    {
        std::vector<std::string> all = args;
        all.push_back(output);
        const ToolRun run = runTool(all, dir.path());
        EXPECT_EQ(0, run.exitCode) << run.err;
        EXPECT_EQ("", run.err);
        return readFile(dir.path() / output);
    }
};

TEST_F(DeepFormats, RawSamplesKeepTheSignificantBitsTheUnusedBitsLeave)
{
    // 10-bit MONO16: 1020..1023 give 255; 1024 lies beyond the depth and keeps its low byte.
    const std::vector<uint32_t> tenBit = {0, 3, 4, 512, 1020, 1023, 1024, 700};
    writeFile(dir.path() / "in.raw", words16(tenBit));
    std::vector<uint8_t> expected;
    for (uint32_t v : tenBit)
        expected.push_back(uint8_t(v >> 2));
    EXPECT_EQ(expected, convert({"--from", "MONO16", "--to", "MONO8", "--unused-bits", "6", "--width", "4", "--height",
                                 "2", "in.raw"}));

    // 12-bit INT16: -2048..2047 span 0..255, beyond saturates.
    const std::vector<int> signedValues = {-2048, -1, 0, 2047, 2048, -3000};
    std::vector<uint32_t> raw;
    expected.clear();
    for (int v : signedValues) {
        raw.push_back(uint32_t(v) & 0xFFFF);
        expected.push_back(uint8_t(std::clamp(v / 16 + 128, 0, 255)));
    }
    writeFile(dir.path() / "in.raw", words16(raw));
    EXPECT_EQ(expected, convert({"--from", "INT16", "--to", "MONO8", "--unused-bits", "4", "--width", "3", "--height",
                                 "2", "in.raw"}));
}

// Planar frames hold whole planes of width x height samples; a planar source is read per line.
TEST_F(DeepFormats, PlanarFramesHoldWholePlanes)
{
    const uint32_t width = 5, height = 3, pixels = width * height;
    const std::vector<uint8_t> bgr = randomBytes(3 * pixels, 41);
    writeFile(dir.path() / "in.raw", bgr);
    std::vector<uint8_t> planes(3 * pixels);
    for (uint32_t i = 0; i < pixels; ++i) {
        planes[i] = bgr[3 * i + 2];
        planes[pixels + i] = bgr[3 * i + 1];
        planes[2 * pixels + i] = bgr[3 * i];
    }
    EXPECT_EQ(planes, convert({"--from", "RGB888", "--to", "RGBP8", "--width", "5", "--height", "3", "in.raw"}));

    std::vector<uint8_t> quads(4 * pixels);
    for (uint32_t i = 0; i < pixels; ++i)
        std::copy_n(&bgr[3 * i], 3, &quads[4 * i]);
    for (const char* threads : {"1", "2"}) {
        EXPECT_EQ(quads, convert({"--from", "RGBP8", "--to", "RGB8888", "--threads", threads, "--width", "5",
                                  "--height", "3", "out.raw"},
                                 "back.raw"))
            << threads << " threads";
    }
}

TEST_F(DeepFormats, Mono1LinesHaveTheirBitsMirrored)
{
    const std::vector<uint8_t> bits = {0x01, 0xF0, 0x80, 0x35}; // width 10: two bytes a line
    writeFile(dir.path() / "in.raw", bits);
    EXPECT_EQ((std::vector<uint8_t>{0x80, 0x0F, 0x01, 0xAC}),
              convert({"--from", "MONO1", "--to", "MONO1", "--width", "10", "--height", "2", "in.raw"}));
}

// A 16-bit PNG holds full-depth samples: with unused bits they are moved down to the significant
// bits before the conversion, so the picture converts alike whatever depth it is read at.
TEST_F(DeepFormats, SixteenBitPngsLoadAsMono16AndRgb161616)
{
    const std::vector<uint16_t> grey = {0x0000, 0x1234, 0x8000, 0xFFC0, 0xFFFF, 0x03FF};
    ASSERT_TRUE(writePng16(dir.path() / "grey.png", {3, 2, false, grey, 0}));
    std::vector<uint8_t> top;
    for (uint16_t v : grey)
        top.push_back(uint8_t(v >> 8));
    EXPECT_EQ(top, convert({"--to", "MONO8", "grey.png"}));
    EXPECT_EQ(top, convert({"--to", "MONO8", "--unused-bits", "6", "grey.png"}));

    const std::vector<uint16_t> rgb = {0xFF00, 0x0000, 0x1200, 0x0000, 0xAB00, 0x0000}; // R, G, B per pixel
    ASSERT_TRUE(writePng16(dir.path() / "rgb.png", {2, 1, true, rgb, 0}));
    EXPECT_EQ((std::vector<uint8_t>{0x12, 0x00, 0xFF, 0x00, 0xAB, 0x00}), convert({"--to", "RGB888", "rgb.png"}));
}

// 16-bit PNG output: significant bits on top, named by sBIT; R, G, B in PNG order.
TEST_F(DeepFormats, DeepFormatsWriteSixteenBitPngs)
{
    const std::vector<uint8_t> grey = {0, 1, 128, 255};
    writeFile(dir.path() / "in.raw", grey);
    convert({"--to", "MONO16", "--unused-bits", "6", "--width", "2", "--height", "2", "in.raw"}, "grey.png");
    const std::optional<DeepPicture> greyPng = readPng16(dir.path() / "grey.png");
    ASSERT_TRUE(greyPng);
    EXPECT_FALSE(greyPng->rgb);
    EXPECT_EQ(10u, greyPng->significantBits);
    EXPECT_EQ((std::vector<uint16_t>{0x0000, 0x0100, 0x8000, 0xFF00}), greyPng->samples);

    const std::vector<uint32_t> fields = {0x3FF << 20 | 0x200 << 10 | 0x001, 0x3FFFFFFF};
    std::vector<uint8_t> raw;
    for (uint32_t w : fields) {
        for (int shift = 0; shift < 32; shift += 8)
            raw.push_back(uint8_t(w >> shift));
    }
    writeFile(dir.path() / "in.raw", raw);
    convert({"--from", "RGB101010", "--to", "RGB161616", "--width", "2", "--height", "1", "in.raw"}, "rgb.png");
    const std::optional<DeepPicture> rgbPng = readPng16(dir.path() / "rgb.png");
    ASSERT_TRUE(rgbPng);
    EXPECT_TRUE(rgbPng->rgb);
    EXPECT_EQ((std::vector<uint16_t>{0xFFC0, 0x8000, 0x0040, 0xFFC0, 0xFFC0, 0xFFC0}), rgbPng->samples);
}

// ---- Colours in PNG output ---------------------------------------------------------------------------

struct ColourCase {
    const char* from;
    const char* to;
    std::vector<uint8_t> redGreenBlue; // three pixels in the source format: red, green, blue
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.from << " to " << c.to; }

class PngColours : public ::testing::TestWithParam<ColourCase> {
protected:
    ScratchDirectory dir;
};

// A red, a green and a blue pixel come out red, green and blue: a swap of red and blue anywhere
// between the source's layout, the library and the PNG writer shows.
TEST_P(PngColours, RedGreenAndBlueStayInTheirChannels)
{
    const ColourCase& c = GetParam();
    writeFile(dir.path() / "in.raw", c.redGreenBlue);
    const ToolRun run = runTool({"--from", c.from, "--to", c.to, "--width", "3", "--height", "1", "in.raw", "out.png"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    const std::optional<RgbPicture> picture = readPngAsRgb(dir.path() / "out.png");
    ASSERT_TRUE(picture);
    ASSERT_EQ(9u, picture->rgb.size());
    for (size_t pixel = 0; pixel < 3; ++pixel) {
        for (size_t channel = 0; channel < 3; ++channel) {
            const int v = picture->rgb[3 * pixel + channel];
            if (channel == pixel)
                EXPECT_GE(v, 200) << "pixel " << pixel << " channel " << channel;
            else
                EXPECT_LE(v, 8) << "pixel " << pixel << " channel " << channel;
        }
    }
}

const ColourCase kColourCases[] = {
    {"RGB888", "RGB8888", {0, 0, 255, 0, 255, 0, 255, 0, 0}},
    {"RGBR888", "RGB888", {255, 0, 0, 0, 255, 0, 0, 0, 255}},
    {"RGBR888", "RGB8888", {255, 0, 0, 0, 255, 0, 0, 0, 255}},
    {"RGB8888", "RGB888", {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9}},
    {"RGB888", "RGB565", {0, 0, 255, 0, 255, 0, 255, 0, 0}},
    {"RGB888", "RGB5551", {0, 0, 255, 0, 255, 0, 255, 0, 0}},
    {"RGB565", "RGB888", {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}},
    {"RGB5551", "RGB888", {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00}},
    {"RGB101010", "RGB8888", {0, 0, 0xF0, 0x3F, 0x00, 0xFC, 0x0F, 0x00, 0xFF, 0x03, 0, 0}},
    {"RGB101010", "RGB161616", {0, 0, 0xF0, 0x3F, 0x00, 0xFC, 0x0F, 0x00, 0xFF, 0x03, 0, 0}},
    {"RGB161616", "RGB888", {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
    {"RGB16161616", "RGB101010", {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0,
                                  0xFF, 0xFF, 0, 0, 0, 0, 0, 0}},
    {"RGB888", "RGBP8", {0, 0, 255, 0, 255, 0, 255, 0, 0}},
    {"RGBP8", "RGB8888", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, // planes red, green, blue
    {"RGB161616", "RGBP16", {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Formats, PngColours, ::testing::ValuesIn(kColourCases),
                         [](const auto& info) { return std::string(info.param.from) + "to" + info.param.to; });

// ---- The demo -----------------------------------------------------------------------------------------------

double luma(const uint8_t* rgb) { return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]; }

TEST(DemoOfDeepFormats, ShowsATenBitRampAndTheQuantisationOfRgb565And5551)
{
    ScratchDirectory dir;
    const ToolRun demo = runTool({"--demo"}, dir.path());
    ASSERT_EQ(0, demo.exitCode) << demo.err;
    EXPECT_NE(std::string::npos, demo.out.find("MONO16toMONO8 runs with --unused-bits 6")) << demo.out;
    EXPECT_NE(std::string::npos, demo.out.find("10-bit samples")) << demo.out;
    const auto scene = readPngAsRgb(dir.path() / "vyrconvert-demo/scene.png");
    ASSERT_TRUE(scene);

    // The 10-bit source, cut to 8 bits, is the scene's grey: 10-bit truncation and the scene's
    // 8-bit rounding differ by little.
    const auto ramp = readPngAsRgb(dir.path() / "vyrconvert-demo/MONO16toMONO8.png");
    ASSERT_TRUE(ramp);
    ASSERT_EQ(scene->rgb.size(), ramp->rgb.size());
    double worst = 0;
    for (size_t i = 0; i < ramp->rgb.size(); i += 3)
        worst = std::max(worst, std::abs(ramp->rgb[i] - luma(&scene->rgb[i])));
    EXPECT_LE(worst, 2.5);

    // 5-bit fields shown shifted up, without bit replication: levels step by 8 (6-bit green by 4).
    for (const char* name : {"RGB888toRGB565", "RGB888toRGB5551"}) {
        const auto quantised = readPngAsRgb(dir.path() / "vyrconvert-demo" / (std::string(name) + ".png"));
        ASSERT_TRUE(quantised) << name;
        const int greenStep = std::string(name) == "RGB888toRGB565" ? 4 : 8;
        std::set<int> levels;
        for (size_t i = 0; i < quantised->rgb.size(); i += 3) {
            ASSERT_EQ(0, quantised->rgb[i] % 8) << name << " pixel " << i / 3;
            ASSERT_EQ(0, quantised->rgb[i + 1] % greenStep) << name << " pixel " << i / 3;
            ASSERT_EQ(0, quantised->rgb[i + 2] % 8) << name << " pixel " << i / 3;
            ASSERT_LT(scene->rgb[i] - quantised->rgb[i], 8 + 1) << name << " pixel " << i / 3;
            levels.insert(quantised->rgb[i]);
        }
        EXPECT_EQ(32u, levels.size()) << name << ": every red level appears in the ramps";
    }
}

} // namespace
} // namespace vyr::test
