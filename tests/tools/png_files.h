// PNG files for the vyrconvert tests, written and read with libpng directly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace vyr::test {

struct PngPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    int colourType = 0; // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> samples; // one byte per sample, any bit depth up to 8
};

bool writePng(const std::filesystem::path& path, const PngPicture& picture);

struct RgbPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool storedAs8BitRgb = false; // the file itself is 8-bit RGB (no palette, alpha or 16-bit)
    std::vector<uint8_t> rgb;     // R, G, B per pixel
};

std::optional<RgbPicture> readPngAsRgb(const std::filesystem::path& path);

} // namespace vyr::test
