// Runs the benchmarks and ends with a table of each converter's bytes per second as a ratio to the
// memcpy that moved the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration && r.aggregate_name != "median")
                continue;
            auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end())
                continue;
            std::string name = r.run_name.function_name;
            rates_[name] = it->second.value;
            order_.push_back(name);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-52s %12s %12s %7s\n", "converter", "GB/s", "memcpy GB/s", "ratio");
        for (const std::string& name : order_) {
            size_t at = name.find("/memcpy=");
            if (at == std::string::npos)
                continue;
            std::string size = name.substr(0, at);
            size = size.substr(size.rfind('/') + 1);
            auto ref = rates_.find("memcpy/" + size + "/" + name.substr(at + 8));
            if (ref == rates_.end())
                continue;
            std::printf("%-52s %12.2f %12.2f %7.2f\n", name.substr(0, at).c_str(), rates_[name] / 1e9,
                        ref->second / 1e9, rates_[name] / ref->second);
        }
    }

private:
    std::map<std::string, double> rates_;
    std::vector<std::string> order_;
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
