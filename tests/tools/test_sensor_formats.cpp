// vyrconvert on Bayer mosaics (whole-frame demosaicing, its edge lines and options) and on Bicolor
// frames, and the demo's demosaicing quality table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "bytes.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

using Args = std::vector<std::string>;

const char* const kPatterns[] = {"GBRG", "BGGR", "RGGB", "GRBG"};

struct BayerTarget {
    const char* from;
    const char* to;
    size_t sampleBytes; // of the mosaic and the output samples (RGB8888 aside)
    bool planar;
};

void PrintTo(const BayerTarget& t, std::ostream* os) { *os << t.from << "to" << t.to; }

const BayerTarget kBayerTargets[] = {
    {"Bayer8", "RGB8888", 1, false}, {"Bayer8", "RGBP8", 1, true}, {"Bayer15", "RGBP16", 2, true}};

void putSample(std::vector<uint8_t>& bytes, size_t index, size_t sampleBytes, uint32_t v)
{
    for (size_t b = 0; b < sampleBytes; ++b)
        bytes[index * sampleBytes + b] = uint8_t(v >> (8 * b));
}

// A mosaic of the pattern repeated, each site holding rgb[its colour].
std::vector<uint8_t> flatMosaic(const std::string& pattern, uint32_t w, uint32_t h, size_t bytes, const uint32_t rgb[3])
{
    std::vector<uint8_t> mosaic(size_t(w) * h * bytes);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const char colour = pattern[2 * (y % 2) + x % 2];
            putSample(mosaic, size_t(y) * w + x, bytes, rgb[colour == 'R' ? 0 : colour == 'G' ? 1 : 2]);
        }
    }
    return mosaic;
}

// Every pixel rgb, in the target's output layout.
std::vector<uint8_t> flatOutput(const BayerTarget& t, uint32_t pixels, const uint32_t rgb[3])
{
    std::vector<uint8_t> out;
    if (!t.planar) {
        for (uint32_t i = 0; i < pixels; ++i)
            out.insert(out.end(), {uint8_t(rgb[2]), uint8_t(rgb[1]), uint8_t(rgb[0]), 0});
        return out;
    }
    out.resize(size_t(pixels) * 3 * t.sampleBytes);
    for (size_t k = 0; k < 3; ++k)
        for (uint32_t i = 0; i < pixels; ++i)
            putSample(out, k * pixels + i, t.sampleBytes, rgb[k]);
    return out;
}

class BayerFrames : public ::testing::TestWithParam<BayerTarget> {
protected:
    ToolRun convert(const std::string& pattern, const std::string& method, uint32_t w, uint32_t h,
                    const std::string& out, Args more = {})
    {
        Args args = {"--from", GetParam().from, "--to", GetParam().to, "--pattern", pattern, "--method", method,
                     "--width", std::to_string(w), "--height", std::to_string(h), "in.raw", out};
        args.insert(args.end(), more.begin(), more.end());
        return runTool(args, dir.path());
    }
    ScratchDirectory dir;
};

// A single colour over the whole mosaic comes back at every pixel, edges included, only if every
// line is demosaiced with the colours of its own row of the pattern (odd sizes put every kind of
// site on the last line and column).
TEST_P(BayerFrames, FlatColoursComeBackAtEveryPixelInEveryPatternAndMethod)
{
    const BayerTarget& t = GetParam();
    const uint32_t scale = t.sampleBytes == 2 ? 128 : 1;
    const uint32_t rgb[3] = {200 * scale, 100 * scale, 30 * scale};
    for (const char* pattern : kPatterns) {
        writeFile(dir.path() / "in.raw", flatMosaic(pattern, 7, 5, t.sampleBytes, rgb));
        for (const char* method : {"2x2", "malvar"}) {
            const ToolRun run = convert(pattern, method, 7, 5, "out.raw");
            ASSERT_EQ(0, run.exitCode) << run.err;
            EXPECT_EQ(flatOutput(t, 35, rgb), readFile(dir.path() / "out.raw")) << pattern << ", " << method;
        }
    }
}

