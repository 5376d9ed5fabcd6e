// PNG input and output through libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry.h"

namespace vyr::tool {

class OutputFile;
struct Frame;

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    PngLayout layout;
    size_t bytesPerRow = 0;
    std::vector<uint8_t> pixels; // rows packed as decoded
    uint64_t encodedBytes = 0;   // of the pixels as the file stores them, before widening
    uint64_t fileBytes = 0;      // 0: not a regular file, size unknown
};

// Whether the file is large enough to hold, compressed, the pixels its header claims.
bool fileCanHold(const PngImage& header);

// acceptHeader sees the image without pixels and throws to refuse it before they are read.
PngImage readPng(const std::string& path, const std::function<void(const PngImage& header)>& acceptHeader);
// Loads the image as the given format, which must take PNGs of the image's layout.
Frame frameFromPng(const PngImage& image, const Format& format);

// An 8-bit RGB PNG; renderRow fills one row of width R,G,B triples.
void writeRgbPng(OutputFile& output, uint32_t width, uint32_t height,
                 const std::function<void(uint32_t y, uint8_t* rgb)>& renderRow);
// An 8-bit grey PNG; renderRow fills one row of width samples.
void writeGreyPng(OutputFile& output, uint32_t width, uint32_t height,
                  const std::function<void(uint32_t y, uint8_t* grey)>& renderRow);

// A 16-bit grey or RGB PNG (layout), its sBIT chunk naming the significant bits of every sample;
// renderRow fills one row of big-endian samples.
void writeDeepPng(OutputFile& output, uint32_t width, uint32_t height, const PngLayout& layout,
                  unsigned significantBits, const std::function<void(uint32_t y, uint8_t* row)>& renderRow);

} // namespace vyr::tool
