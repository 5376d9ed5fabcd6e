// 16-bit grey and RGB PNG files for the vyrconvert tests, written and read with libpng directly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace vyr::test {

struct DeepPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool rgb = false;               // R, G, B samples per pixel; else one grey sample
    std::vector<uint16_t> samples;  // as the PNG holds them
    unsigned significantBits = 0;   // from the sBIT chunk; 0 without one
};

bool writePng16(const std::filesystem::path& path, const DeepPicture& picture);
// Only a 16-bit grey or RGB PNG reads; anything else gives nullopt.
std::optional<DeepPicture> readPng16(const std::filesystem::path& path);

} // namespace vyr::test
