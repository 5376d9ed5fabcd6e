#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

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

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The frame: every line once; the line: line 2 of a five-line image (Bayer lines have neighbours),
// kLineCalls times in cache. Each iteration also moves the same bytes with memcpy, the same way
// ((source + destination) / 2 bytes a line, line by line over a frame of its own, or one line
// kLineCalls times), so converter and reference alternate and share the machine's state of the
// moment: on a shared machine the memory bandwidth drifts between benchmarks run minutes apart, and
// a reference whose frame stays in the cache from one iteration to the next is no out-of-cache
// reference. The converter's time is the benchmark's; memcpy's rate is the counter kMemcpyRate.
constexpr int kLineCalls = 64;

std::string registerJob(const std::string& name, const Shape& shape, const LineJob& job, bool frame)
{
    const std::string full = name + (frame ? "/frame" : "/line");
    benchmark::RegisterBenchmark(full.c_str(), [shape, job, frame](benchmark::State& state) {
        const uint32_t width = frame ? kFrameWidth : kLinePixels, height = frame ? kFrameHeight : 5;
        OwnedImage src(width, height, shape.srcBytes, shape.srcPlanes);
        OwnedImage dst(width, height, shape.dstBytes, shape.dstPlanes);
        const uint32_t copyLines = frame ? height : 1;
        const size_t copyBytes = size_t((shape.srcBytes + shape.dstBytes) * width / 2 + 0.5);
        Bytes copySrc = pageAlignedBytes(copyBytes * copyLines),
              copyDst = pageAlignedBytes(copyBytes * copyLines);
        double copySeconds = 0;
        for (auto _ : state) {
            state.SetIterationTime(secondsOf([&] {
                if (frame) {
                    for (uint32_t y = 0; y < height; ++y)
                        job(src.image, dst.image, y);
                } else {
                    for (int i = 0; i < kLineCalls; ++i)
                        job(src.image, dst.image, 2);
                }
            }));
            copySeconds += secondsOf([&] {
                for (int i = 0; i < (frame ? 1 : kLineCalls); ++i) {
                    for (uint32_t y = 0; y < copyLines; ++y)
                        std::memcpy(copyDst.get() + copyBytes * y, copySrc.get() + copyBytes * y, copyBytes);
                }
            });
        }
        const uint32_t lines = frame ? height : kLineCalls;
        setBytes(state, shape, width, lines);
        state.counters[kMemcpyRate] =
            double(state.iterations()) * 2.0 * double(copyBytes) * lines / copySeconds;
    })->UseManualTime();
    return full;
}

} // namespace

void registerConverter(const Converter& c)
{
    mutableRows().push_back({c.name, c.kernel, "", registerJob(c.name, c.shape, c.exported, true),
                             registerJob(c.name, c.shape, c.exported, false)});
    for (const auto& [path, job] : c.paths) {
        const std::string name = c.name + "/" + path;
        mutableRows().push_back({c.name, c.kernel, path, registerJob(name, c.shape, job, true),
                                 registerJob(name, c.shape, job, false)});
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
