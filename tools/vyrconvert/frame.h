// A whole frame in one format, and its conversion line by line with a library converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registry.h"

namespace vyr::tool {

class OutputFile;
struct Scene;

struct Frame {
    const Format* format = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    size_t bytesPerLine = 0;
    std::vector<uint8_t> bytes; // lines packed, no padding (planar formats: whole planes)
    uint32_t unusedBits = 0;    // high-order bits of each sample that hold no data

    // A line of a packed format.
    uint8_t* line(uint32_t y) { return bytes.data() + bytesPerLine * y; }
    const uint8_t* line(uint32_t y) const { return bytes.data() + bytesPerLine * y; }
};

Frame makeFrame(const Format& format, uint32_t width, uint32_t height);
Frame frameFromScene(const Format& format, const Scene& scene);

// The first width x height pixels of the file; bytes after them are ignored.
Frame readRawFrame(const std::string& path, const Format& format, uint32_t width, uint32_t height);
void writeRawFrame(const Frame& frame, OutputFile& output);
void writePngFrame(const Frame& frame, OutputFile& output);

// Samples at full depth (from a PNG or the scene) moved down to the frame's significant bits.
void dropUnusedBits(Frame& frame, uint32_t unusedBits);

// The unusedBits of a conversion belong to its deeper side: the source's as it is read, the
// destination's as it is written (and shown in PNG output).
bool sourceIsDeeper(const Conversion& conversion);

// One converter call per line; the lines are split into contiguous bands, one per thread. Into a
// planar format: one call for the whole frame.
void convertFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                  uint32_t unusedBits, unsigned threadCount);

} // namespace vyr::tool
