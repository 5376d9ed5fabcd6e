// vyrconvert's demo, --list, --help and --version.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <map>
#include <sstream>

#include "tool_support.h"

namespace vyr::test {
namespace {

using Words = std::vector<std::string>;

Words words(const std::string& line)
{
    std::istringstream in(line);
    return Words(std::istream_iterator<std::string>(in), {});
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

TEST(Demo, WritesAPictureAndARowForEveryListedConversion)
{
    ScratchDirectory dir;
    const ToolRun run = runTool("", dir.path()); // no arguments: the demo
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);

    // Rows named <conversion>:<plane> add grey pictures of single planes.
    std::set<std::string> written = {"vyrconvert-demo", "vyrconvert-demo/scene.png"};
    Words conversions, listed;
    for (const Words& row : tableAfter(run.out, "conversion")) {
        ASSERT_EQ(4u, row.size()) << run.out;
        if (row[0].find(':') == std::string::npos)
            conversions.push_back(row[0]);
        EXPECT_TRUE(readPng(dir.path() / row[1])) << row[1];
        written.insert(row[1]);
    }
    EXPECT_EQ(written, listTree(dir.path())) << "outputs differ from the table, or a temporary was left";
    const ToolRun list = runTool("--list", dir.path());
    for (const Words& row : tableAfter(list.out, "conversions:"))
        listed.push_back(row.at(0));
    EXPECT_EQ(listed, conversions);

    // MONO8 to RGB8888 shows the scene's luminance, within 8-bit rounding of both.
    const auto scene = readPng(dir.path() / "vyrconvert-demo/scene.png");
    const auto grey = readPng(dir.path() / "vyrconvert-demo/MONO8toRGB8888.png");
    ASSERT_TRUE(scene && grey && scene->colour && grey->rgb.size() == scene->rgb.size());
    for (size_t i = 0; i < grey->rgb.size(); i += 3) {
        const auto& s = scene->rgb;
        const double luma = 0.299 * s[i] + 0.587 * s[i + 1] + 0.114 * s[i + 2];
        ASSERT_LE(std::abs(grey->rgb[i] - luma), 1.5) << "pixel " << i / 3;
        ASSERT_TRUE(grey->rgb[i] == grey->rgb[i + 1] && grey->rgb[i] == grey->rgb[i + 2])
            << "pixel " << i / 3;
    }

    std::map<std::string, std::map<std::string, Words>> psnr; // conversion, method: one a pattern
    for (const Words& row : tableAfter(run.out, "demosaic")) {
        ASSERT_EQ(6u, row.size()) << run.out;
        psnr[row[0]][row[1]] = Words(row.begin() + 2, row.end());
    }
    ASSERT_EQ(4u, psnr.size()) << run.out; // Bayer8 to RGB8888 and RGBP8, Bayer15 to RGBP16 and RGB8888
    for (auto& [conversion, methods] : psnr) {
        ASSERT_EQ(2u, methods.size()) << conversion;
        for (size_t p = 0; p < 4; ++p)
            EXPECT_GT(std::stod(methods["malvar"].at(p)), std::stod(methods["2x2"].at(p)))
                << conversion << ", " << p;
    }
}

TEST(Help, DocumentsTheBayerEdgeChoicesAndVersion)
{
    ScratchDirectory dir;
    const ToolRun help = runTool("--help", dir.path()), version = runTool("--version", dir.path());
    ASSERT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    for (const char* text : {"Usage: vyrconvert", "--pattern P", "--method M", "the last line takes the line",
                             "mirrored about the edge column", "mirrored about the last line"})
        EXPECT_NE(std::string::npos, help.out.find(text)) << text;
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ("vyrconvert " VYR_VERSION "\n", version.out);
    EXPECT_EQ("", version.err);
}

} // namespace
} // namespace vyr::test
