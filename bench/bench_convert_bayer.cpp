// Bayer converters: one output line from two (2x2) or five (Malvar) sensor lines. The line case
// converts one 1920-pixel line from lines in cache; the frame case demosaics a 4096 x 3000 frame
// line by line. Bytes counted are the sensor lines read plus the output written (for the frame:
// the sensor frame once, since neighbouring calls share their lines), beside a memcpy moving the
// same bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "bench_support.h"
#include "convert/bayer2x2.h"
#include "convert/malvar.h"

namespace vyr::bench {
namespace {

using convert::OutputLine;

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Bytes = std::unique_ptr<uint8_t, FreeDeleter>;

Bytes pageAlignedBytes(size_t n)
{
    const size_t rounded = (n + 4095) / 4096 * 4096 + 4096;
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(4096, rounded));
    for (size_t i = 0; i < rounded; ++i)
        p[i] = static_cast<uint8_t>(i * 97 + (i >> 11)); // varied, and below 32768 as 15-bit words
    for (size_t i = 1; i < rounded; i += 2)
        p[i] &= 0x7F;
    return Bytes(p);
}

void registerMemcpyOf(size_t bytes, const std::string& size)
{
    static std::set<std::string> done;
    const std::string name = "memcpy/" + size + "/" + std::to_string(bytes);
    if (!done.insert(name).second)
        return;
    benchmark::RegisterBenchmark(name.c_str(), [bytes](benchmark::State& state) {
        Bytes src = pageAlignedBytes(bytes), dst = pageAlignedBytes(bytes);
        for (auto _ : state) {
            std::memcpy(dst.get(), src.get(), bytes);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(2 * bytes));
    });
}

// Converts one output line from lines[0 .. linesPerCall-1] (each pointing at column 0).
using SensorLineFn = std::function<void(const uint8_t* const* lines, const OutputLine& out, uint32_t width)>;

struct SensorBench {
    std::string name;
    size_t sampleBytes;
    int linesPerCall;
    size_t outputs;     // 1 packed line or 3 planes
    size_t outputBytes; // per pixel of each output
    SensorLineFn fn;
};

// Two spare columns on each side of every sensor line, for converters that read beyond the ends.
constexpr uint32_t kMargin = 2;

void registerSize(const SensorBench& b, uint32_t width, uint32_t height, const std::string& size)
{
    const size_t pitch = (width + 2 * kMargin) * b.sampleBytes;
    const uint32_t sensorLines = height + uint32_t(b.linesPerCall) - 1;
    const size_t outputBytes = size_t(width) * height * b.outputBytes;
    const size_t sensorBytesRead = size_t(width) * b.sampleBytes * (height == 1 ? b.linesPerCall : height);
    const size_t counted = sensorBytesRead + outputBytes * b.outputs;
    const size_t reference = counted / 2;
    benchmark::RegisterBenchmark(
        (b.name + "/" + size + "/memcpy=" + std::to_string(reference)).c_str(),
        [b, width, height, pitch, sensorLines, outputBytes, counted](benchmark::State& state) {
            Bytes sensor = pageAlignedBytes(pitch * sensorLines);
            Bytes outputs[3];
            for (size_t k = 0; k < b.outputs; ++k)
                outputs[k] = pageAlignedBytes(outputBytes);
            const size_t lineOut = size_t(width) * b.outputBytes;
            for (auto _ : state) {
                for (uint32_t y = 0; y < height; ++y) {
                    const uint8_t* lines[5];
                    for (int i = 0; i < b.linesPerCall; ++i)
                        lines[i] = sensor.get() + pitch * (y + uint32_t(i)) + kMargin * b.sampleBytes;
                    OutputLine out{};
                    for (size_t k = 0; k < b.outputs; ++k)
                        out.at[k] = outputs[k].get() + lineOut * y;
                    b.fn(lines, out, width);
                }
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(counted));
        });
    registerMemcpyOf(reference, size);
}

void registerSensorBench(const SensorBench& b)
{
    registerSize(b, kLinePixels, 1, "line");
    registerSize(b, 4096, kFramePixels / 4096, "frame");
}

// Every path of a 2x2 converter, averaging, over whole lines with the right-border pixel.
void register2x2(const std::string& name, const convert::Bayer2x2Paths& paths, size_t sampleBytes,
                 size_t outputs, size_t outputBytes)
{
    auto add = [&](const std::string& path, convert::Bayer2x2Fn fn) {
        registerSensorBench({name + "/" + path, sampleBytes, 2, outputs, outputBytes,
                             [fn](const uint8_t* const* lines, const OutputLine& out, uint32_t width) {
                                 fn(lines[0], lines[1], out, width, 2, 0, 1);
                             }});
    };
    for (unsigned i = convert::processorIsa(); i > convert::kPlain; --i) {
        if (paths.vector[i])
            add(convert::isaName(convert::Isa(i)), paths.vector[i]);
    }
    add("scalar", paths.scalar);
}

// Every path of a Malvar converter on lines inside the image, with border handling.
void registerMalvar(const std::string& name, const convert::MalvarPaths& paths, size_t sampleBytes,
                    size_t outputs, size_t outputBytes)
{
    auto add = [&](const std::string& path, convert::MalvarFn fn) {
        registerSensorBench({name + "/" + path, sampleBytes, 5, outputs, outputBytes,
                             [fn](const uint8_t* const* lines, const OutputLine& out, uint32_t width) {
                                 fn(lines, out, width, 2, 0, 1);
                             }});
    };
    for (unsigned i = convert::processorIsa(); i > convert::kPlain; --i) {
        if (paths.fast[i])
            add(convert::isaName(convert::Isa(i)), paths.fast[i]);
    }
    add("scalar", paths.scalar);
}

const bool registered = [] {
    register2x2("Bayer8_2x2toRGB8888", convert::kBayer8_2x2ToRgb8888, 1, 1, 4);
    register2x2("Bayer8_2x2toPlanarRGB", convert::kBayer8_2x2ToPlanar, 1, 3, 1);
    register2x2("Bayer15_2x2toPlanarRGB", convert::kBayer15_2x2ToPlanar, 2, 3, 2);
    registerMalvar("Bayer8_MalvartoRGB8888", convert::kBayer8MalvarToRgb8888, 1, 1, 4);
    registerMalvar("Bayer8_MalvartoPlanarRGB", convert::kBayer8MalvarToPlanar, 1, 3, 1);
    registerMalvar("Bayer15_MalvartoPlanarRGB", convert::kBayer15MalvarToPlanar, 2, 3, 2);
    return true;
}();

} // namespace
} // namespace vyr::bench
