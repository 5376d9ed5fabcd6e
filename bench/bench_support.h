// Converter benchmarks: every converter on a 1920-pixel line (in cache) and a 4096 x 3000 frame
// (out of cache), as bytes per second of source plus destination, each beside a memcpy that moves
// the same number of bytes in the same run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/line.h"

namespace vyr::bench {

constexpr uint32_t kLinePixels = 1920;
constexpr uint32_t kFramePixels = 4096u * 3000u;

struct LineBench {
    std::string name; // e.g. "MONO8toRGB8888/vector"
    convert::LineFn fn;
    double srcBytesPerPixel;
    double dstBytesPerPixel;
    uint32_t unusedBits = 0;
};

// Registers name/line and name/frame, and the memcpy references of their sizes.
void registerLineBench(const LineBench& b);

// Every path of a converter: its kernels of either rule and the scalar rule.
void registerPaths(const std::string& name, const convert::LinePaths& paths, double srcBpp, double dstBpp,
                   uint32_t unusedBits = 0);

} // namespace vyr::bench
