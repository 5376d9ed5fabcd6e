// vyrconvert on raw and PNG files: exactly the expected bytes whatever the thread count, format
// names and option spellings, and the output file replaced only on success.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

using Bytes = std::vector<uint8_t>;

using Pick = Bytes (*)(const uint8_t* line, uint32_t x);

// A conversion of in.raw to out.raw: the output bytes pick gives each unit x (a pixel, or a byte of
// MONO1) of each of `lines` input lines of lineBytes; or, where frame is set, the frame's output.
struct RawCase {
    const char* args;
    uint32_t units, lines;
    size_t lineBytes;
    Pick pick;
    Bytes (*frame)(const Bytes& in) = nullptr;
};

uint32_t word(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); }

const RawCase kRawCases[] = {
    {"--from MONO8 --to RGB8888 --width 7 --height 5", 7, 5, 7,
     [](auto l, uint32_t x) { return Bytes(4, l[x]); }},
    {"--from=mono8 --to=rgb888 --width=4 --height=3", 4, 3, 4,
     [](auto l, uint32_t x) { return Bytes(3, l[x]); }},
    {"--width 5 --height 2", 5, 2, 5, [](auto l, uint32_t x) { return Bytes(4, l[x]); }}, // MONO8 to RGB8888
    {"--from MONO8 --to YUY2 --width 5 --height 3", 6, 3, 5, // lines of whole cells, the last half zero
     [](auto l, uint32_t x) {
         return x < 5 ? Bytes{l[x], 128} : Bytes{0, 0};
     }},
    {"--from Y411 --to MONO8 --width 8 --height 2", 8, 2, 12, // units U Y0 Y1 V Y2 Y3
     [](auto l, uint32_t x) { return Bytes{l[6 * (x / 4) + x % 4 + 1 + x % 4 / 2]}; }},
    {"--from IYU2 --to YUV --width 3 --height 3", 3, 3, 9,
     [](auto l, uint32_t x) {
         return Bytes{l[3 * x + 2], l[3 * x], l[3 * x + 1], 0};
     }},
    {"--from MONO1 --to MONO1 --width 10 --height 2", 2, 2, 2, // two bytes a line, bits mirrored
     [](auto l, uint32_t x) {
         uint8_t mirrored = 0;
         for (int b = 0; b < 8; ++b)
             mirrored |= uint8_t(((l[x] >> b) & 1) << (7 - b));
         return Bytes{mirrored};
     }},
    {"--from MONO16 --to MONO8 --unused-bits 6 --width 4 --height 2", 4, 2, 8, // the low byte of v >> 2
     [](auto l, uint32_t x) { return Bytes{uint8_t(word(l + 2 * x) >> 2)}; }},
    {"--from INT16 --to MONO8 --unused-bits 4 --width 3 --height 2", 3, 2, 6, // -2048..2047 span 0..255
     [](auto l, uint32_t x) {
         return Bytes{uint8_t(std::clamp(int16_t(word(l + 2 * x)) / 16 + 128, 0, 255))};
     }},
    {"--from RGB888 --to Bicolor88 --width 5 --height 3", 5, 3, 15, // red first on every line
     [](auto l, uint32_t x) {
         return Bytes{l[3 * x + (x % 2 ? 0 : 2)], l[3 * x + 1]};
     }},
    {"--from RGB888 --to Bicolor88 --blue-first --width 5 --height 3", 5, 3, 15,
     [](auto l, uint32_t x) {
         return Bytes{l[3 * x + (x % 2 ? 2 : 0)], l[3 * x + 1]};
     }},
    // Every colour sample 0xABC (see below): its top 8 bits wherever a colour goes.
    {"--from Bicolor1616 --to RGB888 --unused-bits 4 --blue-first --width 6 --height 2", 6, 2, 24,
     [](auto l, uint32_t x) {
         return Bytes{0xAB, uint8_t(word(l + 4 * x + 2) >> 4), 0xAB};
     }},
    {"--from RGB888 --to RGBP8 --width 5 --height 3", 5, 3, 15, nullptr,
     [](const Bytes& in) {
         Bytes planes; // whole planes red, green, blue
         for (int k : {2, 1, 0})
             for (size_t i = 0; i < 15; ++i)
                 planes.push_back(in[3 * i + size_t(k)]);
         return planes;
     }},
    {"--from RGBP8 --to RGB8888 --width 5 --height 3", 5, 3, 45, nullptr,
     [](const Bytes& in) {
         Bytes quads;
         for (size_t i = 0; i < 15; ++i)
             quads.insert(quads.end(), {in[30 + i], in[15 + i], in[i], 0});
         return quads;
     }},
};

