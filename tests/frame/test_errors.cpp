// Every refusal of VyrFrameConvert: its own result, a message saying why, the destination untouched.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "frame_images.h"

namespace vyr::test {
namespace {

struct Refusal {
    const char* what;
    int32_t result;
    const char* message; // a part of the message
};

class Refusals : public ::testing::Test {
protected:
    static constexpr uint32_t kWidth = 9, kHeight = 5;

    // A MONO8 source and an RGB8888 destination, both with room to spare.
    TestImage src{VYR_FRAME_MONO8, kWidth, kHeight, pitchFor(VYR_FRAME_MONO8, kWidth, 8), Flush::Back, 3};
    TestImage dst{VYR_FRAME_RGB8888, kWidth, kHeight, pitchFor(VYR_FRAME_RGB8888, kWidth, 8), Flush::Back, 4};
    std::vector<uint8_t> before = dst.bytes();

    // Each refusal leaves every destination byte as it was and says why.
    void expectRefused(const Refusal& r, const VyrFrameImage* in, const VyrFrameImage* out,
                       const VyrFrameOptions* options)
    {
        EXPECT_EQ(r.result, VyrFrameConvert(in, out, options)) << r.what;
        EXPECT_NE(std::string::npos, std::string(VyrFrameLastMessage()).find(r.message))
            << r.what << ": " << VyrFrameLastMessage();
        EXPECT_EQ(before, dst.bytes()) << r.what;
        EXPECT_TRUE(dst.intact()) << r.what;
    }
};

TEST_F(Refusals, ImagesThatCannotBeConverted)
{
    VyrFrameImage in = src.image(), out = dst.image();
    expectRefused({"null source", VYR_FRAME_ERROR_NULL, "source image is null"}, nullptr, &out, nullptr);
    expectRefused({"null destination", VYR_FRAME_ERROR_NULL, "destination image is null"}, &in, nullptr,
                  nullptr);

    struct Change {
        Refusal refusal;
        void (*change)(VyrFrameImage& in, VyrFrameImage& out);
    };
    const Change changes[] = {
        {{"null plane", VYR_FRAME_ERROR_NULL, "plane 0 of the destination image (RGB8888) is null"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.planes[0] = nullptr; }},
        {{"zero width", VYR_FRAME_ERROR_EMPTY, "the source image is 0 x 5"},
         [](VyrFrameImage& i, VyrFrameImage&) { i.width = 0; }},
        {{"zero height", VYR_FRAME_ERROR_EMPTY, "destination image is 9 x 0"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.height = 0; }},
        {{"sizes differ", VYR_FRAME_ERROR_SIZE_MISMATCH, "the source is 9 x 5 pixels, the destination 9 x 4"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.height = 4; }},
        {{"short pitch", VYR_FRAME_ERROR_PITCH, "destination pitch 35 is smaller than a line of 9 RGB8888"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.pitch = 35; }},
        {{"short negative pitch", VYR_FRAME_ERROR_PITCH, "source pitch -8 is smaller"},
         [](VyrFrameImage& i, VyrFrameImage&) { i.pitch = -8; }},
        {{"unknown format", VYR_FRAME_ERROR_FORMAT, "the source format 99 is no format"},
         [](VyrFrameImage& i, VyrFrameImage&) { i.format = 99; }},
        {{"no format", VYR_FRAME_ERROR_FORMAT, "the destination format 0 is no format"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.format = 0; }},
        {{"no conversion", VYR_FRAME_ERROR_CONVERSION, "no conversion from MONO8 to HSV"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.format = VYR_FRAME_HSV; }},
        {{"same memory", VYR_FRAME_ERROR_OVERLAP, "destination plane 0 overlaps source plane 0"},
         [](VyrFrameImage& i, VyrFrameImage& o) { o.planes[0] = i.planes[0]; }},
        {{"last line of the source inside the first of the destination", VYR_FRAME_ERROR_OVERLAP, "overlaps"},
         [](VyrFrameImage& i, VyrFrameImage& o) {
             i.planes[0] = static_cast<uint8_t*>(o.planes[0]) - i.pitch * (kHeight - 1) - 4;
         }},
        {{"a span past the end of memory", VYR_FRAME_ERROR_TOO_LARGE, "does not fit the address space"},
         [](VyrFrameImage&, VyrFrameImage& o) { o.pitch = PTRDIFF_MAX / 2; }},
        {{"a bottom-up span before the start of memory", VYR_FRAME_ERROR_TOO_LARGE,
          "source image does not fit"},
         [](VyrFrameImage& i, VyrFrameImage&) { i.pitch = PTRDIFF_MIN / 2; }},
    };
    for (const Change& c : changes) {
        VyrFrameImage i = src.image(), o = dst.image();
        c.change(i, o);
        expectRefused(c.refusal, &i, &o, nullptr);
    }
}

TEST_F(Refusals, OptionsThatDoNotApplyOrAreOutOfRange)
{
    struct Case {
        uint32_t from, to;
        VyrFrameOptions options;
        int32_t result;
        const char* message;
    };
    constexpr uint32_t kMono8 = VYR_FRAME_MONO8, kRgb = VYR_FRAME_RGB8888, kBayer = VYR_FRAME_BAYER8;
    constexpr int32_t kOption = VYR_FRAME_ERROR_OPTION, kValue = VYR_FRAME_ERROR_OPTION_VALUE;
    const Case cases[] = {
        {kMono8, kRgb, {1, 0, 0, 0, 0}, kOption, "MONO8toRGB8888 takes no unused bits"},
        {kMono8, kRgb, {0, VYR_FRAME_PATTERN_RGGB, 0, 0, 0}, kOption, "takes no pattern"},
        {kMono8, kRgb, {0, 0, VYR_FRAME_METHOD_2X2, 0, 0}, kOption, "takes no method"},
        {kMono8, kRgb, {0, 0, 0, 1, 0}, kOption, "takes no blue first"},
        {VYR_FRAME_MONO16, kMono8, {9, 0, 0, 0, 0}, kValue, "MONO16toMONO8 takes unused bits 0 to 8, not 9"},
        {kBayer, kRgb, {0, 5, 0, 0, 0}, kValue, "takes pattern 0 to 4, not 5"},
        {kBayer, kRgb, {0, VYR_FRAME_PATTERN_BGGR, 3, 0, 0}, kValue, "takes method 0 to 2, not 3"},
        {VYR_FRAME_BICOLOR88, kRgb, {0, 0, 0, 2, 0}, kValue, "takes blue first 0 to 1, not 2"},
        {kMono8, kRgb, {0, 0, 0, 0, 257}, kValue, "threads are 0 (one per processor) to 256, not 257"},
        {kBayer, kRgb, {}, VYR_FRAME_ERROR_OPTION_MISSING, "Bayer8toRGB8888 needs a Bayer pattern"},
    };
    for (const Case& c : cases) {
        VyrFrameImage in = src.image(), out = dst.image();
        in.format = c.from;
        out.format = c.to;
        expectRefused({c.message, c.result, c.message}, &in, &out, &c.options);
    }
}

TEST_F(Refusals, BayerFramesTooSmallForTheirMethod)
{
    struct Case {
        uint32_t width, height, method;
        const char* message;
    };
    for (const Case& c :
         {Case{3, 5, VYR_FRAME_METHOD_MALVAR, "by the Malvar method needs at least 4 x 2 pixels, not 3 x 5"},
          Case{9, 1, VYR_FRAME_METHOD_DEFAULT, "Malvar method needs at least 4 x 2"},
          Case{1, 5, VYR_FRAME_METHOD_2X2, "by the 2x2 method needs at least 2 x 2 pixels, not 1 x 5"},
          Case{9, 1, VYR_FRAME_METHOD_2X2, "not 9 x 1"}}) {
        VyrFrameImage in = src.image(), out = dst.image();
        in.format = VYR_FRAME_BAYER8;
        in.width = out.width = c.width;
        in.height = out.height = c.height;
        const VyrFrameOptions options = {0, VYR_FRAME_PATTERN_GRBG, c.method, 0, 2};
        expectRefused({"small Bayer frame", VYR_FRAME_ERROR_TOO_SMALL, c.message}, &in, &out, &options);
    }
}

// Planes of one destination must not share memory either.
TEST(PlanarRefusals, DestinationPlanesThatOverlapEachOther)
{
    const TestImage src(VYR_FRAME_RGB888, 5, 3, 16, Flush::Back, 1);
    TestImage dst(VYR_FRAME_RGBP8, 5, 3, 8, Flush::Back, 2);
    VyrFrameImage in = src.image(), out = dst.image();
    out.planes[2] = static_cast<uint8_t*>(out.planes[1]) + 8;
    const std::vector<uint8_t> before = dst.bytes();
    EXPECT_EQ(VYR_FRAME_ERROR_OVERLAP, VyrFrameConvert(&in, &out, nullptr));
    EXPECT_STREQ("destination planes 1 and 2 overlap", VyrFrameLastMessage());
    EXPECT_EQ(before, dst.bytes());
    out.planes[2] = dst.image().planes[2];
    out.planes[1] = nullptr;
    EXPECT_EQ(VYR_FRAME_ERROR_NULL, VyrFrameConvert(&in, &out, nullptr));
    EXPECT_STREQ("plane 1 of the destination image (RGBP8) is null", VyrFrameLastMessage());
}

TEST(ResultNames, EveryResultHasItsOwnName)
{
    std::set<std::string> names;
    for (int32_t r = VYR_FRAME_OK; r >= VYR_FRAME_ERROR_RESOURCE; --r) {
        ASSERT_NE(nullptr, VyrFrameResultName(r)) << r;
        names.insert(VyrFrameResultName(r));
    }
    EXPECT_EQ(14u, names.size());
    EXPECT_STREQ("VYR_FRAME_ERROR_PITCH", VyrFrameResultName(VYR_FRAME_ERROR_PITCH));
    EXPECT_EQ(nullptr, VyrFrameResultName(VYR_FRAME_ERROR_RESOURCE - 1));
    EXPECT_EQ(nullptr, VyrFrameResultName(1));
}

// The message belongs to the thread whose call failed; a success clears only its own thread's.
TEST(Messages, AreKeptPerThread)
{
    const TestImage src(VYR_FRAME_MONO8, 4, 2, 4, Flush::Back, 1);
    TestImage dst(VYR_FRAME_RGB8888, 4, 2, 16, Flush::Back, 2);
    VyrFrameImage in = src.image(), out = dst.image();
    out.height = 3;
    ASSERT_EQ(VYR_FRAME_ERROR_SIZE_MISMATCH, VyrFrameConvert(&in, &out, nullptr));
    const std::string mine = VyrFrameLastMessage();
    std::string theirs = "unset";
    std::thread other([&] {
        theirs = VyrFrameLastMessage();
        VyrFrameImage good = dst.image();
        EXPECT_EQ(VYR_FRAME_OK, VyrFrameConvert(&in, &good, nullptr));
    });
    other.join();
    EXPECT_EQ("", theirs);
    EXPECT_EQ(mine, VyrFrameLastMessage());
    EXPECT_EQ(VYR_FRAME_OK, VyrFrameConvert(&in, &(out = dst.image()), nullptr));
    EXPECT_STREQ("", VyrFrameLastMessage());
}

} // namespace
} // namespace vyr::test
