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

// Reads 64 MiB, twice this machine's last-level cache, so that the next timed run starts with none of
// its own bytes there: part of a 4096 x 3000 frame stayed cached, and which side of a pair found its
// bytes there changed the ratio by up to a fifth from run to run. (sysconf reports 320 MiB here.)
void evictCaches()
{
    constexpr size_t kBytes = size_t(64) << 20;
    static const Bytes block = pageAlignedBytes(kBytes);
    uint64_t sum = 0;
    for (size_t i = 0; i < kBytes; i += 64)
        sum += block.get()[i];
    benchmark::DoNotOptimize(sum);
}

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// memcpy of (source + destination) / 2 bytes a line, moved the way a job moves its lines: line by
// line over a frame of its own, or one line `calls` times. Each benchmark runs it between the timed
// runs of its job, so job and reference alternate and share the machine's state of the moment: on a
// shared machine the memory bandwidth drifts between benchmarks run minutes apart, and neither side
// keeps its frame in the cache from one iteration to the next (an out-of-cache figure that is not).
class CopyReference {
public:
    CopyReference(const Shape& shape, uint32_t width, uint32_t lines, int calls)
        : bytes_(size_t((shape.srcBytes + shape.dstBytes) * width / 2 + 0.5)), lines_(lines), calls_(calls),
          src_(pageAlignedBytes(bytes_ * lines)), dst_(pageAlignedBytes(bytes_ * lines))
    {
    }
    void run()
    {
        if (calls_ == 1) // a frame
            evictCaches();
        seconds_ += secondsOf([&] {
            for (int i = 0; i < calls_; ++i) {
                for (uint32_t y = 0; y < lines_; ++y)
                    std::memcpy(dst_.get() + bytes_ * y, src_.get() + bytes_ * y, bytes_);
            }
        });
        ++runs_;
    }
    // Bytes per second, read and written.
    double rate() const { return double(runs_) * 2.0 * double(bytes_) * lines_ * calls_ / seconds_; }

private:
    size_t bytes_;
    uint32_t lines_;
    int calls_;
    Bytes src_, dst_;
    double seconds_ = 0;
    int64_t runs_ = 0;
};

// The frame: every line once; the line: line 2 of a five-line image (Bayer lines have neighbours),
// kLineCalls times in cache. The job's time is the benchmark's; memcpy's rate is the counter
// kMemcpyRate.
constexpr int kLineCalls = 64;

std::string registerJob(const std::string& name, const Shape& shape, const LineJob& job, bool frame)
{
    const std::string full = name + (frame ? "/frame" : "/line");
    benchmark::RegisterBenchmark(full.c_str(), [shape, job, frame](benchmark::State& state) {
        const uint32_t width = frame ? kFrameWidth : kLinePixels, height = frame ? kFrameHeight : 5;
        OwnedImage src(width, height, shape.srcBytes, shape.srcPlanes);
        OwnedImage dst(width, height, shape.dstBytes, shape.dstPlanes);
        CopyReference copy(shape, width, frame ? height : 1, frame ? 1 : kLineCalls);
        for (auto _ : state) {
            if (frame)
                evictCaches();
            state.SetIterationTime(secondsOf([&] {
                if (frame) {
                    for (uint32_t y = 0; y < height; ++y)
                        job(src.image, dst.image, y);
                } else {
                    for (int i = 0; i < kLineCalls; ++i)
                        job(src.image, dst.image, 2);
                }
            }));
            copy.run();
        }
        setBytes(state, shape, width, frame ? height : kLineCalls);
        state.counters[kMemcpyRate] = copy.rate();
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

// A peer converts its whole image in one call (in cache: kLineCalls times), alternating with memcpy as
// our converters do.
void registerPeer(const Peer& p)
{
    const std::string name = p.name + " (" + p.ours + ")";
    for (bool frame : {true, false}) {
        auto run = [p, frame](benchmark::State& state) {
            const uint32_t width = frame ? kFrameWidth : kLinePixels,
                           height = frame ? kFrameHeight : p.lineHeight;
            const int calls = frame ? 1 : kLineCalls;
            OwnedImage src(width, height, p.shape.srcBytes, p.shape.srcPlanes);
            OwnedImage dst(width, height, p.shape.dstBytes, p.shape.dstPlanes);
            CopyReference copy(p.shape, width, height, calls);
            for (auto _ : state) {
                if (frame)
                    evictCaches();
                state.SetIterationTime(secondsOf([&] {
                    for (int i = 0; i < calls; ++i)
                        p.convert(src.image, dst.image);
                }));
                copy.run();
            }
            setBytes(state, p.shape, width, height * calls);
            state.counters[kMemcpyRate] = copy.rate();
        };
        benchmark::RegisterBenchmark((name + (frame ? "/frame" : "/line")).c_str(), run)->UseManualTime();
    }
    mutablePeerRows().push_back(
        {p.name, p.ours, name + "/frame", p.ours + "/frame", name + "/line", p.ours + "/line"});
}

const std::vector<Row>& rows() { return mutableRows(); }
const std::vector<PeerRow>& peerRows() { return mutablePeerRows(); }

} // namespace vyr::bench