TEST_P(BayerFrames, ThreadsSplitTheFrameWithoutChangingIt)
{
    const BayerTarget& t = GetParam();
    writeFile(dir.path() / "in.raw", randomBytes(size_t(33) * 17 * t.sampleBytes, 41));
    for (const char* method : {"2x2", "malvar"}) {
        ASSERT_EQ(0, convert("GRBG", method, 33, 17, "one.raw").exitCode);
        ASSERT_EQ(0, convert("GRBG", method, 33, 17, "many.raw", {"--threads", "5"}).exitCode);
        const std::vector<uint8_t> one = readFile(dir.path() / "one.raw"), many = readFile(dir.path() / "many.raw");
        ASSERT_EQ(one.size(), many.size());
        EXPECT_TRUE(sameBytes(one.data(), many.data(), one.size())) << method;
    }
}

// The lines above the first are the lines below it mirrored, and the lines below the last the
// lines above it: a frame upside down (odd height keeps the pattern) comes back upside down.
TEST_P(BayerFrames, MalvarTreatsTopAndBottomAlike)
{
    const BayerTarget& t = GetParam();
    for (uint32_t h : {3u, 5u, 9u}) {
        const uint32_t w = 8;
        const size_t line = size_t(w) * t.sampleBytes;
        std::vector<uint8_t> mosaic = randomBytes(line * h, h);
        for (size_t i = 1; t.sampleBytes == 2 && i < mosaic.size(); i += 2)
            mosaic[i] &= 0x7F;
        std::vector<uint8_t> flipped;
        for (uint32_t y = h; y-- > 0;)
            flipped.insert(flipped.end(), mosaic.begin() + ptrdiff_t(line * y), mosaic.begin() + ptrdiff_t(line * (y + 1)));
        writeFile(dir.path() / "in.raw", mosaic);
        ASSERT_EQ(0, convert("BGGR", "malvar", w, h, "upright.raw").exitCode);
        writeFile(dir.path() / "in.raw", flipped);
        ASSERT_EQ(0, convert("BGGR", "malvar", w, h, "flipped.raw").exitCode);

        // Flip the second result back, plane by plane.
        const std::vector<uint8_t> upright = readFile(dir.path() / "upright.raw");
        const std::vector<uint8_t> result = readFile(dir.path() / "flipped.raw");
        ASSERT_EQ(upright.size(), result.size());
        const size_t outLine = t.planar ? line : size_t(4) * w;
        const size_t planes = t.planar ? 3 : 1;
        std::vector<uint8_t> back;
        for (size_t k = 0; k < planes; ++k)
            for (uint32_t y = h; y-- > 0;) {
                const auto from = result.begin() + ptrdiff_t(outLine * (k * h + y));
                back.insert(back.end(), from, from + ptrdiff_t(outLine));
            }
        EXPECT_TRUE(sameBytes(upright.data(), back.data(), upright.size())) << "height " << h;
    }
}

