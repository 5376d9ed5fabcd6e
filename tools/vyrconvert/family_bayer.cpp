// Bayer mosaics, demosaiced as whole frames by the 2x2 or the Malvar converters.
#include "family_bayer.h"

#include <string>
#include <vector>

#include "error.h"
#include "formats.h"
#include "frame.h"
#include "quality.h"
#include "samples.h"
#include "scene.h"
#include "table.h"

namespace vyr::tool {
namespace {

// The colour (0 red, 1 green, 2 blue) of the site at (x, y) when the top-left 2x2 cell has this phase.
uint32_t siteColour(uint32_t phase, uint32_t x, uint32_t y)
{
    static const uint8_t kTopLeft[4] = {1, 2, 0, 1}; // as kPatternNames
    return kTopLeft[(phase ^ (x & 1) ^ ((y & 1) << 1)) & 3];
}

// ---- Bayer8 and Bayer15: one sample per site -----------------------------------------------------

uint32_t siteSample(const uint8_t* line, size_t bytes, uint32_t x)
{
    return bytes == 1 ? line[x] : getLe16(line + 2 * x);
}

// The mosaic as it is: each site's sample in its own colour.
template <size_t Bytes>
void mosaicToRgb8With(const uint8_t* line, uint32_t width, uint32_t y, const FrameOptions& options,
                      uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = siteSample(line, Bytes, x);
        rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = 0;
        rgb[3 * x + siteColour(options.phase, x, y)] = Bytes == 1 ? uint8_t(v) : significantTo8Bit(v, 1);
    }
}

// Each site keeps the scene's sample of its colour: 8 bits rounded, or 15 bits rounded.
template <size_t Bytes>
void mosaicFromSceneWith(const uint16_t* scene, uint32_t width, uint32_t y, const FrameOptions& options,
                         uint8_t* line)
{
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t v = scene[3 * x + siteColour(options.phase, x, y)];
        if (Bytes == 1)
            line[x] = to8Bit(v);
        else
            putLe16(line + 2 * x, (uint32_t(v) * 32767 + 32767) / 65535);
    }
}

// ---- Whole frames --------------------------------------------------------------------------------

// One output line: the RGB8888 line, or the three plane lines.
struct OutputLines {
    uint8_t* at[3];
};

struct LineCalls {
    uint32_t (*twoByTwo)(const uint8_t* first, const uint8_t* second, const OutputLines& out, uint32_t width,
                         uint32_t phase);
    uint32_t (*malvar)(const uint8_t* const* lines, const OutputLines& out, uint32_t width, uint32_t phase,
                       int32_t rowBorder);
};

// A line below the last stands for the line as far above the output line y, as the library does
// with the lines above the first; in frames too short for that, it is mirrored about the last line.
uint32_t substituteBelow(int64_t row, uint32_t y, uint32_t height)
{
    const int64_t last = int64_t(height) - 1;
    if (row <= last)
        return uint32_t(row);
    const int64_t aboveOutput = 2 * int64_t(y) - row;
    if (aboveOutput >= 0)
        return uint32_t(aboveOutput);
    while (row < 0 || row > last)
        row = row < 0 ? -row : 2 * last - row;
    return uint32_t(row);
}

uint32_t demosaic(const Frame& source, Frame& destination, const FrameOptions& options,
                  const LineCalls& calls, uint32_t sampleUnusedBits)
{
    const bool malvar = options.method == Demosaic::Malvar;
    const uint32_t minimumWidth = malvar ? 4 : 2;
    if (source.width < minimumWidth || source.height < 2) {
        throw ToolError(std::string("demosaicing by the ") + (malvar ? "Malvar" : "2x2") +
                        " method needs at least " + std::to_string(minimumWidth) +
                        "x2 pixels; the frame is " + std::to_string(source.width) + "x" +
                        std::to_string(source.height));
    }
    destination.options.unusedBits = sampleUnusedBits;
    const uint32_t height = source.height;
    return convertLines(height, options.threads, [&](uint32_t y) {
        OutputLines out{};
        for (uint32_t k = 0; k < destination.format->planes; ++k)
            out.at[k] = destination.planeLine(k, y);
        // Every other line starts with the other row of the pattern.
        const uint32_t phase = options.phase ^ ((y & 1) << 1);
        if (!malvar) {
            // The last line has no line below: the line above stands in, with the same colours.
            return calls.twoByTwo(source.line(y), source.line(y + 1 < height ? y + 1 : y - 1), out,
                                  source.width, phase);
        }
        // The library substitutes the missing lines above the first two; those below the last two are
        // substituted here.
        const int32_t rowBorder = y == 0 ? -2 : y == 1 ? -1 : 0;
        const uint8_t* lines[5];
        for (int i = 0; i < 5; ++i) {
            const int64_t row = int64_t(y) + i - 2;
            lines[i] = row < 0 ? nullptr : source.line(substituteBelow(row, y, height));
        }
        return calls.malvar(lines, out, source.width, phase, rowBorder);
    });
}

