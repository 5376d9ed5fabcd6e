// Whole frames through VyrFrame: 4096 x 3000 on 1 and 2 threads, and 1920 x 1080 on 1 thread (the
// frames the Python script times vyrutility.convert on). Ends with the speed-up of 2 threads over 1.
// Repetitions run interleaved in random order, so a busy moment of the machine spreads over all of
// them; the figures are medians.
//   vyr_bench_frame [--benchmark_repetitions=N] [--benchmark_filter=HSV]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "VyrFrame.h"

namespace {

struct Job {
    const char* name;
    uint32_t from, to;
    uint32_t method; // Bayer sources
};

const Job kJobs[] = {
    {"Bayer8toRGB8888_malvar", VYR_FRAME_BAYER8, VYR_FRAME_RGB8888, VYR_FRAME_METHOD_MALVAR},
    {"Bayer8toRGB8888_2x2", VYR_FRAME_BAYER8, VYR_FRAME_RGB8888, VYR_FRAME_METHOD_2X2},
    {"RGB8888toHSV", VYR_FRAME_RGB8888, VYR_FRAME_HSV, 0},
    {"RGB8888toLAB", VYR_FRAME_RGB8888, VYR_FRAME_LAB, 0},
    {"YUY2toRGB8888", VYR_FRAME_YUY2, VYR_FRAME_RGB8888, 0},
    {"RGB8888toMONO8", VYR_FRAME_RGB8888, VYR_FRAME_MONO8, 0},
    {"MONO8toRGB8888", VYR_FRAME_MONO8, VYR_FRAME_RGB8888, 0},
    // Packed camera samples unpacked, beside a memcpy of the unpacked frame.
    {"MONO10ptoMONO16", VYR_FRAME_MONO10P, VYR_FRAME_MONO16, 0},
    {"MONO12ptoMONO16", VYR_FRAME_MONO12P, VYR_FRAME_MONO16, 0},
    {"MONO12PackedtoMONO16", VYR_FRAME_MONO12PACKED, VYR_FRAME_MONO16, 0},
    {"Bayer12ptoRGB8888_2x2", VYR_FRAME_BAYER12P, VYR_FRAME_RGB8888, VYR_FRAME_METHOD_2X2},
};

constexpr const char* kUnpackJobs[] = {"MONO10ptoMONO16", "MONO12ptoMONO16", "MONO12PackedtoMONO16"};

// The bytes of a 16-bit frame copied: what an unpacking is measured against.
void copyFrame(benchmark::State& state, uint32_t width, uint32_t height)
{
    const size_t size = 2 * size_t(width) * height;
    std::vector<uint8_t> src(size, 1), dst(size);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

// A frame of the format, packed lines, filled with noise (a camera's frame compresses no better).
struct Frame {
    std::vector<uint8_t> bytes;
    VyrFrameImage image;

    Frame(uint32_t format, uint32_t width, uint32_t height)
    {
        const size_t line = VyrFrameLineBytes(format, width);
        const uint32_t planes = VyrFrameGetFormat(format)->planes;
        bytes.resize(line * height * planes);
        std::mt19937 random(format);
        for (uint8_t& b : bytes)
            b = uint8_t(random());
        image = {format, width, height, ptrdiff_t(line), {}};
        for (uint32_t k = 0; k < planes; ++k)
            image.planes[k] = bytes.data() + line * height * k;
    }
};

void convertFrames(benchmark::State& state, const Job& job, uint32_t width, uint32_t height, uint32_t threads)
{
    const Frame src(job.from, width, height);
    Frame dst(job.to, width, height);
    const VyrFrameOptions options = {0, job.method ? uint32_t(VYR_FRAME_PATTERN_RGGB) : 0u, job.method, 0,
                                     threads};
    for (auto _ : state) {
        if (VyrFrameConvert(&src.image, &dst.image, &options) != VYR_FRAME_OK) {
            state.SkipWithError(VyrFrameLastMessage());
            break;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * width * height);
}

// "Frame4096x3000/<job>/threads:2" and its median time, for the table at the end.
class SpeedUpReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if ((r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") ||
                (r.run_type == Run::RT_Iteration && r.repetitions <= 1))
                medians_[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        bool header = false;
        for (const Job& job : kJobs) {
            const std::string base = std::string("Frame4096x3000/") + job.name + "/threads:";
            const auto one = medians_.find(base + "1"), two = medians_.find(base + "2");
            if (one == medians_.end() || two == medians_.end())
                continue;
            if (!header) {
                std::printf("\n%-26s %12s %12s %9s\n", "4096 x 3000 (median)", "1 thread ms", "2 threads ms",
                            "speed-up");
                header = true;
            }
            std::printf("%-26s %12.2f %12.2f %8.2fx\n", job.name, one->second, two->second,
                        one->second / two->second);
        }
        const auto copy = medians_.find("Frame4096x3000/memcpy_MONO16");
        for (const char* name : kUnpackJobs) {
            const auto one = medians_.find(std::string("Frame4096x3000/") + name + "/threads:1");
            if (copy != medians_.end() && one != medians_.end()) {
                std::printf("%-26s %.2f ms, memcpy of its MONO16 frame %.2f ms: %.2f x memcpy speed\n", name,
                            one->second, copy->second, copy->second / one->second);
            }
        }
    }

private:
    std::map<std::string, double> medians_;
};

} // namespace

int main(int argc, char** argv)
{
    for (const Job& job : kJobs) {
        for (uint32_t threads : {1u, 2u}) {
            benchmark::RegisterBenchmark(
                (std::string("Frame4096x3000/") + job.name + "/threads:" + std::to_string(threads)).c_str(),
                convertFrames, job, 4096, 3000, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark((std::string("Frame1920x1080/") + job.name + "/threads:1").c_str(),
                                     convertFrames, job, 1920, 1080, 1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("Frame4096x3000/memcpy_MONO16", copyFrame, 4096, 3000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    // Interleaved repetitions unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9",
                interleave = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    if (!given) {
        args.push_back(repetitions.data());
        args.push_back(interleave.data());
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    SpeedUpReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
