// vyrconvert on raw and PNG files: one conversion of each format family gives the bytes computed here;
// the tool's own sample arithmetic, checked directly where the command line cannot reach every value.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "bytes.h"
#include "samples.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

struct RawCase {
    std::string args; // the conversion and the frame size
    Bytes in, expected;
};

std::vector<RawCase> rawCases()
{
    std::vector<RawCase> cases;
    const Bytes grey = randomBytes(35, 1), rgb565 = randomBytes(30, 2), planes = randomBytes(45, 3);
    cases.push_back({"--from MONO8 --to RGB8888 --width 7 --height 5 --threads 3", grey, repeated(grey, 4)});
    cases.push_back({"--from=mono8 --to=rgb888 --width=5 --height=7", grey, repeated(grey, 3)});
    cases.push_back({"--width 5 --height 7", grey, repeated(grey, 4)}); // MONO8 to RGB8888 by default
    RawCase packed{"--from RGB565 --to RGB888 --width 5 --height 3", rgb565, {}};
    for (size_t i = 0; i < rgb565.size(); i += 2) {
        const unsigned w = rgb565[i] | rgb565[i + 1] << 8; // blue, green, red from the low bits up
        packed.expected.insert(packed.expected.end(),
                               {uint8_t(w << 3), uint8_t((w >> 5 & 63) << 2), uint8_t(w >> 11 << 3)});
    }
    cases.push_back(packed);
    RawCase planar{"--from RGBP8 --to RGB8888 --width 5 --height 3", planes, {}}; // planes R, G, B
    for (size_t i = 0; i < 15; ++i)
        planar.expected.insert(planar.expected.end(), {planes[30 + i], planes[15 + i], planes[i], 0});
    cases.push_back(planar);
    // YUY2 with neutral chroma is grey at its luma.
    RawCase yuv{"--from YUY2 --to RGB888 --width 6 --height 4", {}, repeated(randomBytes(24, 4), 3)};
    for (size_t i = 0; i < yuv.expected.size(); i += 3)
        yuv.in.insert(yuv.in.end(), {yuv.expected[i], 128});
    cases.push_back(yuv);
    // Blue at the even pixels, red at the odd ones: each flat, so any interpolation keeps it.
    RawCase bicolor{"--from Bicolor88 --to RGB888 --blue-first --width 6 --height 3", {}, {}};
    for (uint8_t g : randomBytes(18, 5)) {
        bicolor.in.insert(bicolor.in.end(), {uint8_t(bicolor.in.size() % 4 ? 200 : 40), g});
        bicolor.expected.insert(bicolor.expected.end(), {40, g, 200});
    }
    cases.push_back(bicolor);
    // One colour over the mosaic comes back at every pixel, edges included, only if every line is
    // demosaiced with the colours of its own row of the pattern (odd sizes put every kind of site on
    // the last line and column).
    for (const std::string pattern : {"GBRG", "BGGR", "RGGB", "GRBG"}) {
        Bytes mosaic;
        for (uint32_t i = 0; i < 35; ++i) {
            const char colour = pattern[2 * (i / 7 % 2) + i % 7 % 2];
            mosaic.push_back(colour == 'R' ? 200 : colour == 'G' ? 100 : 30);
        }
        Bytes flat;
        for (int i = 0; i < 35; ++i)
            flat.insert(flat.end(), {30, 100, 200, 0});
        for (const std::string method : {"2x2", "malvar"})
            cases.push_back({"--from Bayer8 --to RGB8888 --width 7 --height 5 --pattern " + pattern +
                                 " --method " + method,
                             mosaic, flat});
    }
    return cases;
}

// The temporary the output is written to is private; the output gets the permissions of a plain create.
TEST(Raw, EachFamilyGivesTheExpectedBytes)
{
    ScratchDirectory dir;
    const mode_t mask = umask(022);
    for (const RawCase& c : rawCases()) {
        writeFile(dir.path() / "in.raw", c.in);
        EXPECT_EQ(c.expected, converted(c.args + " in.raw out.raw", dir.path())) << c.args;
        EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(dir.path()))
            << "a temporary is left";
    }
    umask(mask);
    EXPECT_EQ(fs::perms(0644), fs::status(dir.path() / "out.raw").permissions() & fs::perms::all);
}

TEST(Png, GreyInputsAndColourOutputsKeepThePixels)
{
    ScratchDirectory dir;
    const Bytes grey = randomBytes(36, 6), bgr = randomBytes(36 * 3, 7);
    ASSERT_TRUE(writeGreyPng(dir.path() / "In.Png", 9, 4, grey));
    EXPECT_EQ(repeated(grey, 3), converted("--to RGB888 In.Png out.raw", dir.path()));
    // RGB888 holds B, G, R; a PNG holds R, G, B.
    writeFile(dir.path() / "in.raw", bgr);
    Bytes rgb;
    for (size_t i = 0; i < bgr.size(); i += 3)
        rgb.insert(rgb.end(), {bgr[i + 2], bgr[i + 1], bgr[i]});
    for (const auto& [args, expected] :
         {std::pair{"--from MONO8 --to RGB8888 In.Png OUT.PNG", repeated(grey, 3)},
          {"--from RGB888 --to RGB8888 --width 9 --height 4 in.raw OUT.PNG", rgb}}) {
        converted(args, dir.path());
        const auto png = readPng(dir.path() / "OUT.PNG");
        ASSERT_TRUE(png) << args;
        EXPECT_TRUE(png->colour && png->width == 9 && png->height == 4) << args;
        EXPECT_EQ(expected, png->rgb) << args;
    }
    EXPECT_EQ((std::set<std::string>{"In.Png", "in.raw", "out.raw", "OUT.PNG"}), listTree(dir.path()));
}

// (16 - unusedBits) significant bits drawn as 8: the nearest of 255 steps, values above the depth at
// its top, and black when no bit is significant.
TEST(Samples, SignificantBitsTo8BitAtEveryDepth)
{
    for (uint32_t unused = 0; unused <= 24; ++unused) {
        const double maximum = unused < 16 ? double(0xFFFFu >> unused) : 0;
        for (uint32_t v : {0u, 1u, 2u, 127u, 128u, 255u, 256u, 1023u, 1024u, 0x7FFFu, 0x8000u, 0xFFFFu}) {
            const double level = maximum == 0 ? 0 : std::min(double(v), maximum) * 255 / maximum;
            EXPECT_EQ(std::lround(level), tool::significantTo8Bit(v, unused)) << v << ", unused " << unused;
        }
    }
}

} // namespace
} // namespace vyr::test