const LineCalls kBayer8ToRgb8888 = {
    [](const uint8_t* a, const uint8_t* b, const OutputLines& o, uint32_t w, uint32_t p) {
        return VyrUtilConvertBayer8_2x2toRGB8888(a, b, o.at[0], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLines& o, uint32_t w, uint32_t p, int32_t r) {
        return VyrUtilConvertBayer8_MalvartoRGB8888(l[0], l[1], l[2], l[3], l[4], o.at[0], w, p, r, 1);
    }};

const LineCalls kBayer8ToPlanar = {
    [](const uint8_t* a, const uint8_t* b, const OutputLines& o, uint32_t w, uint32_t p) {
        return VyrUtilConvertBayer8_2x2toPlanarRGB(a, b, o.at[0], o.at[1], o.at[2], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLines& o, uint32_t w, uint32_t p, int32_t r) {
        return VyrUtilConvertBayer8_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1], o.at[2],
                                                      w, p, r, 1);
    }};

const LineCalls kBayer15ToPlanar = {
    [](const uint8_t* a, const uint8_t* b, const OutputLines& o, uint32_t w, uint32_t p) {
        return VyrUtilConvertBayer15_2x2toPlanarRGB(a, b, o.at[0], o.at[1], o.at[2], w, p, 0, 1);
    },
    [](const uint8_t* const* l, const OutputLines& o, uint32_t w, uint32_t p, int32_t r) {
        return VyrUtilConvertBayer15_MalvartoPlanarRGB(l[0], l[1], l[2], l[3], l[4], o.at[0], o.at[1],
                                                       o.at[2], w, p, r, 1);
    }};

} // namespace

const Format kBayer8 = {"Bayer8",
                        "8-bit Bayer mosaic, 1 byte per site (see --pattern)",
                        fixedBytesPerLine<1>,
                        nullptr,
                        nullptr,
                        {},
                        nullptr,
                        8,
                        {},
                        nullptr,
                        nullptr,
                        1,
                        mosaicFromSceneWith<1>,
                        mosaicToRgb8With<1>};
const Format kBayer15 = {"Bayer15",
                         "15-bit Bayer mosaic, a 16-bit little-endian word per site (see --pattern)",
                         fixedBytesPerLine<2>,
                         nullptr,
                         nullptr,
                         {},
                         nullptr,
                         16,
                         {},
                         nullptr,
                         nullptr,
                         1,
                         mosaicFromSceneWith<2>,
                         mosaicToRgb8With<2>};

namespace {

constexpr unsigned kBayerOptions = kTakesPattern | kTakesMethod;

const Registration kBayerConversions({&kBayer8, &kBayer15},
                                     {
                                         {&kBayer8, &kRgb8888, nullptr, false,
                                          [](const Frame& s, Frame& d, const FrameOptions& o) {
                                              return demosaic(s, d, o, kBayer8ToRgb8888, 0);
                                          },
                                          kBayerOptions},
                                         {&kBayer8, &kRgbp8, nullptr, false,
                                          [](const Frame& s, Frame& d, const FrameOptions& o) {
                                              return demosaic(s, d, o, kBayer8ToPlanar, 0);
                                          },
                                          kBayerOptions},
                                         {&kBayer15, &kRgbp16, nullptr, false,
                                          [](const Frame& s, Frame& d, const FrameOptions& o) {
                                              return demosaic(s, d, o, kBayer15ToPlanar, 1);
                                          },
                                          kBayerOptions},
                                     });

} // namespace

void printDemosaicQuality(const Scene& scene, unsigned threadCount, std::FILE* out)
{
    const Frame reference = frameFromScene(kRgb888, scene); // the scene rounded to 8 bits
    Table table(
        {"demosaic", "method", kPatternNames[0], kPatternNames[1], kPatternNames[2], kPatternNames[3]});
    for (const Conversion& conversion : allConversions()) {
        if (conversion.from != &kBayer8 && conversion.from != &kBayer15)
            continue;
        for (Demosaic method : {Demosaic::TwoByTwo, Demosaic::Malvar}) {
            std::vector<std::string> row = {conversion.name(), method == Demosaic::Malvar ? "malvar" : "2x2"};
            for (uint32_t phase = 0; phase < 4; ++phase) {
                FrameOptions options;
                options.phase = phase;
                options.method = method;
                options.threads = threadCount;
                const Frame mosaic = frameFromScene(*conversion.from, scene, options);
                Frame result = makeFrame(*conversion.to, scene.width, scene.height);
                convertFrame(conversion, mosaic, result, options);
                char cell[32];
                std::snprintf(cell, sizeof cell, "%.2f", psnr(reference, result));
                row.push_back(cell);
            }
            table.addRow(row);
        }
    }
    std::fprintf(out, "Demosaiced scene against the scene, PSNR in dB, by pattern of the mosaic:\n");
    table.print(out);
}

} // namespace vyr::tool
