// Bayer mosaics, demosaiced as whole frames by the 2x2 or the Malvar converters.
#include "family_bayer.h"

#include <string>
#include <vector>

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
    static const uint8_t kTopLeft[4] = {1, 2, 0, 1}; // GBRG, BGGR, RGGB, GRBG
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

} // namespace

const Format kBayer8 = {"Bayer8",
                        "8-bit Bayer mosaic, 1 byte per site (see --pattern)",
                        nullptr,
                        nullptr,
                        {},
                        nullptr,
                        {},
                        nullptr,
                        nullptr,
                        mosaicFromSceneWith<1>,
                        mosaicToRgb8With<1>};
const Format kBayer15 = {"Bayer15",
                         "15-bit Bayer mosaic, a 16-bit little-endian word per site (see --pattern)",
                         nullptr,
                         nullptr,
                         {},
                         nullptr,
                         {},
                         nullptr,
                         nullptr,
                         mosaicFromSceneWith<2>,
                         mosaicToRgb8With<2>};

namespace {

const Registration kBayerFormats({&kBayer8, &kBayer15});

} // namespace

void printDemosaicQuality(const Scene& scene, unsigned threadCount, std::FILE* out)
{
    const Frame reference = frameFromScene(kRgb888, scene); // the scene rounded to 8 bits
    Table table({"demosaic", "method", patternName(0), patternName(1), patternName(2), patternName(3)});
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
