// vyrconvert through the YUV and Bayer formats: round trips, and the edge lines of Bayer frames.
#include <gtest/gtest.h>

#include "bytes.h"
#include "tool_support.h"

namespace vyr::test {
namespace {

// Greys survive RGB888 to each 4:2:2 format and back: their luma weights sum to one, their chroma is 128.
TEST(Yuv, GreysComeBack)
{
    ScratchDirectory dir;
    const Bytes grey = randomBytes(24, 17);
    writeFile(dir.path() / "in.raw", repeated(grey, 3));
    const std::string size = " --width 6 --height 4 ";
    for (const std::string format : {"UYVY", "YUY2", "YVYU"}) {
        converted("--from RGB888 --to " + format + size + "in.raw yuv.raw", dir.path());
        EXPECT_EQ(repeated(grey, 3),
                  converted("--from " + format + " --to RGB888" + size + "yuv.raw out.raw", dir.path()))
            << format;
    }
}

struct BayerTarget {
    const char* conversion;
    size_t sampleBytes; // of the mosaic and the output samples (RGB8888 aside)
    bool planar;
    size_t outputLine(uint32_t w) const { return planar ? w * sampleBytes : 4 * w; }
};

const BayerTarget kBayerTargets[] = {{"--from Bayer8 --to RGB8888", 1, false},
                                     {"--from Bayer8 --to RGBP8", 1, true},
                                     {"--from Bayer15 --to RGBP16", 2, true}};

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

// Malvar mirrors the lines beyond the first and the last alike: a frame upside down (odd height
// keeps the pattern) comes back upside down. The 2x2 method pairs the last line with the line
// above it, as the only line pair of a frame of the two lines in that order. Threads split a
// frame into bands without changing it.
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
            EXPECT_EQ(upright, converted("--threads 3 " + bayerArgs(t, "BGGR", "malvar", w, h) + "bands.raw",
                                         dir.path()));
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
        EXPECT_EQ(frame,
                  converted("--threads 2 " + bayerArgs(t, "RGGB", "2x2", w, h) + "bands.raw", dir.path()));
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
