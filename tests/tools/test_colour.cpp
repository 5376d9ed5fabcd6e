// vyrconvert with HSV, HSI and LAB: raw frames in and out, and the demo's grey planes of its scene.
#include <gtest/gtest.h>

#include <cmath>

#include "bytes.h"
#include "png_files.h"
#include "tool_process.h"

namespace vyr::test {
namespace {

constexpr uint32_t kWidth = 37, kHeight = 5;

// RGB8888 pixels: random colours, and every tenth a grey.
std::vector<uint8_t> colourFrame()
{
    std::vector<uint8_t> pixels = randomBytes(size_t(4) * kWidth * kHeight, 31);
    for (size_t i = 0; i < pixels.size(); i += 40)
        pixels[i + 1] = pixels[i + 2] = pixels[i];
    return pixels;
}

class ColourRaw : public ::testing::Test {
protected:
    ColourRaw() { writeFile(dir.path() / "rgb.raw", colourFrame()); }

    std::vector<uint8_t> convert(const std::string& from, const std::string& to, const std::string& input)
    {
        const std::string output = from + "to" + to + ".raw";
        const ToolRun run = runTool({"--from", from, "--to", to, "--width", std::to_string(kWidth), "--height",
                                     std::to_string(kHeight), input, output},
                                    dir.path());
        EXPECT_EQ(0, run.exitCode) << run.err;
        return readFile(dir.path() / output);
    }

    ScratchDirectory dir;
};

struct Space {
    const char* name;
    bool hexcone;     // HSV, HSI: greys have S = 0 and come back unchanged
    int planeToMono8; // the byte a conversion to MONO8 takes, or -1
};

// The fourth byte is 0 both ways; V is the largest channel; the MONO8 plane is the byte it names;
// greys come back from the hexcone readers unchanged.
TEST_F(ColourRaw, EachSpaceGoesInAndOut)
{
    const std::vector<uint8_t> rgb = colourFrame();
    for (const Space& space : {Space{"HSV", true, 0}, Space{"HSI", true, -1}, Space{"LAB", false, 2}}) {
        SCOPED_TRACE(space.name);
        const std::string converted = std::string("RGB8888to") + space.name + ".raw";
        const std::vector<uint8_t> pixels = convert("RGB8888", space.name, "rgb.raw");
        const std::vector<uint8_t> back = convert(space.name, "RGB8888", converted);
        ASSERT_EQ(rgb.size(), pixels.size());
        ASSERT_EQ(rgb.size(), back.size());
        for (size_t i = 0; i < rgb.size(); i += 4) {
            const uint8_t b = rgb[i], g = rgb[i + 1], r = rgb[i + 2];
            EXPECT_EQ(0, pixels[i + 3]) << "pixel " << i / 4;
            EXPECT_EQ(0, back[i + 3]) << "pixel " << i / 4;
            if (space.planeToMono8 == 0) {
                EXPECT_EQ(std::max({r, g, b}), pixels[i]) << "V is the largest channel";
            }
            if (space.hexcone && r == g && g == b) {
                EXPECT_EQ(0, pixels[i + 1]) << "grey " << int(r);
                EXPECT_TRUE(sameBytes(&rgb[i], &back[i], 3)) << "grey " << int(r) << " comes back";
            }
        }
        if (space.planeToMono8 >= 0) {
            const std::vector<uint8_t> mono = convert(space.name, "MONO8", converted);
            ASSERT_EQ(rgb.size() / 4, mono.size());
            for (size_t i = 0; i < mono.size(); ++i)
                EXPECT_EQ(pixels[4 * i + size_t(space.planeToMono8)], mono[i]) << "pixel " << i;
        }
    }
}

// One byte of a plane PNG (stored as grey) per scene pixel.
std::vector<uint8_t> planeOf(const fs::path& path, const RgbPicture& scene)
{
    const std::optional<RgbPicture> picture = readPngAsRgb(path);
    EXPECT_TRUE(picture) << path;
    if (!picture || picture->width != scene.width || picture->height != scene.height)
        return {};
    std::vector<uint8_t> samples;
    for (size_t i = 0; i < picture->rgb.size(); i += 3)
        samples.push_back(picture->rgb[i]);
    return samples;
}

int circularDistance(int a, int b) { return std::min((a - b + 256) % 256, (b - a + 256) % 256); }

// Each plane holds its quantity of the scene pixel, within the one step the integer and the
// floating-point paths may differ by (L is truncated, and computed with other constants: 1.5).
TEST(ColourDemo, WritesTheHueSaturationValueAndLightnessPlanesOfTheScene)
{
    ScratchDirectory dir;
    ASSERT_EQ(0, runTool({"--demo"}, dir.path()).exitCode);
    const fs::path out = dir.path() / "vyrconvert-demo";
    const std::optional<RgbPicture> scene = readPngAsRgb(out / "scene.png");
    ASSERT_TRUE(scene);
    const std::vector<uint8_t> h = planeOf(out / "RGB8888toHSV.H.png", *scene);
    const std::vector<uint8_t> s = planeOf(out / "RGB8888toHSV.S.png", *scene);
    const std::vector<uint8_t> v = planeOf(out / "RGB8888toHSV.V.png", *scene);
    const std::vector<uint8_t> l = planeOf(out / "RGB8888toLAB.L.png", *scene);
    const size_t pixels = size_t(scene->width) * scene->height;
    ASSERT_TRUE(h.size() == pixels && s.size() == pixels && v.size() == pixels && l.size() == pixels);

    size_t wrong = 0;
    for (size_t i = 0; i < pixels && wrong < 5; ++i) {
        const double r = scene->rgb[3 * i], g = scene->rgb[3 * i + 1], b = scene->rgb[3 * i + 2];
        const double max = std::max({r, g, b}), d = max - std::min({r, g, b});
        double hue = 0;
        if (d > 0)
            hue = max == r ? (g - b) / d : max == g ? 2 + (b - r) / d : 4 + (r - g) / d;
        const double y = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
        const double lightness = (116 * std::cbrt(y) - 16) * 2.55;
        const bool right = v[i] == max && std::abs(s[i] - (max ? 255 * d / max : 0)) <= 1 &&
                           circularDistance(h[i], int(std::lround(std::fmod(hue / 6 + 1, 1) * 255))) <= 1 &&
                           std::abs(l[i] - std::max(0.0, lightness)) < 1.5;
        if (!right) {
            ++wrong;
            ADD_FAILURE() << "pixel " << i << " R, G, B " << r << ", " << g << ", " << b << ": H, S, V " << int(h[i])
                          << ", " << int(s[i]) << ", " << int(v[i]) << ", L " << int(l[i]);
        }
    }
}

} // namespace
} // namespace vyr::test
