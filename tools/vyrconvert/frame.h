// A whole frame in one format, its files, and its conversion through VyrFrame.
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
    std::vector<uint8_t> bytes; // lines packed, no padding; planar formats whole planes, one after another
    FrameOptions options;       // what the pixels mean beyond the format

    // Packed formats only.
    uint8_t* line(uint32_t y) { return bytes.data() + bytesPerLine * y; }
    const uint8_t* line(uint32_t y) const { return bytes.data() + bytesPerLine * y; }

    // Line y of plane k (packed formats: plane 0 is the frame).
    uint8_t* planeLine(uint32_t k, uint32_t y);
    const uint8_t* planeLine(uint32_t k, uint32_t y) const;
    // A whole line of any format in bytesPerLine bytes: for planar formats its samples of each plane in turn.
    void copyLineOut(uint32_t y, uint8_t* out) const;
    void copyLineIn(uint32_t y, const uint8_t* in);
};

// The most bytes one frame may take: a quarter of the machine's memory, so that the frames of a
// conversion fit in it together. Callers that must stay smaller (a fuzzer) set their own.
uint64_t frameByteLimit();
void setFrameByteLimit(uint64_t bytes);
uint64_t frameBytes(const Format& format, uint32_t width, uint32_t height);
// "frame of W x H FORMAT needs N bytes", for messages that go on with what it is more than.
std::string frameNeeds(const Format& format, uint32_t width, uint32_t height);
// Throws ToolError for a frame larger than the limit.
void checkFrameSize(const Format& format, uint32_t width, uint32_t height);

// A frame of zeros; throws ToolError for one larger than the limit or than memory allows.
Frame makeFrame(const Format& format, uint32_t width, uint32_t height);
// The scene at full depth, moved down to the bits options.unusedBits leave.
Frame frameFromScene(const Format& format, const Scene& scene, const FrameOptions& options = {});

// The first width x height pixels of the file; bytes after them are ignored. Memory is taken only for
// bytes the file has: a regular file's size is checked first, other inputs (pipes, devices) are
// read as their bytes come.
Frame readRawFrame(const std::string& path, const Format& format, uint32_t width, uint32_t height);
void writeRawFrame(const Frame& frame, OutputFile& output);
// Line y as 8-bit R,G,B triples: the PNG of formats without 16-bit ones, and what the demo compares.
void lineToRgb8(const Frame& frame, uint32_t y, uint8_t* rgb);
void writePngFrame(const Frame& frame, OutputFile& output);

// Samples at full depth (from a PNG or the scene) moved down to the significant bits the frame's
// unused bits leave.
void dropUnusedBits(Frame& frame, uint32_t unusedBits);

// The unusedBits of a conversion belong to its deeper side: the source's as it is read, the
// destination's as it is written (and shown in PNG output).
bool sourceIsDeeper(const Conversion& conversion);
// The unused bits a conversion takes run from 0 to this (VyrFrame's range).
uint32_t maxUnusedBits(const Conversion& conversion);

// The frame converted by VyrFrame into the destination, which takes the options with the unused bits
// its samples then have. A refusal of VyrFrame throws ToolError with its message.
void convertFrame(const Conversion& conversion, const Frame& source, Frame& destination,
                  const FrameOptions& options);

} // namespace vyr::tool