// The 2x2 method's last line pairs with the line above it: as the only line pair of a frame made
// of the two lines in that order.
TEST_P(BayerFrames, TwoByTwoPairsTheLastLineWithTheOneAbove)
{
    const BayerTarget& t = GetParam();
    const uint32_t w = 9, h = 5;
    const size_t line = size_t(w) * t.sampleBytes;
    const std::vector<uint8_t> mosaic = randomBytes(line * h, 43);
    writeFile(dir.path() / "in.raw", mosaic);
    ASSERT_EQ(0, convert("RGGB", "2x2", w, h, "frame.raw").exitCode);
    std::vector<uint8_t> pair(mosaic.begin() + ptrdiff_t(line * 4), mosaic.end());
    pair.insert(pair.end(), mosaic.begin() + ptrdiff_t(line * 3), mosaic.begin() + ptrdiff_t(line * 4));
    writeFile(dir.path() / "in.raw", pair);
    ASSERT_EQ(0, convert("RGGB", "2x2", w, 2, "pair.raw").exitCode); // line 4 is an even line: same pattern

    const std::vector<uint8_t> frame = readFile(dir.path() / "frame.raw"), two = readFile(dir.path() / "pair.raw");
    const size_t outLine = t.planar ? line : size_t(4) * w;
    for (size_t k = 0; k < (t.planar ? 3u : 1u); ++k) {
        const uint8_t* last = frame.data() + outLine * (k * h + h - 1);
        const uint8_t* first = two.data() + outLine * (k * 2);
        EXPECT_TRUE(sameBytes(first, last, outLine)) << "plane " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Conversions, BayerFrames, ::testing::ValuesIn(kBayerTargets),
                         [](const auto& info) { return std::string(info.param.from) + "to" + info.param.to; });

// ---- Bicolor --------------------------------------------------------------------------------------

class BicolorFrames : public ::testing::Test {
protected:
    ScratchDirectory dir;
};

TEST_F(BicolorFrames, RgbSelectsEachPixelsColourInTheOrderAsked)
{
    const uint32_t w = 5, h = 3;
    const std::vector<uint8_t> bgr = randomBytes(size_t(w) * h * 3, 51);
    writeFile(dir.path() / "in.raw", bgr);
    for (bool blueFirst : {false, true}) {
        Args args = {"--from", "RGB888", "--to", "Bicolor88", "--width", "5", "--height", "3", "in.raw", "out.raw"};
        if (blueFirst)
            args.push_back("--blue-first");
        const ToolRun run = runTool(args, dir.path());
        ASSERT_EQ(0, run.exitCode) << run.err;
        std::vector<uint8_t> expected;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* pixel = &bgr[3 * (size_t(y) * w + x)];
                const bool red = (x % 2 == 0) != blueFirst; // the order restarts on every line
                expected.insert(expected.end(), {red ? pixel[2] : pixel[0], pixel[1]});
            }
        }
        EXPECT_EQ(expected, readFile(dir.path() / "out.raw")) << "blue first " << blueFirst;
    }
}

