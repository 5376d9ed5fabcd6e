// Colour spaces: HSV, HSI and LAB in and out. Their frames are made from the scene through the
// library's RGB8888 converters, and shown as PNG in the colours they stand for, through the
// library's readers.
#include <utility>
#include <vector>

#include "formats.h"
#include "scene.h"

namespace vyr::tool {
namespace {

template <LineConverter FromRgb8888>
void colourFromScene(const uint16_t* scene, uint32_t width, uint8_t* line)
{
    std::vector<uint8_t> rgb8888(size_t(4) * width);
    kRgb8888.lineFromScene(scene, width, rgb8888.data());
    FromRgb8888(rgb8888.data(), line, width, 0);
}

template <LineConverter ToRgb8888>
void colourToRgb8(const uint8_t* line, uint32_t width, uint8_t* rgb)
{
    std::vector<uint8_t> rgb8888(size_t(4) * width);
    ToRgb8888(line, rgb8888.data(), width, 0);
    kRgb8888.lineToRgb8(rgb8888.data(), width, rgb);
}

// Four bytes a pixel; of the fields after lineFromPng, only the demo's planes are set.
template <LineConverter ToRgb8888, LineConverter FromRgb8888>
Format colourFormat(const char* name, const char* summary, std::vector<GreyPlane> demoPlanes = {})
{
    Format format = {name, summary, colourToRgb8<ToRgb8888>, colourFromScene<FromRgb8888>, {}, nullptr};
    format.demoPlanes = std::move(demoPlanes);
    return format;
}

const Format kHsv = colourFormat<VyrUtilConvertHSVtoRGB8888, VyrUtilConvertRGB8888toHSV>(
    "HSV", "bytes V, S, H, 0: value, saturation, hue (red 0, green 85, blue 170); as PNG, the colours",
    {{"H", 2, 4}, {"S", 1, 4}, {"V", 0, 4}});
const Format kHsi = colourFormat<VyrUtilConvertHSItoRGB8888, VyrUtilConvertRGB8888toHSI>(
    "HSI", "bytes I, S, H, 0: intensity (mean of R, G, B), saturation, hue; as PNG, the colours");
const Format kLab = colourFormat<VyrUtilConvertLABtoRGB8888, VyrUtilConvertRGB8888toLAB>(
    "LAB", "bytes b, a, L, 0: L* scaled to 0..255, a* and b* offset by 128; as PNG, the colours",
    {{"L", 2, 4}});

const Registration kColourFormats({&kHsv, &kHsi, &kLab});

} // namespace
} // namespace vyr::tool
