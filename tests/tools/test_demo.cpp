// vyrconvert's demo (run once for all its tests), --list and --help.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "tool_support.h"

namespace vyr::test {
namespace {

using Words = std::vector<std::string>;

Words words(const std::string& line)
{
    std::istringstream in(line);
    Words tokens;
    for (std::string token; in >> token;)
        tokens.push_back(token);
    return tokens;
}

// The words of each line after the first line whose first word is `first`, up to an empty line.
std::vector<Words> tableAfter(const std::string& text, const std::string& first)
{
    std::istringstream in(text);
    std::vector<Words> rows;
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (inTable && line.empty())
            break;
        if (inTable)
            rows.push_back(words(line));
        inTable = inTable || (!words(line).empty() && words(line)[0] == first);
    }
    return rows;
}

// The first word of each indented line under a "heading:" line of --list.
Words listed(const std::string& heading)
{
    ScratchDirectory dir;
    const ToolRun list = runTool("--list", dir.path());
    EXPECT_EQ(0, list.exitCode) << list.err;
    Words names;
    for (const Words& row : tableAfter(list.out, heading + ":")) {
        if (row[0].back() == ':')
            break;
        names.push_back(row[0]);
    }
    return names;
}

// BT.601 luma of 8-bit R, G, B.
double luma(const uint8_t* rgb) { return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]; }

bool hasColour(const std::vector<uint8_t>& rgb)
{
    for (size_t i = 0; i < rgb.size(); i += 3)
        if (rgb[i] != rgb[i + 1] || rgb[i + 1] != rgb[i + 2])
            return true;
    return false;
}

// The demo, run once for every check below (each run takes seconds).
struct DemoRun {
    ScratchDirectory dir;
    ToolRun run;
    std::vector<uint8_t> scene; // R, G, B

    // The R, G, B bytes of an 8-bit output of the scene's size, named by its conversion.
    std::vector<uint8_t> picture(const std::string& name) const
    {
        const auto png = readPng(dir.path() / "vyrconvert-demo" / (name + ".png"));
        EXPECT_TRUE(png && png->bitDepth == 8 && png->rgbBytes().size() == scene.size()) << name;
        return png ? png->rgbBytes() : std::vector<uint8_t>(scene.size());
    }
};

// Rows named <conversion>:<plane> hold grey PNGs of one byte of a conversion's pixels.
void checkTable(const DemoRun& demo)
{
    const Words conversions = listed("conversions");
    std::vector<Words> rows, planeRows;
    for (Words& row : tableAfter(demo.run.out, "conversion"))
        (row[0].find(':') == std::string::npos ? rows : planeRows).push_back(std::move(row));
    ASSERT_EQ(conversions.size(), rows.size()) << demo.run.out;
    std::set<std::string> written = {"vyrconvert-demo", "vyrconvert-demo/scene.png"};
    for (size_t i = 0; i < rows.size(); ++i) {
        const Words& row = rows[i];
        ASSERT_EQ(4u, row.size()) << demo.run.out;
        EXPECT_EQ(conversions[i], row[0]);
        EXPECT_GT(std::strtod(row[2].c_str(), nullptr), 0.0) << row[0] << " Mpix/s: " << row[2];
        written.insert(row[1]);
        // Formats of more than 8 bits a sample show as 16-bit PNGs.
        const auto png = readPng(demo.dir.path() / row[1]);
        ASSERT_TRUE(png && (png->bitDepth == 16 || png->rgb)) << row[1];
        // The scene through YUY2 and back keeps its picture (the library's chroma scale caps it near
        // 32 dB); grey through YUY2 loses nothing.
        if (row[0] == "RGB888toYUY2") {
            EXPECT_GT(std::strtod(row[3].c_str(), nullptr), 30.0) << row[0] << " PSNR: " << row[3];
        }
        if (row[0] == "MONO8toYUY2") {
            EXPECT_EQ("lossless", row[3]);
        }
    }
    for (const Words& row : planeRows) {
        ASSERT_EQ((Words{row[0], row[1], "-", "-"}), row) << "planes have neither speed nor round trip";
        written.insert(row[1]);
        const auto plane = readPng(demo.dir.path() / row[1]);
        ASSERT_TRUE(plane) << row[1];
        EXPECT_FALSE(plane->rgb) << row[1];
    }
    EXPECT_EQ(written, listTree(demo.dir.path())) << "outputs differ from the table, or a temporary was left";
}

// Conversions of MONO8 that keep every grey level show the scene's luminance, within 8-bit
// rounding of both; the 10-bit source cut to 8 bits differs by little more.
void checkGreys(const DemoRun& demo)
{
    for (const auto& [name, tolerance] : {std::pair{"MONO8toRGB8888", 1.5},
                                          {"MONO8toRGB888", 1.5},
                                          {"MONO8toINT8", 1.5},
                                          {"MONO16toMONO8", 2.5}}) {
        const std::vector<uint8_t> grey = demo.picture(name);
        for (size_t i = 0; i < grey.size(); i += 3) {
            ASSERT_TRUE(grey[i] == grey[i + 1] && grey[i + 1] == grey[i + 2]) << name << " pixel " << i / 3;
            ASSERT_LE(std::abs(grey[i] - luma(&demo.scene[i])), tolerance) << name << " pixel " << i / 3;
        }
    }
    EXPECT_NE(std::string::npos, demo.run.out.find("MONO16toMONO8 runs with --unused-bits 6"))
        << demo.run.out;
    EXPECT_NE(std::string::npos, demo.run.out.find("10-bit samples")) << demo.run.out;
}