// 12-bit samples: --unused-bits 4 brings their top 8 bits to the 8-bit output.
TEST_F(BicolorFrames, DeepSamplesKeepTheirTopBitsAndOwnColours)
{
    const uint32_t w = 6, h = 2;
    std::vector<uint8_t> words = randomBytes(size_t(w) * h * 4, 52);
    for (size_t i = 1; i < words.size(); i += 2)
        words[i] &= 0x0F;
    writeFile(dir.path() / "in.raw", words);
    const ToolRun run = runTool({"--from", "Bicolor1616", "--to", "RGB888", "--unused-bits", "4", "--blue-first",
                                 "--width", "6", "--height", "2", "in.raw", "out.raw"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    const std::vector<uint8_t> bgr = readFile(dir.path() / "out.raw");
    ASSERT_EQ(size_t(w) * h * 3, bgr.size());
    for (uint32_t i = 0; i < w * h; ++i) {
        const uint32_t colour = uint32_t(words[4 * i] | words[4 * i + 1] << 8);
        const uint32_t green = uint32_t(words[4 * i + 2] | words[4 * i + 3] << 8);
        const size_t own = (i % w) % 2 == 0 ? 0 : 2; // blue first: even pixels keep blue (byte 0)
        EXPECT_EQ(green >> 4, bgr[3 * i + 1]) << "pixel " << i;
        EXPECT_EQ(colour >> 4, bgr[3 * i + own]) << "pixel " << i;
    }
}

// ---- Options and refusals ---------------------------------------------------------------------------

struct Refusal {
    const char* name;
    Args args;
    size_t inputBytes;
    const char* named;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

const Args kSize = {"--width", "7", "--height", "5", "in.raw", "out.raw"};

Args with(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Refusal kRefusals[] = {
    {"BayerWithoutPattern", with({"--from", "Bayer8"}, kSize), 35, "needs --pattern"},
    {"UnknownPattern", with({"--from", "Bayer8", "--pattern", "RGBG"}, kSize), 35, "'RGBG'"},
    {"UnknownMethod", with({"--from", "Bayer8", "--pattern", "RGGB", "--method", "3x3"}, kSize), 35, "'3x3'"},
    {"PatternForGrey", with({"--pattern", "RGGB"}, kSize), 35, "takes no --pattern"},
    {"MethodForBicolor", with({"--from", "Bicolor88", "--method", "2x2"}, kSize), 70, "takes no --method"},
    {"BlueFirstForBayer", with({"--from", "Bayer8", "--pattern", "RGGB", "--blue-first"}, kSize), 35,
     "takes no --blue-first"},
    {"MalvarTooNarrow",
     {"--from", "Bayer8", "--pattern", "RGGB", "--width", "3", "--height", "5", "in.raw", "out.raw"}, 15, "4x2"},
    {"TwoByTwoTooShort",
     {"--from", "Bayer15", "--to", "RGBP16", "--pattern", "RGGB", "--method", "2x2", "--width", "7", "--height", "1",
      "in.raw", "out.raw"},
     14, "2x2"},
    {"TooManyUnusedBitsForBicolor", with({"--from", "Bicolor1616", "--unused-bits", "9"}, kSize), 140, "0 to 8"},
    {"DemoWithPattern", {"--demo", "--pattern", "RGGB"}, 0, "--demo"},
};

class SensorRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(SensorRefusals, FailWithOneLineAndWriteNothing)
{
    ScratchDirectory dir;
    writeFile(dir.path() / "in.raw", randomBytes(GetParam().inputBytes, 61));
    const ToolRun run = runTool(GetParam().args, dir.path());
    EXPECT_TRUE(failedWithOneLine(run, GetParam().named));
    EXPECT_EQ("", run.out);
    EXPECT_EQ(std::set<std::string>{"in.raw"}, listTree(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, SensorRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SensorHelp, DocumentsTheOptionsAndTheEdgeChoices)
{
    ScratchDirectory dir;
    const ToolRun help = runTool({"--help"}, dir.path());
    ASSERT_EQ(0, help.exitCode);
    for (const char* text : {"--pattern", "--method", "--blue-first", "GBRG", "BGGR", "RGGB", "GRBG", "2x2", "malvar",
                             "last line", "mirrored"})
        EXPECT_NE(std::string::npos, help.out.find(text)) << text;
}

// ---- The demo's quality table -------------------------------------------------------------------------

TEST(DemosaicQuality, MalvarBeatsTwoByTwoOnTheSceneInEveryPattern)
{
    ScratchDirectory dir;
    const ToolRun demo = runTool({"--demo"}, dir.path());
    ASSERT_EQ(0, demo.exitCode) << demo.err;
    std::istringstream in(demo.out);
    std::map<std::string, std::map<std::string, std::vector<double>>> psnr; // conversion, method, by pattern
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            inTable = false;
            continue;
        }
        std::istringstream words(line);
        std::vector<std::string> cells;
        for (std::string cell; words >> cell;)
            cells.push_back(cell);
        if (cells.size() == 6 && cells[0] == "demosaic") {
            EXPECT_EQ((std::vector<std::string>{"demosaic", "method", "GBRG", "BGGR", "RGGB", "GRBG"}), cells);
            inTable = true;
        } else if (inTable) {
            ASSERT_EQ(6u, cells.size()) << line;
            for (size_t i = 2; i < 6; ++i)
                psnr[cells[0]][cells[1]].push_back(std::strtod(cells[i].c_str(), nullptr));
        }
    }
    ASSERT_EQ(3u, psnr.size()) << demo.out;
    for (const auto& [conversion, methods] : psnr) {
        ASSERT_EQ(1u, methods.count("2x2")) << conversion;
        ASSERT_EQ(1u, methods.count("malvar")) << conversion;
        for (size_t p = 0; p < 4; ++p) {
            EXPECT_GT(methods.at("2x2")[p], 10.0) << conversion << ", " << kPatterns[p];
            EXPECT_GT(methods.at("malvar")[p], methods.at("2x2")[p]) << conversion << ", " << kPatterns[p];
        }
    }
}

} // namespace
} // namespace vyr::test
