// vyrconvert on the packed YUV formats: line sizes, sample placement, and round trips.
#include <gtest/gtest.h>

#include <functional>

#include "bytes.h"
#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

// A raw conversion whose output follows from its input by moving samples, no arithmetic.
struct Rearrangement {
    const char* from;
    const char* to;
    uint32_t width, height;
    size_t inputBytesPerLine;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>& input, uint32_t width, uint32_t height)>
        expected;
};

void PrintTo(const Rearrangement& r, std::ostream* os)
{
    *os << r.from << "to" << r.to;
}

// Applies pick(line, x, out) to every pixel x of every line, out being that pixel's output bytes.
std::vector<uint8_t> perPixel(const std::vector<uint8_t>& input, uint32_t width, uint32_t height,
                              size_t inputBytesPerLine, size_t outputBytesPerPixel,
                              const std::function<void(const uint8_t*, uint32_t, uint8_t*)>& pick)
{
    std::vector<uint8_t> out(size_t(width) * height * outputBytesPerPixel);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            pick(&input[y * inputBytesPerLine], x, &out[(size_t(y) * width + x) * outputBytesPerPixel]);
    }
    return out;
}

const Rearrangement kRearrangements[] = {
    // Odd width: lines of three whole cells, the last half cell left as the frame started (zero).
    {"MONO8", "YUY2", 5, 3, 5,
     [](const std::vector<uint8_t>& in, uint32_t, uint32_t height) {
         std::vector<uint8_t> out;
         for (uint32_t y = 0; y < height; ++y) {
             for (uint32_t x = 0; x < 5; ++x)
                 out.insert(out.end(), {in[5 * y + x], 128});
             out.insert(out.end(), {0, 0});
         }
         return out;
     }},
    {"YUY2", "MONO8", 6, 2, 12,
     [](const std::vector<uint8_t>& in, uint32_t w, uint32_t h) {
         return perPixel(in, w, h, 12, 1,
                         [](const uint8_t* line, uint32_t x, uint8_t* o) { o[0] = line[2 * x]; });
     }},
    {"UYVY", "YUV", 4, 2, 8,
     [](const std::vector<uint8_t>& in, uint32_t w, uint32_t h) {
         return perPixel(in, w, h, 8, 4, [](const uint8_t* line, uint32_t x, uint8_t* o) {
             const uint8_t* cell = line + 4 * (x / 2);
             const uint8_t bytes[4] = {cell[2], cell[0], cell[1 + 2 * (x % 2)], 0};
             std::copy(bytes, bytes + 4, o);
         });
     }},
    {"Y411", "MONO8", 8, 2, 12,
     [](const std::vector<uint8_t>& in, uint32_t w, uint32_t h) {
         return perPixel(in, w, h, 12, 1, [](const uint8_t* line, uint32_t x, uint8_t* o) {
             const int at[4] = {1, 2, 4, 5};
             o[0] = line[6 * (x / 4) + at[x % 4]];
         });
     }},
    {"IYU2", "YUV", 3, 3, 9,
     [](const std::vector<uint8_t>& in, uint32_t w, uint32_t h) {
         return perPixel(in, w, h, 9, 4, [](const uint8_t* line, uint32_t x, uint8_t* o) {
             const uint8_t bytes[4] = {line[3 * x + 2], line[3 * x], line[3 * x + 1], 0};
             std::copy(bytes, bytes + 4, o);
         });
     }},
    {"YUV", "MONO8", 3, 2, 12,
     [](const std::vector<uint8_t>& in, uint32_t w, uint32_t h) {
         return perPixel(in, w, h, 12, 1,
                         [](const uint8_t* line, uint32_t x, uint8_t* o) { o[0] = line[4 * x + 2]; });
     }},
};

class YuvRaw : public ::testing::TestWithParam<Rearrangement> {
  protected:
    ScratchDirectory dir;
};

TEST_P(YuvRaw, SamplesLandWhereTheFormatsPutThem)
{
    const Rearrangement& r = GetParam();
    const std::vector<uint8_t> input = randomBytes(r.inputBytesPerLine * r.height, r.width * 31 + r.height);
    writeFile(dir.path() / "in.raw", input);
    const ToolRun run = runTool({"--from", r.from, "--to", r.to, "--width", std::to_string(r.width),
                                 "--height", std::to_string(r.height), "in.raw", "out.raw"},
                                dir.path());
    ASSERT_EQ(0, run.exitCode) << run.err;
    const std::vector<uint8_t> expected = r.expected(input, r.width, r.height);
    const std::vector<uint8_t> actual = readFile(dir.path() / "out.raw");
    ASSERT_EQ(expected.size(), actual.size());
    EXPECT_TRUE(sameBytes(expected.data(), actual.data(), expected.size()));
}

INSTANTIATE_TEST_SUITE_P(Formats, YuvRaw, ::testing::ValuesIn(kRearrangements), [](const auto& info) {
    return std::string(info.param.from) + "to" + info.param.to;
});

// Greys survive RGB888 to each 4:2:2 format and back (their luma weights sum to one and their
// chroma is 128), and the YUY2 frame renders as the same greys in a PNG.
TEST(YuvRoundTrip, GreysComeBackAndRenderAsGrey)
{
    ScratchDirectory dir;
    const std::vector<uint8_t> grey = greyFrame(6, 4, 17);
    writeFile(dir.path() / "in.raw", greyRepeated(grey, 3));
    for (const char* format : {"UYVY", "YUY2", "YVYU"}) {
        const std::vector<std::string> size = {"--width", "6", "--height", "4"};
        std::vector<std::string> there = {"--from", "RGB888", "--to", format, "in.raw", "yuv.raw"};
        std::vector<std::string> back = {"--from", format, "--to", "RGB888", "yuv.raw", "out.raw"};
        there.insert(there.end(), size.begin(), size.end());
        back.insert(back.end(), size.begin(), size.end());
        ASSERT_EQ(0, runTool(there, dir.path()).exitCode) << format;
        EXPECT_EQ(size_t(6 * 4 * 2), readFile(dir.path() / "yuv.raw").size()) << format;
        ASSERT_EQ(0, runTool(back, dir.path()).exitCode) << format;
        EXPECT_EQ(greyRepeated(grey, 3), readFile(dir.path() / "out.raw")) << format;
    }
    const ToolRun png =
        runTool({"--from", "RGB888", "--to", "YUY2", "--width", "6", "--height", "4", "in.raw", "yuy2.png"},
                dir.path());
    ASSERT_EQ(0, png.exitCode) << png.err;
    const std::optional<RgbPicture> picture = readPngAsRgb(dir.path() / "yuy2.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(greyRepeated(grey, 3), picture->rgb);
}

} // namespace
} // namespace vyr::test