// 5-bit fields shown shifted up, without bit replication: levels step by 8 (6-bit green by 4).
void checkQuantised(const DemoRun& demo)
{
    for (const auto& [name, greenStep] : {std::pair{"RGB888toRGB565", 4}, {"RGB888toRGB5551", 8}}) {
        const std::vector<uint8_t> quantised = demo.picture(name);
        std::set<int> levels;
        for (size_t i = 0; i < quantised.size(); i += 3) {
            ASSERT_EQ(0, quantised[i] % 8 + quantised[i + 1] % greenStep + quantised[i + 2] % 8) << name;
            ASSERT_LT(demo.scene[i] - quantised[i], 8 + 1) << name << " pixel " << i / 3;
            levels.insert(quantised[i]);
        }
        EXPECT_EQ(32u, levels.size()) << name << ": every red level appears in the ramps";
    }
}

int circularDistance(int a, int b) { return std::min((a - b + 256) % 256, (b - a + 256) % 256); }

// Each plane holds its quantity of the scene pixel, within the one step the integer and the
// floating-point paths may differ by (L is truncated, and computed with other constants: 1.5).
void checkPlanes(const DemoRun& demo)
{
    const auto h = demo.picture("RGB8888toHSV.H"), s = demo.picture("RGB8888toHSV.S");
    const auto v = demo.picture("RGB8888toHSV.V"), l = demo.picture("RGB8888toLAB.L");
    size_t wrong = 0;
    for (size_t i = 0; i < demo.scene.size() && wrong < 5; i += 3) {
        const double r = demo.scene[i], g = demo.scene[i + 1], b = demo.scene[i + 2];
        const double max = std::max({r, g, b}), d = max - std::min({r, g, b});
        double hue = 0;
        if (d > 0)
            hue = max == r ? (g - b) / d : max == g ? 2 + (b - r) / d : 4 + (r - g) / d;
        const double y = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
        const double lightness = (116 * std::cbrt(y) - 16) * 2.55;
        const bool right = v[i] == max && std::abs(s[i] - (max ? 255 * d / max : 0)) <= 1 &&
                           circularDistance(h[i], int(std::lround(std::fmod(hue / 6 + 1, 1) * 255))) <= 1 &&
                           std::abs(l[i] - std::max(0.0, lightness)) < 1.5;
        if (right)
            continue;
        ++wrong;
        ADD_FAILURE() << "pixel " << i / 3 << " R, G, B " << r << ", " << g << ", " << b << ": H, S, V "
                      << int(h[i]) << ", " << int(s[i]) << ", " << int(v[i]) << ", L " << int(l[i]);
    }
}

void checkDemosaic(const DemoRun& demo)
{
    std::map<std::string, std::map<std::string, Words>> psnr; // conversion, method: one a pattern
    const std::vector<Words> table = tableAfter(demo.run.out, "demosaic");
    for (const Words& row : table) {
        ASSERT_EQ(6u, row.size()) << demo.run.out;
        psnr[row[0]][row[1]] = Words(row.begin() + 2, row.end());
    }
    EXPECT_NE(std::string::npos, demo.run.out.find("demosaic         method  GBRG   BGGR   RGGB   GRBG"));
    ASSERT_EQ(3u, psnr.size()) << demo.run.out;
    for (auto& [conversion, methods] : psnr) {
        ASSERT_EQ(2u, methods.size()) << conversion;
        for (size_t p = 0; p < 4; ++p) {
            const double twoByTwo = std::strtod(methods["2x2"].at(p).c_str(), nullptr);
            EXPECT_GT(twoByTwo, 10.0) << conversion << ", pattern " << p;
            EXPECT_GT(std::strtod(methods["malvar"].at(p).c_str(), nullptr), twoByTwo)
                << conversion << ", " << p;
        }
    }
}

TEST(Demo, WritesItsPicturesAndTables)
{
    DemoRun demo;
    demo.run = runTool("", demo.dir.path()); // no arguments: the demo
    ASSERT_EQ(0, demo.run.exitCode) << demo.run.err;
    EXPECT_EQ("", demo.run.err);
    const auto scene = readPng(demo.dir.path() / "vyrconvert-demo/scene.png");
    ASSERT_TRUE(scene && scene->rgb && scene->bitDepth == 8);
    EXPECT_TRUE(scene->width == 1280 && scene->height == 720);
    demo.scene = scene->rgbBytes();
    EXPECT_TRUE(hasColour(demo.scene));
    checkTable(demo);
    checkGreys(demo);
    checkQuantised(demo);
    checkPlanes(demo);
    checkDemosaic(demo);
}

TEST(Help, DocumentsEveryOptionFormatAndEdgeChoice)
{
    ScratchDirectory dir;
    const ToolRun help = runTool("--help", dir.path());
    ASSERT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    Words texts = {"Usage: vyrconvert",
                   "--from",
                   "--to",
                   "--width",
                   "--height",
                   "--threads",
                   "--unused-bits",
                   "--demo",
                   "--list",
                   "--help",
                   "--pattern",
                   "--method",
                   "--blue-first",
                   "GBRG",
                   "BGGR",
                   "RGGB",
                   "GRBG",
                   "2x2",
                   "malvar",
                   "last line",
                   "mirrored"};
    const Words formats = listed("formats");
    EXPECT_FALSE(formats.empty());
    texts.insert(texts.end(), formats.begin(), formats.end());
    for (const std::string& text : texts)
        EXPECT_NE(std::string::npos, help.out.find(text)) << text;
    EXPECT_TRUE(listTree(dir.path()).empty());
}

} // namespace
} // namespace vyr::test
