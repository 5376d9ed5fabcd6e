// Converter benchmarks: every export on a 4096 x 3000 frame converted line by line (out of cache) and
// on a 1920-pixel line (in cache), as bytes per second of source plus destination, each alternating
// with a memcpy that moves the same bytes the same way (line by line over a frame, or one line in
// cache) inside the same benchmark. The final table gives the ratios and the kernel each export takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/line.h"

namespace vyr::bench {

constexpr uint32_t kLinePixels = 1920;
constexpr uint32_t kFrameWidth = 4096;
constexpr uint32_t kFrameHeight = 3000;

// An image of up to three planes (packed formats use plane 0), each `height` lines of `pitch` bytes.
struct Image {
    uint8_t* plane[3];
    size_t pitch;
    uint32_t width, height;
    uint8_t* line(int k, uint32_t y) const { return plane[k] + pitch * y; }
};

// Converts line y of src into line y of dst (neighbour lines as the converter needs them).
using LineJob = std::function<void(const Image& src, const Image& dst, uint32_t y)>;

struct Shape {
    double srcBytes, dstBytes; // per pixel, over all planes
    int srcPlanes = 1, dstPlanes = 1;
};

// An export and the table behind it.
struct Converter {
    std::string name; // the export's name without "VyrUtil"
    Shape shape;
    std::string kernel; // what the export runs on this processor
    LineJob exported;
    std::vector<std::pair<std::string, LineJob>> paths; // every table entry this processor runs
};

// Registers the export on a frame and a line, every path on both, and the memcpy references.
void registerConverter(const Converter& c);

// A peer library doing the same job as one of ours, one thread, each call on a whole image (its
// interface takes one, and it spares the peer our per-line calls): the frame, and in cache one line
// (five for the Bayer jobs, which read neighbour lines). Compared by pixels per second; each run
// alternates with memcpy as ours do, so that neither side's frame stays in the cache.
struct Peer {
    std::string name; // "libyuv ARGBToRGB24"
    std::string ours; // the export it is compared with, as in Converter::name
    Shape shape;
    std::function<void(const Image& src, const Image& dst)> convert;
    uint32_t lineHeight = 1;
};
void registerPeer(const Peer& p);

// Every entry of a table that this processor runs, named "scalar", "scalar+avx2", "vector",
// "vector+sse2", ..., and the name of the one pick() takes.
template <class Fn>
std::vector<std::pair<std::string, Fn>> runnablePaths(const convert::Paths<Fn>& t)
{
    std::vector<std::pair<std::string, Fn>> out = {{"scalar", t.scalar}};
    for (unsigned i = convert::kSse2; i <= convert::processorIsa(); ++i) {
        if (t.fast[i])
            out.emplace_back(std::string("scalar+") + convert::isaName(convert::Isa(i)), t.fast[i]);
    }
    if (t.vector[convert::kPlain])
        out.emplace_back("vector", t.vector[convert::kPlain]);
    for (unsigned i = convert::kSse2; i <= convert::processorIsa(); ++i) {
        if (t.vector[i])
            out.emplace_back(std::string("vector+") + convert::isaName(convert::Isa(i)), t.vector[i]);
    }
    return out;
}

template <class Fn>
std::string pickedName(const convert::Paths<Fn>& t, bool vectorRule)
{
    const Fn picked = t.pick(vectorRule);
    for (const auto& [name, fn] : runnablePaths(t)) {
        if (fn == picked)
            return name;
    }
    return "?";
}

// The counter of a converter's benchmark giving the rate of the memcpy it alternated with.
constexpr const char* kMemcpyRate = "memcpy_bytes_per_second";

// What the final table lists.
struct Row {
    std::string converter, kernel, path; // path empty for the export itself
    std::string frame, line;             // benchmark names
};
struct PeerRow {
    std::string peer, ours, frame, ourFrame, line, ourLine;
};
const std::vector<Row>& rows();
const std::vector<PeerRow>& peerRows();

} // namespace vyr::bench