// Every case with one thread, then two, and with more threads than lines: the same bytes.
TEST(Raw, ConversionsGiveTheExpectedBytesOnAnyThreadCount)
{
    ScratchDirectory dir;
    uint32_t seed = 1;
    for (const RawCase& c : kRawCases) {
        Bytes in = randomBytes(c.lineBytes * c.lines + 5, seed++);
        for (size_t i = 0; std::string(c.args).find("Bicolor1616") != std::string::npos && i < in.size();
             i += 4)
            in[i] = 0xBC, in[i + 1] = 0x0A;
        writeFile(dir.path() / "in.raw", in);
        Bytes expected = c.frame ? c.frame(in) : Bytes();
        for (uint32_t y = 0; !c.frame && y < c.lines; ++y)
            for (uint32_t x = 0; x < c.units; ++x) {
                const Bytes unit = c.pick(&in[y * c.lineBytes], x);
                expected.insert(expected.end(), unit.begin(), unit.end());
            }
        for (const char* threads : {"", " --threads 2", " --threads 64"}) {
            const Bytes out = converted(std::string(c.args) + threads + " in.raw out.raw", dir.path());
            ASSERT_EQ(expected.size(), out.size()) << c.args << threads;
            EXPECT_TRUE(sameBytes(expected.data(), out.data(), out.size())) << c.args << threads;
        }
        EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(dir.path()))
            << "a temporary is left";
    }
}

TEST(Raw, OutputIsReplacedOnlyOnSuccessAndGetsThePermissionsOfAPlainCreate)
{
    ScratchDirectory dir;
    const Bytes grey = randomBytes(9, 16), old = {'o', 'l', 'd'};
    writeFile(dir.path() / "in.raw", grey);
    writeFile(dir.path() / "out.raw", old);
    EXPECT_TRUE(failedWithOneLine(runTool("--width 3 --height 4 in.raw out.raw", dir.path()), "in.raw"));
    EXPECT_EQ(old, readFile(dir.path() / "out.raw"));

    const mode_t mask = umask(022); // the temporary is private while written; the output must not stay so
    EXPECT_EQ(repeated(grey, 4), converted("--width 3 --height 3 in.raw out.raw", dir.path()));
    umask(mask);
    struct stat status {};
    ASSERT_EQ(0, stat((dir.path() / "out.raw").c_str(), &status));
    EXPECT_EQ(0644u, status.st_mode & 0777u);
    EXPECT_EQ((std::set<std::string>{"in.raw", "out.raw"}), listTree(dir.path()));
}

std::vector<uint16_t> wide(const Bytes& bytes) { return std::vector<uint16_t>(bytes.begin(), bytes.end()); }

// Grey PNGs of any depth load as MONO8 (low depths widened by bit replication, the way PNG shows
// them), 16-bit ones as MONO16 and RGB161616 with their full-depth samples moved down.
TEST(Png, InputsLoadInPixelOrder)
{
    struct PngCase {
        Png png;
        std::string args;
        Bytes expected;
    };
    const Bytes grey = randomBytes(99, 23), first24(grey.begin(), grey.begin() + 24);
    const std::vector<uint16_t> deep = {0x0000, 0x1234, 0x8000, 0xFFC0, 0xFFFF, 0x03FF};
    const Bytes top = {0x00, 0x12, 0x80, 0xFF, 0xFF, 0x03};
    std::vector<PngCase> cases;
    cases.push_back({Png{8, 3, false, 8, wide(first24)}, "--from MONO8 --to RGB8888 --width 8 --height 3",
                     repeated(first24, 4)});
    cases.push_back({Png{11, 9, false, 8, wide(grey), true}, "--to RGB888", repeated(grey, 3)});
    cases.push_back({Png{3, 2, false, 16, deep}, "--to MONO8", top});
    cases.push_back({Png{3, 2, false, 16, deep}, "--to MONO8 --unused-bits 6", top});
    cases.push_back({Png{2, 1, true, 16, {0xFF00, 0x0000, 0x1200, 0x0000, 0xAB00, 0x0000}},
                     "--to RGB888",
                     {0x12, 0x00, 0xFF, 0x00, 0xAB, 0x00}});
    for (int depth : {1, 2, 4}) {
        PngCase c{Png{7, 3, false, depth, {}}, "--to RGB888", {}};
        for (int i = 0; i < 21; ++i) {
            const int levels = 1 << depth, level = (i * 5) % levels;
            c.png.samples.push_back(uint16_t(level));
            c.expected.insert(c.expected.end(), 3, uint8_t(level * 255 / (levels - 1)));
        }
        cases.push_back(c);
    }
    ScratchDirectory dir;
    for (const PngCase& c : cases) {
        ASSERT_TRUE(writePng(dir.path() / "In.Png", c.png));
        EXPECT_EQ(c.expected, converted(c.args + " In.Png out.raw", dir.path()))
            << c.args << ", depth " << c.png.bitDepth;
    }
}

