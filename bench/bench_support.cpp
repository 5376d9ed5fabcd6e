#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace vyr::bench {
namespace {

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Bytes = std::unique_ptr<uint8_t, FreeDeleter>;

// Wall-clock time throughout: a quiet machine is the benchmarks' premise.

// Page-aligned, every page touched, varied bytes whose 16-bit words stay below 32768 (valid Bayer15
// and Bicolor samples as much as any other format's).
Bytes pageAlignedBytes(size_t n)
{
    const size_t rounded = (n + 4095) / 4096 * 4096 + 4096;
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(4096, rounded));
    for (size_t i = 0; i < rounded; ++i)
        p[i] = static_cast<uint8_t>(i * 97 + (i >> 11));
    for (size_t i = 1; i < rounded; i += 2)
        p[i] &= 0x7F;
    return Bytes(p);
}

// An image and the memory behind it; the planes of one image lie in one block.
struct OwnedImage {
    Bytes bytes;
    Image image;
    OwnedImage(uint32_t width, uint32_t height, double bytesPerPixel, int planes)
    {
        const size_t pitch = size_t(width * bytesPerPixel / planes + 0.5);
        const size_t planeBytes = pitch * height; // planar sources: planes width x height apart
        bytes = pageAlignedBytes(planeBytes * size_t(planes));
        image = {{bytes.get(), bytes.get() + planeBytes, bytes.get() + 2 * planeBytes}, pitch, width, height};
    }
};

std::vector<Row>& mutableRows()
{
    static std::vector<Row> all;
    return all;
}

std::vector<PeerRow>& mutablePeerRows()
{
    static std::vector<PeerRow> all;
    return all;
}

void setBytes(benchmark::State& state, const Shape& shape, uint32_t width, uint32_t height)
{
    const double perPixel = shape.srcBytes + shape.dstBytes;
    state.SetBytesProcessed(int64_t(double(state.iterations()) * perPixel * width * height));
    state.SetItemsProcessed(int64_t(state.iterations()) * width * height);
}

// The frame: every line once; the line: line 2 of a five-line image (Bayer lines have neighbours),
// over and over in cache.
std::string registerJob(const std::string& name, const Shape& shape, const LineJob& job, bool frame)
{
    const std::string full = name + (frame ? "/frame" : "/line");
    benchmark::RegisterBenchmark(full.c_str(), [shape, job, frame](benchmark::State& state) {
        const uint32_t width = frame ? kFrameWidth : kLinePixels, height = frame ? kFrameHeight : 5;
        OwnedImage src(width, height, shape.srcBytes, shape.srcPlanes);
        OwnedImage dst(width, height, shape.dstBytes, shape.dstPlanes);
        for (auto _ : state) {
            if (frame) {
                for (uint32_t y = 0; y < height; ++y)
                    job(src.image, dst.image, y);
            } else {
                job(src.image, dst.image, 2);
            }
            benchmark::ClobberMemory();
        }
        setBytes(state, shape, width, frame ? height : 1);
    })->UseRealTime();
    return full;
}

// memcpy of (source + destination) / 2 bytes a line: the same bytes read and written as a converter
// of that shape moves, line by line over a frame or one line in cache.
std::string registerMemcpy(const Shape& shape, bool frame)
{
    static std::set<std::string> done;
    const uint32_t width = frame ? kFrameWidth : kLinePixels, height = frame ? kFrameHeight : 1;
    const size_t lineBytes = size_t((shape.srcBytes + shape.dstBytes) * width / 2 + 0.5);
    const std::string name =
        std::string("memcpy/") + (frame ? "frame/" : "line/") + std::to_string(lineBytes);
    if (!done.insert(name).second)
        return name;
    benchmark::RegisterBenchmark(name.c_str(), [lineBytes, height](benchmark::State& state) {
        Bytes src = pageAlignedBytes(lineBytes * height), dst = pageAlignedBytes(lineBytes * height);
        for (auto _ : state) {
            for (uint32_t y = 0; y < height; ++y)
                std::memcpy(dst.get() + lineBytes * y, src.get() + lineBytes * y, lineBytes);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(2 * lineBytes * height));
    })->UseRealTime();
    return name;
}

} // namespace

void registerConverter(const Converter& c)
{
    const std::string frameMemcpy = registerMemcpy(c.shape, true),
                      lineMemcpy = registerMemcpy(c.shape, false);
    mutableRows().push_back({c.name, c.kernel, "", registerJob(c.name, c.shape, c.exported, true),
                             frameMemcpy, registerJob(c.name, c.shape, c.exported, false), lineMemcpy});
    for (const auto& [path, job] : c.paths) {
        const std::string name = c.name + "/" + path;
        mutableRows().push_back({c.name, c.kernel, path, registerJob(name, c.shape, job, true), frameMemcpy,
                                 registerJob(name, c.shape, job, false), lineMemcpy});
    }
}

void registerPeer(const Peer& p)
{
    const std::string name = p.name + " (" + p.ours + ")";
    for (bool frame : {true, false}) {
        benchmark::RegisterBenchmark((name + (frame ? "/frame" : "/line")).c_str(),
                                     [p, frame](benchmark::State& state) {
                                         const uint32_t width = frame ? kFrameWidth : kLinePixels,
                                                        height = frame ? kFrameHeight : p.lineHeight;
                                         OwnedImage src(width, height, p.shape.srcBytes, p.shape.srcPlanes);
                                         OwnedImage dst(width, height, p.shape.dstBytes, p.shape.dstPlanes);
                                         for (auto _ : state) {
                                             p.convert(src.image, dst.image);
                                             benchmark::ClobberMemory();
                                         }
                                         setBytes(state, p.shape, width, height);
                                     })
            ->UseRealTime();
    }
    mutablePeerRows().push_back(
        {p.name, p.ours, name + "/frame", p.ours + "/frame", name + "/line", p.ours + "/line"});
}

const std::vector<Row>& rows() { return mutableRows(); }
const std::vector<PeerRow>& peerRows() { return mutablePeerRows(); }

} // namespace vyr::bench
