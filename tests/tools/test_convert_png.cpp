// vyrconvert with PNG input and output: grey PNGs load as MONO8, outputs read back as 8-bit RGB.
#include <gtest/gtest.h>
#include <png.h>

#include "bytes.h"
#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

PngPicture greyPicture(uint32_t width, uint32_t height, uint32_t seed)
{
    return {width, height, PNG_COLOR_TYPE_GRAY, 8, false, greyFrame(width, height, seed)};
}

// Each grey value as an R, G, B triple: how a MONO8 conversion to either RGB format looks as PNG.
std::vector<uint8_t> greyAsRgb(const std::vector<uint8_t>& grey)
{
    return greyRepeated(grey, 3);
}

::testing::AssertionResult isRgbPngOf(const fs::path& path, uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& rgb)
{
    const std::optional<RgbPicture> picture = readPngAsRgb(path);
    if (!picture)
        return ::testing::AssertionFailure() << path << " is not a readable PNG";
    if (!picture->storedAs8BitRgb)
        return ::testing::AssertionFailure() << path << " is not stored as 8-bit RGB";
    if (picture->width != width || picture->height != height)
        return ::testing::AssertionFailure() << path << " is " << picture->width << "x" << picture->height;
    if (picture->rgb.size() != rgb.size())
        return ::testing::AssertionFailure() << "size " << picture->rgb.size() << " not " << rgb.size();
    return sameBytes(rgb.data(), picture->rgb.data(), rgb.size());
}

class PngConversion : public ::testing::TestWithParam<const char*> {
protected:
    ScratchDirectory dir;
};

TEST_P(PngConversion, GreyPngInGivesRgbPngOut)
{
    const PngPicture in = greyPicture(9, 4, 21);
    ASSERT_TRUE(writePng(dir.path() / "in.png", in));
    const ToolRun run = runTool({"--to", GetParam(), "in.png", "out.png"}, dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_TRUE(isRgbPngOf(dir.path() / "out.png", 9, 4, greyAsRgb(in.samples)));
    EXPECT_EQ((std::set<std::string>{"in.png", "out.png"}), listTree(dir.path()));
}

TEST_P(PngConversion, RawInGivesRgbPngOut)
{
    const std::vector<uint8_t> grey = greyFrame(6, 5, 22);
    writeFile(dir.path() / "in.raw", grey);
    const ToolRun run = runTool({"--to", GetParam(), "--width", "6", "--height", "5", "in.raw", "OUT.PNG"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_TRUE(isRgbPngOf(dir.path() / "OUT.PNG", 6, 5, greyAsRgb(grey)));
}

INSTANTIATE_TEST_SUITE_P(Targets, PngConversion, ::testing::Values("RGB8888", "RGB888"),
                         [](const auto& info) { return std::string(info.param); });

class PngInput : public ::testing::Test {
protected:
    ScratchDirectory dir;
};

TEST_F(PngInput, GreyPngInGivesRawOutAndMatchingSizeOptionsAreAccepted)
{
    const PngPicture in = greyPicture(8, 3, 23);
    ASSERT_TRUE(writePng(dir.path() / "In.Png", in));
    const ToolRun run = runTool({"--from", "MONO8", "--to", "RGB8888", "--width", "8", "--height", "3", "In.Png",
                                 "out.raw"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(in.samples, 4), readFile(dir.path() / "out.raw"));
}

TEST_F(PngInput, InterlacedGreyPngLoadsInPixelOrder)
{
    PngPicture in = greyPicture(11, 9, 24);
    in.interlaced = true;
    ASSERT_TRUE(writePng(dir.path() / "in.png", in));
    const ToolRun run = runTool({"--to", "RGB888", "in.png", "out.raw"}, dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(greyRepeated(in.samples, 3), readFile(dir.path() / "out.raw"));
}

// PNG widens low-depth grey by replicating its bits: the top level maps to 255.
TEST_F(PngInput, LowDepthGreyPngsAreWidenedToEightBits)
{
    for (int depth : {1, 2, 4}) {
        const int levels = 1 << depth;
        PngPicture in{7, 3, PNG_COLOR_TYPE_GRAY, depth, false, {}};
        std::vector<uint8_t> widened;
        for (int i = 0; i < 21; ++i) {
            const int level = (i * 5) % levels;
            in.samples.push_back(uint8_t(level));
            widened.push_back(uint8_t(level * 255 / (levels - 1)));
        }
        ASSERT_TRUE(writePng(dir.path() / "in.png", in));
        const ToolRun run = runTool({"--to", "RGB888", "in.png", "out.raw"}, dir.path());
        ASSERT_EQ(0, run.exitCode) << depth << "-bit: " << run.err;
        EXPECT_EQ(greyRepeated(widened, 3), readFile(dir.path() / "out.raw")) << depth << "-bit";
    }
}

} // namespace
} // namespace vyr::test