TEST(Png, OutputsHoldTheConvertedPixels)
{
    ScratchDirectory dir;
    const Bytes grey = randomBytes(36, 21);
    ASSERT_TRUE(writePng(dir.path() / "in.png", Png{9, 4, false, 8, wide(grey)}));
    writeFile(dir.path() / "in.raw", grey);
    for (const auto& [args, out] : {std::pair{"--to RGB8888 in.png ", "out.png"},
                                    {"--to RGB888 --width 9 --height 4 in.raw ", "OUT.PNG"}}) {
        converted(args + std::string(out), dir.path());
        const auto png = readPng(dir.path() / out);
        ASSERT_TRUE(png) << args;
        EXPECT_TRUE(png->rgb && png->bitDepth == 8 && png->width == 9 && png->height == 4) << args;
        EXPECT_EQ(repeated(grey, 3), png->rgbBytes()) << args;
    }
    EXPECT_EQ((std::set<std::string>{"in.png", "in.raw", "out.png", "OUT.PNG"}), listTree(dir.path()));

    // Deep formats give 16-bit PNGs, significant bits on top and named by sBIT; R, G, B in PNG order.
    writeFile(dir.path() / "in.raw", {0, 1, 128, 255});
    converted("--to MONO16 --unused-bits 6 --width 2 --height 2 in.raw grey.png", dir.path());
    const auto deepGrey = readPng(dir.path() / "grey.png");
    ASSERT_TRUE(deepGrey);
    EXPECT_FALSE(deepGrey->rgb);
    EXPECT_EQ(10u, deepGrey->significantBits);
    EXPECT_EQ((std::vector<uint16_t>{0x0000, 0x0100, 0x8000, 0xFF00}), deepGrey->samples);
    // RGB101010 fields red 0x3FF, green 0x200, blue 0x001, then all 0x3FF.
    writeFile(dir.path() / "in.raw", {0x01, 0x00, 0xF8, 0x3F, 0xFF, 0xFF, 0xFF, 0x3F});
    converted("--from RGB101010 --to RGB161616 --width 2 --height 1 in.raw rgb.png", dir.path());
    const auto deepRgb = readPng(dir.path() / "rgb.png");
    ASSERT_TRUE(deepRgb);
    EXPECT_TRUE(deepRgb->rgb && deepRgb->bitDepth == 16);
    EXPECT_EQ((std::vector<uint16_t>{0xFFC0, 0x8000, 0x0040, 0xFFC0, 0xFFC0, 0xFFC0}), deepRgb->samples);
}

// A red, a green and a blue pixel come out red, green and blue: a swap of red and blue anywhere
// between the source's layout, the library and the PNG writer shows.
TEST(Png, ColoursStayInTheirChannels)
{
    struct ColourCase {
        const char* conversion;
        Bytes redGreenBlue; // three pixels in the source format
    };
    const Bytes bgr = {0, 0, 255, 0, 255, 0, 255, 0, 0}, rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    const Bytes b101010 = {0, 0, 0xF0, 0x3F, 0x00, 0xFC, 0x0F, 0x00, 0xFF, 0x03, 0, 0};
    const Bytes b161616 = {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
    const ColourCase cases[] = {
        {"--from RGB888 --to RGB8888", bgr},
        {"--from RGBR888 --to RGB888", rgb},
        {"--from RGB888 --to RGB5551", bgr},
        {"--from RGB565 --to RGB888", {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}},
        {"--from RGB101010 --to RGB161616", b101010},
        {"--from RGB16161616 --to RGB101010",
         {0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}},
        {"--from RGB888 --to RGBP8", bgr},
        {"--from RGBP8 --to RGB8888", rgb}, // planes red, green, blue
        {"--from RGB161616 --to RGBP16", b161616},
    };
    ScratchDirectory dir;
    for (const ColourCase& c : cases) {
        writeFile(dir.path() / "in.raw", c.redGreenBlue);
        converted(std::string(c.conversion) + " --width 3 --height 1 in.raw out.png", dir.path());
        const auto png = readPng(dir.path() / "out.png");
        ASSERT_TRUE(png) << c.conversion;
        ASSERT_EQ(9u, png->samples.size()) << c.conversion;
        const int top = png->bitDepth == 16 ? 0xFFFF : 0xFF;
        for (size_t i = 0; i < 9; ++i) {
            if (i % 3 == i / 3) // pixel i / 3, channel i % 3
                EXPECT_GE(png->samples[i], top * 200 / 255) << c.conversion << ", sample " << i;
            else
                EXPECT_LE(png->samples[i], top * 8 / 255) << c.conversion << ", sample " << i;
        }
    }
}

} // namespace
} // namespace vyr::test
