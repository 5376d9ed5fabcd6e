#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace vyr::bench {
namespace {

struct AlignedFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<uint8_t, AlignedFree>;

// Page-aligned, every page touched, filled with varied bytes.
Buffer makeBuffer(size_t bytes)
{
    size_t rounded = (bytes + 4095) / 4096 * 4096 + 4096;
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(4096, rounded));
    for (size_t i = 0; i < rounded; ++i)
        p[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    return Buffer(p);
}

std::string sizeName(uint32_t pixels) { return pixels == kLinePixels ? "line" : "frame"; }

void registerMemcpy(size_t bytes, const std::string& size)
{
    static std::set<size_t> done;
    if (!done.insert(bytes).second)
        return;
    benchmark::RegisterBenchmark(
        ("memcpy/" + size + "/" + std::to_string(bytes)).c_str(), [bytes](benchmark::State& state) {
            Buffer src = makeBuffer(bytes), dst = makeBuffer(bytes);
            for (auto _ : state) {
                std::memcpy(dst.get(), src.get(), bytes);
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(2 * bytes));
        });
}

} // namespace

void registerLineBench(const LineBench& b)
{
    for (uint32_t pixels : {kLinePixels, kFramePixels}) {
        const size_t srcBytes = size_t(b.srcBytesPerPixel * pixels);
        const size_t dstBytes = size_t(b.dstBytesPerPixel * pixels);
        const std::string size = sizeName(pixels);
        // The reference moves the same bytes: it reads half of them and writes the other half.
        const size_t reference = (srcBytes + dstBytes) / 2;
        benchmark::RegisterBenchmark((b.name + "/" + size + "/memcpy=" + std::to_string(reference)).c_str(),
                                     [b, pixels, srcBytes, dstBytes](benchmark::State& state) {
                                         Buffer src = makeBuffer(srcBytes), dst = makeBuffer(dstBytes);
                                         for (auto _ : state) {
                                             b.fn(src.get(), dst.get(), pixels, b.unusedBits);
                                             benchmark::ClobberMemory();
                                         }
                                         state.SetBytesProcessed(int64_t(state.iterations()) *
                                                                 int64_t(srcBytes + dstBytes));
                                     });
        registerMemcpy(reference, size);
    }
}

void registerPaths(const std::string& name, const convert::LinePaths& paths, double srcBpp, double dstBpp,
                   uint32_t unusedBits)
{
    for (unsigned i = convert::kPlain + 1; i <= convert::processorIsa(); ++i) {
        const std::string isa = convert::isaName(convert::Isa(i));
        if (paths.fast[i])
            registerLineBench({name + "/scalar-" + isa, paths.fast[i], srcBpp, dstBpp, unusedBits});
        if (paths.vector[i])
            registerLineBench({name + "/" + isa, paths.vector[i], srcBpp, dstBpp, unusedBits});
    }
    registerLineBench({name + "/scalar", paths.scalar, srcBpp, dstBpp, unusedBits});
}

} // namespace vyr::bench
