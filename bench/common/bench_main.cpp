// Runs every registered benchmark and prints its figures, one `name value` line each.
// A benchmark reports its figures as user counters; the counter's name is the figure's name
// (for example "fill_data_ms N=16381").
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <cstdio>

namespace {
class FigureReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::printf("%s error: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
                continue;
            }
            for (const auto& [name, counter] : run.counters)
                std::printf("%s %.6g\n", name.c_str(), static_cast<double>(counter.value));
        }
        std::fflush(stdout);
    }
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
