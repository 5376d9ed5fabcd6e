// vyrconvert through the YUV, colour-space and sensor formats: round trips, and whole Bayer frames
// (every line with its own row of the pattern, the edge lines, thread bands).
#include <gtest/gtest.h>

#include <algorithm>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Greys survive RGB888 to each 4:2:2 format and back (their luma weights sum to one and their
// chroma is 128), and the YUY2 frame renders as the same greys in a PNG.
TEST(Yuv, GreysComeBackAndRenderAsGrey)
{
    ScratchDirectory dir;
    const Bytes grey = randomBytes(24, 17);
    writeFile(dir.path() / "in.raw", repeated(grey, 3));
    const std::string size = " --width 6 --height 4 ";
    for (const std::string format : {"UYVY", "YUY2", "YVYU"}) {
        EXPECT_EQ(48u,
                  converted("--from RGB888 --to " + format + size + "in.raw yuv.raw", dir.path()).size());
        EXPECT_EQ(repeated(grey, 3),
                  converted("--from " + format + " --to RGB888" + size + "yuv.raw out.raw", dir.path()))
            << format;
    }
    converted("--from RGB888 --to YUY2" + size + "in.raw yuy2.png", dir.path());
    const auto png = readPng(dir.path() / "yuy2.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(repeated(grey, 3), png->rgbBytes());
}

// RGB8888 in and out of each space: the fourth byte 0 both ways, V the largest channel, S 0 for
// greys, which come back from the hexcone spaces unchanged, and the MONO8 plane the byte it names.
TEST(ColourSpaces, RawFramesGoInAndComeOut)
{
    ScratchDirectory dir;
    Bytes rgb = randomBytes(4 * 37 * 5, 31);
    for (size_t i = 0; i < rgb.size(); i += 40) // every tenth pixel a grey
        rgb[i + 1] = rgb[i + 2] = rgb[i];
    writeFile(dir.path() / "rgb.raw", rgb);
    struct Space {
        std::string name;
        bool hexcone;
        int planeToMono8; // or -1: no such conversion
    };
    for (const Space& space : {Space{"HSV", true, 0}, Space{"HSI", true, -1}, Space{"LAB", false, 2}}) {
        const std::string size = " --width 37 --height 5 ";
        const Bytes pixels =
            converted("--from RGB8888 --to " + space.name + size + "rgb.raw in.raw", dir.path());
        const Bytes back =
            converted("--from " + space.name + " --to RGB8888" + size + "in.raw back.raw", dir.path());
        ASSERT_TRUE(pixels.size() == rgb.size() && back.size() == rgb.size()) << space.name;
        for (size_t i = 0; i < rgb.size(); i += 4) {
            const uint8_t b = rgb[i], g = rgb[i + 1], r = rgb[i + 2];
            EXPECT_TRUE(pixels[i + 3] == 0 && back[i + 3] == 0) << space.name << " pixel " << i / 4;
            if (space.planeToMono8 == 0) {
                EXPECT_EQ(std::max({r, g, b}), pixels[i]) << "V of pixel " << i / 4;
            }
            if (space.hexcone && r == g && g == b) {
                EXPECT_EQ(0, pixels[i + 1]) << space.name << ", grey " << int(r);
                EXPECT_TRUE(sameBytes(&rgb[i], &back[i], 3)) << space.name << ", grey " << int(r);
            }
        }
        if (space.planeToMono8 >= 0) {
            const Bytes mono =
                converted("--from " + space.name + " --to MONO8" + size + "in.raw mono.raw", dir.path());
            ASSERT_EQ(rgb.size() / 4, mono.size());
            for (size_t i = 0; i < mono.size(); ++i)
                EXPECT_EQ(pixels[4 * i + size_t(space.planeToMono8)], mono[i])
                    << space.name << " pixel " << i;
        }
    }
}

struct BayerTarget {
    const char* conversion;
    size_t sampleBytes; // of the mosaic and the output samples (RGB8888 aside)
    bool planar;
    size_t outputLine(uint32_t w) const { return planar ? w * sampleBytes : 4 * w; }
};

const char* const kPatterns[] = {"GBRG", "BGGR", "RGGB", "GRBG"};
const BayerTarget kBayerTargets[] = {{"--from Bayer8 --to RGB8888", 1, false},
                                     {"--from Bayer8 --to RGBP8", 1, true},
                                     {"--from Bayer15 --to RGBP16", 2, true}};

void putSample(Bytes& bytes, size_t index, size_t sampleBytes, uint32_t v)
{
    for (size_t b = 0; b < sampleBytes; ++b)
        bytes[index * sampleBytes + b] = uint8_t(v >> (8 * b));
}

std::string bayerArgs(const BayerTarget& t, const std::string& pattern, const std::string& method, uint32_t w,
                      uint32_t h)
{
    return std::string(t.conversion) + " --pattern " + pattern + " --method " + method + " --width " +
           std::to_string(w) + " --height " + std::to_string(h) + " in.raw ";
}

// The lines of a frame (planes one after another) in reverse order.
Bytes flipped(const Bytes& frame, size_t line)
{
    Bytes out;
    for (size_t y = frame.size() / line; y-- > 0;)
        out.insert(out.end(), frame.begin() + ptrdiff_t(line * y), frame.begin() + ptrdiff_t(line * (y + 1)));
    return out;
}

// One colour over the whole mosaic comes back at every pixel, edges included, only if every line
// is demosaiced with the colours of its own row of the pattern (odd sizes put every kind of site on
// the last line and column); and threads split the frame into bands without changing it.
TEST(BayerFrames, FlatColoursComeBackInEveryPatternMethodAndThreadCount)
{
    ScratchDirectory dir;
    for (const BayerTarget& t : kBayerTargets) {
        const uint32_t scale = t.sampleBytes == 2 ? 128 : 1, rgb[3] = {200 * scale, 100 * scale, 30 * scale};
        Bytes expected;
        if (t.planar) {
            expected.resize(35 * 3 * t.sampleBytes);
            for (size_t i = 0; i < 35 * 3; ++i)
                putSample(expected, i, t.sampleBytes, rgb[i / 35]);
        } else {
            for (int i = 0; i < 35; ++i)
                expected.insert(expected.end(), {uint8_t(rgb[2]), uint8_t(rgb[1]), uint8_t(rgb[0]), 0});
        }
        for (const std::string pattern : kPatterns) {
            Bytes mosaic(35 * t.sampleBytes);
            for (uint32_t i = 0; i < 35; ++i) {
                const char colour = pattern[2 * (i / 7 % 2) + i % 7 % 2];
                putSample(mosaic, i, t.sampleBytes, rgb[colour == 'R' ? 0 : colour == 'G' ? 1 : 2]);
            }
            writeFile(dir.path() / "in.raw", mosaic);
            for (const char* method : {"2x2", "malvar"})
                EXPECT_EQ(expected, converted(bayerArgs(t, pattern, method, 7, 5) + "out.raw", dir.path()))
                    << t.conversion << ", " << pattern << ", " << method;
        }
        writeFile(dir.path() / "in.raw", randomBytes(33 * 17 * t.sampleBytes, 41));
        for (const char* method : {"2x2", "malvar"}) {
            const Bytes one = converted(bayerArgs(t, "GRBG", method, 33, 17) + "one.raw", dir.path());
            const Bytes many =
                converted("--threads 5 " + bayerArgs(t, "GRBG", method, 33, 17) + "many.raw", dir.path());
            ASSERT_EQ(one.size(), many.size());
            EXPECT_TRUE(sameBytes(one.data(), many.data(), one.size())) << t.conversion << ", " << method;
        }
    }
}

// Malvar mirrors the lines beyond the first and the last alike: a frame upside down (odd height
// keeps the pattern) comes back upside down. The 2x2 method pairs the last line with the line
// above it, as the only line pair of a frame of the two lines in that order.
TEST(BayerFrames, EdgeLinesFollowTheDocumentedChoices)
{
    ScratchDirectory dir;
    for (const BayerTarget& t : kBayerTargets) {
        const uint32_t w = 9;
        const size_t line = w * t.sampleBytes;
        for (uint32_t h : {3u, 5u, 9u}) {
            Bytes mosaic = randomBytes(line * h, h);
            for (size_t i = 1; t.sampleBytes == 2 && i < mosaic.size(); i += 2)
                mosaic[i] &= 0x7F;
            writeFile(dir.path() / "in.raw", mosaic);
            const Bytes upright = converted(bayerArgs(t, "BGGR", "malvar", w, h) + "upright.raw", dir.path());
            writeFile(dir.path() / "in.raw", flipped(mosaic, line));
            const Bytes result = converted(bayerArgs(t, "BGGR", "malvar", w, h) + "flipped.raw", dir.path());
            Bytes back; // each plane flipped back
            for (size_t at = 0; at < result.size(); at += t.outputLine(w) * h) {
                const Bytes plane = flipped(Bytes(result.begin() + ptrdiff_t(at),
                                                  result.begin() + ptrdiff_t(at + t.outputLine(w) * h)),
                                            t.outputLine(w));
                back.insert(back.end(), plane.begin(), plane.end());
            }
            EXPECT_EQ(upright, back) << t.conversion << ", height " << h;
        }

        const uint32_t h = 5;
        const Bytes mosaic = randomBytes(line * h, 43);
        writeFile(dir.path() / "in.raw", mosaic);
        const Bytes frame = converted(bayerArgs(t, "RGGB", "2x2", w, h) + "frame.raw", dir.path());
        Bytes pair(mosaic.begin() + ptrdiff_t(line * 4), mosaic.end()); // line 4 has the pattern's first row
        pair.insert(pair.end(), mosaic.begin() + ptrdiff_t(line * 3), mosaic.begin() + ptrdiff_t(line * 4));
        writeFile(dir.path() / "in.raw", pair);
        const Bytes two = converted(bayerArgs(t, "RGGB", "2x2", w, 2) + "pair.raw", dir.path());
        const size_t out = t.outputLine(w);
        for (size_t k = 0; k < (t.planar ? 3u : 1u); ++k)
            EXPECT_TRUE(sameBytes(&two[out * k * 2], &frame[out * (k * h + h - 1)], out)) << t.conversion;
    }
}

} // namespace
} // namespace vyr::test
