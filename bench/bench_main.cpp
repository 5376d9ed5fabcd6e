// Runs the benchmarks and ends with tables: each converter's bytes per second as a ratio to the memcpy
// that moved the same bytes alternately with it (on the frame and on the line, with the kernel the
// export takes here), every path of every table the same way, and ours against each peer: pixels per
// second as measured, and on the frame each side over the memcpy beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration && r.aggregate_name != "median")
                continue;
            auto bytes = r.counters.find("bytes_per_second"), items = r.counters.find("items_per_second");
            if (bytes != r.counters.end())
                rates_[r.run_name.function_name] = bytes->second.value;
            auto copy = r.counters.find(vyr::bench::kMemcpyRate);
            if (copy != r.counters.end())
                memcpyRates_[r.run_name.function_name] = copy->second.value;
            if (items != r.counters.end())
                pixels_[r.run_name.function_name] = items->second.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        using vyr::bench::Row;
        const std::vector<Row>& rows = vyr::bench::rows();
        for (bool paths : {false, true}) {
            bool header = false;
            for (const Row& r : rows) {
                if (r.path.empty() == paths || (!has(r.frame) && !has(r.line)))
                    continue;
                if (!header) {
                    std::printf("\n%-46s %-14s %7s %7s %9s %9s\n", paths ? "converter path" : "converter",
                                paths ? "" : "kernel", "frame", "line", "GB/s", "memcpy");
                    header = true;
                }
                std::printf("%-46s %-14s %7s %7s %9s %9s\n",
                            (paths ? r.converter + "/" + r.path : r.converter).c_str(),
                            paths ? "" : r.kernel.c_str(), toMemcpy(r.frame).c_str(),
                            toMemcpy(r.line).c_str(), gbs(r.frame, rates_).c_str(),
                            gbs(r.frame, memcpyRates_).c_str());
            }
        }
        // VyrUtilMemcpy: "<name>/<key>/memcpy=<n>" beside "memcpy/<key>/<n>".
        bool header = false;
        for (const auto& [name, rate] : rates_) {
            const size_t at = name.find("/memcpy=");
            if (at == std::string::npos)
                continue;
            const std::string key = name.substr(name.find('/') + 1, at - name.find('/') - 1);
            const std::string reference = "memcpy/" + key + "/" + name.substr(at + 8);
            if (!header) {
                std::printf("\n%-46s %7s\n", "copy", "ratio");
                header = true;
            }
            std::printf("%-46s %7s\n", name.substr(0, at).c_str(), ratio(name, reference).c_str());
        }
        header = false;
        for (const auto& p : vyr::bench::peerRows()) {
            if (!has(p.frame) && !has(p.line))
                continue;
            if (!header) {
                std::printf("\n%-34s %-34s %11s %11s %12s\n", "peer (pixels per second)", "ours",
                            "frame ours/", "line ours/", "frame/memcpy");
                header = true;
            }
            std::printf("%-34s %-34s %11s %11s %12s\n", p.peer.c_str(), p.ours.c_str(),
                        ratio(p.ourFrame, p.frame, pixels_).c_str(),
                        ratio(p.ourLine, p.line, pixels_).c_str(), perMemcpy(p.ourFrame, p.frame).c_str());
        }
    }

private:
    bool has(const std::string& name) const { return rates_.count(name) != 0; }
    static std::string ratio(const std::string& a, const std::string& b,
                             const std::map<std::string, double>& of)
    {
        if (!of.count(a) || !of.count(b))
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", of.at(a) / of.at(b));
        return text;
    }
    std::string ratio(const std::string& a, const std::string& b) const { return ratio(a, b, rates_); }
    // Pixels per second of a over b, each over the rate of the memcpy beside it: on the frame, where the
    // two ran minutes apart and the machine's memory bandwidth drifts by a fifth in that time (in cache a
    // peer converts a five-line Bayer image a call, whose memcpy is not the line's).
    std::string perMemcpy(const std::string& a, const std::string& b) const
    {
        if (!pixels_.count(a) || !pixels_.count(b) || !memcpyRates_.count(a) || !memcpyRates_.count(b))
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f",
                      pixels_.at(a) / memcpyRates_.at(a) / (pixels_.at(b) / memcpyRates_.at(b)));
        return text;
    }
    std::string toMemcpy(const std::string& a) const
    {
        if (!has(a) || !memcpyRates_.count(a))
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", rates_.at(a) / memcpyRates_.at(a));
        return text;
    }
    static std::string gbs(const std::string& a, const std::map<std::string, double>& of)
    {
        if (!of.count(a))
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", of.at(a) / 1e9);
        return text;
    }

    std::map<std::string, double> rates_, memcpyRates_, pixels_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
