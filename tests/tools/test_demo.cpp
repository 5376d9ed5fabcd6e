// vyrconvert's demo, --list and --help.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "png16_files.h"
#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;)
        tokens.push_back(token);
    return tokens;
}

// The first word of each indented line under a "heading:" line of --list.
std::vector<std::string> listedNames(const std::string& list, const std::string& heading)
{
    std::istringstream in(list);
    std::vector<std::string> names;
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != ' ')
            inSection = line == heading + ":";
        else if (inSection && !words(line).empty())
            names.push_back(words(line)[0]);
    }
    return names;
}

// The rows after the table's heading line, split into words.
std::vector<std::vector<std::string>> tableRows(const std::string& out)
{
    std::istringstream in(out);
    std::vector<std::vector<std::string>> rows;
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (inTable && !line.empty())
            rows.push_back(words(line));
        inTable = inTable || line.rfind("conversion ", 0) == 0;
    }
    return rows;
}

// BT.601 luma of 8-bit R, G, B.
double luma(const uint8_t* rgb)
{
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
}

// The output is grey, and its grey is the scene's luminance within 8-bit rounding of both.
::testing::AssertionResult isLuminanceOf(const RgbPicture& grey, const RgbPicture& scene)
{
    if (grey.width != scene.width || grey.height != scene.height)
        return ::testing::AssertionFailure() << "size " << grey.width << "x" << grey.height;
    for (size_t i = 0; i < grey.rgb.size(); i += 3) {
        const uint8_t* pixel = &grey.rgb[i];
        if (pixel[0] != pixel[1] || pixel[1] != pixel[2])
            return ::testing::AssertionFailure() << "pixel " << i / 3 << " is not grey";
        if (std::abs(pixel[0] - luma(&scene.rgb[i])) > 1.5) {
            return ::testing::AssertionFailure() << "pixel " << i / 3 << " is " << int(pixel[0])
                                                 << ", the scene's luminance " << luma(&scene.rgb[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

bool hasColour(const RgbPicture& picture)
{
    for (size_t i = 0; i < picture.rgb.size(); i += 3) {
        if (picture.rgb[i] != picture.rgb[i + 1] || picture.rgb[i + 1] != picture.rgb[i + 2])
            return true;
    }
    return false;
}

TEST(Demo, WritesScenePngAndOnePngAndTableRowPerConversion)
{
    ScratchDirectory dir;
    const ToolRun list = runTool({"--list"}, dir.path());
    ASSERT_EQ(0, list.exitCode) << list.err;
    const std::vector<std::string> conversions = listedNames(list.out, "conversions");
    for (const char* known : {"MONO8toRGB8888", "MONO8toRGB888"})
        EXPECT_NE(conversions.end(), std::find(conversions.begin(), conversions.end(), known)) << known;

    const ToolRun demo = runTool({}, dir.path());
    ASSERT_EQ(0, demo.exitCode) << demo.err;
    EXPECT_EQ("", demo.err);

    const std::optional<RgbPicture> scene = readPngAsRgb(dir.path() / "vyrconvert-demo/scene.png");
    ASSERT_TRUE(scene);
    EXPECT_TRUE(scene->storedAs8BitRgb);
    EXPECT_EQ(1280u, scene->width);
    EXPECT_EQ(720u, scene->height);
    EXPECT_TRUE(hasColour(*scene));

    // Rows named <conversion>:<plane> hold grey PNGs of one byte of a conversion's pixels.
    std::vector<std::vector<std::string>> rows, planeRows;
    for (std::vector<std::string>& row : tableRows(demo.out))
        (row[0].find(':') == std::string::npos ? rows : planeRows).push_back(std::move(row));
    ASSERT_EQ(conversions.size(), rows.size()) << demo.out;
    std::set<std::string> written = {"vyrconvert-demo", "vyrconvert-demo/scene.png"};
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        ASSERT_EQ(4u, row.size()) << "row " << i << " of\n" << demo.out;
        EXPECT_EQ(conversions[i], row[0]);
        EXPECT_GT(std::strtod(row[2].c_str(), nullptr), 0.0) << row[0] << " Mpix/s: " << row[2];
        written.insert(row[1]);
        const std::optional<RgbPicture> output = readPngAsRgb(dir.path() / row[1]);
        ASSERT_TRUE(output) << row[1];
        // Formats of more than 8 bits a sample are shown as 16-bit PNGs.
        EXPECT_TRUE(output->storedAs8BitRgb || readPng16(dir.path() / row[1])) << row[1];
        // Conversions of MONO8 that keep every grey level.
        if (row[0] == "MONO8toRGB8888" || row[0] == "MONO8toRGB888" || row[0] == "MONO8toINT8") {
            EXPECT_TRUE(isLuminanceOf(*output, *scene)) << row[1];
        }
        // Round trips: the scene through YUY2 and back keeps its picture (the chroma scale of the
        // library's encoder caps it near 32 dB); grey through YUY2 loses nothing.
        if (row[0] == "RGB888toYUY2") {
            EXPECT_GT(std::strtod(row[3].c_str(), nullptr), 30.0) << row[0] << " PSNR: " << row[3];
        }
        if (row[0] == "MONO8toYUY2") {
            EXPECT_EQ("lossless", row[3]);
        }
    }
    for (const std::vector<std::string>& row : planeRows) {
        // The table's columns, with neither a speed nor a round trip of their own.
        ASSERT_EQ(4u, row.size()) << demo.out;
        EXPECT_EQ("-", row[2]) << row[0];
        EXPECT_EQ("-", row[3]) << row[0];
        written.insert(row[1]);
        const std::optional<RgbPicture> plane = readPngAsRgb(dir.path() / row[1]);
        ASSERT_TRUE(plane) << row[1];
        EXPECT_FALSE(plane->storedAs8BitRgb) << row[1];
        EXPECT_FALSE(hasColour(*plane)) << row[1];
    }
    EXPECT_EQ(written, listTree(dir.path())) << "outputs differ from the table, or a temporary was left";
}

TEST(Help, DocumentsEveryOptionAndFormat)
{
    ScratchDirectory dir;
    const ToolRun help = runTool({"--help"}, dir.path());
    ASSERT_EQ(0, help.exitCode);
    EXPECT_EQ("", help.err);
    for (const char* option : {"--from", "--to", "--width", "--height", "--threads", "--unused-bits", "--demo",
                               "--list", "--help", "Usage: vyrconvert"})
        EXPECT_NE(std::string::npos, help.out.find(option)) << option;

    const std::vector<std::string> formats = listedNames(runTool({"--list"}, dir.path()).out, "formats");
    EXPECT_FALSE(formats.empty());
    for (const std::string& format : formats)
        EXPECT_NE(std::string::npos, help.out.find(format)) << format;
    EXPECT_TRUE(listTree(dir.path()).empty());
}

} // namespace
} // namespace vyr::test
