// VyrUtilMemcpy beside the C library's memcpy on the same buffers, aligned and with the source 4
// bytes off, from in-cache to out-of-cache sizes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "VyrUtility.h"

namespace {

struct Buffers {
    uint8_t* src;
    uint8_t* dst;
    explicit Buffers(size_t bytes)
    {
        const size_t rounded = (bytes + 64 + 4095) / 4096 * 4096;
        src = static_cast<uint8_t*>(std::aligned_alloc(4096, rounded));
        dst = static_cast<uint8_t*>(std::aligned_alloc(4096, rounded));
        for (size_t i = 0; i < rounded; ++i)
            src[i] = dst[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    }
    ~Buffers()
    {
        std::free(src);
        std::free(dst);
    }
};

template <bool Ours>
void copyBench(benchmark::State& state, size_t bytes, size_t srcOffset)
{
    Buffers b(bytes);
    for (auto _ : state) {
        if (Ours)
            VyrUtilMemcpy(b.dst, b.src + srcOffset, static_cast<uint32_t>(bytes), 0);
        else
            std::memcpy(b.dst, b.src + srcOffset, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(2 * bytes));
}

const bool registered = [] {
    const std::pair<size_t, const char*> sizes[] = {
        {4u << 10, "4KiB"}, {256u << 10, "256KiB"}, {4u << 20, "4MiB"}, {64u << 20, "64MiB"}};
    for (const auto& size : sizes) {
        const size_t bytes = size.first; // named, not bound: lambdas cannot capture bindings in C++17
        const char* label = size.second;
        for (size_t offset : {0, 4}) {
            // "<name>/<key>/memcpy=<n>" pairs with "memcpy/<key>/<n>" in the ratio table.
            const std::string key = std::string(label) + (offset ? "+4" : "");
            const std::string n = std::to_string(bytes);
            benchmark::RegisterBenchmark(
                ("VyrUtilMemcpy/" + key + "/memcpy=" + n).c_str(),
                [bytes, offset](benchmark::State& s) { copyBench<true>(s, bytes, offset); });
            benchmark::RegisterBenchmark(
                ("memcpy/" + key + "/" + n).c_str(),
                [bytes, offset](benchmark::State& s) { copyBench<false>(s, bytes, offset); });
        }
    }
    return true;
}();

} // namespace
