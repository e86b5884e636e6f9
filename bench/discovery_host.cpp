// Discovery on the host layer over growing printer lists in which only the
// last printer is supported: FindSupportedPrinter beside the plain walk of
// bare_find.h, repetitions interleaved at random, medians of CPU time
// reported with the time per printer and the growth from one size to the next.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bare_find.h"
#include "host.h"
#include "keys.h"
#include "registry_ops.h"

namespace {

// The host layer records every call; past this many records the registry is
// built afresh, outside the timing, so that the record does not eat memory.
const size_t RECORD_LIMIT = 100000;

void Seed(int printers)
{
    char name[32];

    host::Reset();
    for (int i = 0; i < printers - 1; i++) {
        std::snprintf(name, sizeof name, "Printer %05d", i);
        host::SetValue(std::string(PRINTER_LIST_KEY) + "\\" + name, PRINTER_DRIVER_VALUE, 1,
                       std::string("Generic / Text Only") + '\0');
    }
    // Sorts after every "Printer NNNNN"; the table's last row, so that every
    // other printer is compared with all of it.
    host::SetValue(std::string(PRINTER_LIST_KEY) + "\\Zandor last", PRINTER_DRIVER_VALUE, 1,
                   std::string("TX 414") + '\0');
}

void Walk(benchmark::State &state, int (*find)(char *))
{
    int printers = (int)state.range(0);
    char name[PRINTER_NAME_SIZE];

    Seed(printers);
    if (find(name) != 1 || std::string(name) != "Zandor last") {
        state.SkipWithError("the walk missed the supported printer");
        return;
    }
    for (auto _ : state) {
        if (host::RegCalls().size() > RECORD_LIMIT) {
            state.PauseTiming();
            Seed(printers);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(find(name));
    }
    state.SetComplexityN(printers);
}

void Product(benchmark::State &state)
{
    Walk(state, FindSupportedPrinter);
}

void Bare(benchmark::State &state)
{
    Walk(state, BareFind);
}

// Keeps the medians and the fitted growth; prints nothing itself.
class Collector : public benchmark::BenchmarkReporter {
public:
    std::map<std::string, std::map<long, double>> medians;  // family -> printers -> seconds
    std::map<std::string, std::string> fits;

    bool ReportContext(const Context &) override { return true; }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            std::string family = run.run_name.function_name;
            if (run.error_occurred) {
                std::printf("  %s: %s\n", family.c_str(), run.error_message.c_str());
            } else if (run.report_big_o) {
                fits[family] = Name(run.complexity);
            } else if (run.aggregate_name == "median") {
                long printers = std::stol(run.run_name.args);
                // CPU time: the whole walk runs in this process, and other
                // work on a busy machine then shifts it far less than the clock.
                medians[family][printers] = run.GetAdjustedCPUTime() / Scale(run.time_unit);
            }
        }
    }

private:
    static const char *Name(benchmark::BigO complexity)
    {
        // clang-format off
        switch (complexity) {
        case benchmark::o1: return "1";
        case benchmark::oN: return "N";
        case benchmark::oNSquared: return "N^2";
        case benchmark::oNCubed: return "N^3";
        case benchmark::oLogN: return "log N";
        case benchmark::oNLogN: return "N log N";
        default: return "?";
        }
        // clang-format on
    }

    static double Scale(benchmark::TimeUnit unit)
    {
        // clang-format off
        switch (unit) {
        case benchmark::kNanosecond: return 1e9;
        case benchmark::kMicrosecond: return 1e6;
        case benchmark::kMillisecond: return 1e3;
        default: return 1;
        }
        // clang-format on
    }
};

}  // namespace

int main(int argc, char **argv)
{
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave);
    int count = (int)args.size();
    benchmark::Initialize(&count, args.data());

    for (auto family : { std::make_pair("FindSupportedPrinter", Product), std::make_pair("bare walk", Bare) }) {
        benchmark::RegisterBenchmark(family.first, family.second)
            ->RangeMultiplier(10)
            ->Range(10, 10000)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true)
            ->Complexity(benchmark::oAuto)
            ->Unit(benchmark::kMicrosecond);
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    const auto &product = collector.medians["FindSupportedPrinter"];
    const auto &bare = collector.medians["bare walk"];
    std::printf("  %-9s %14s %14s %8s %14s %7s\n", "printers", "product/call", "bare/call", "ratio", "per printer",
                "x10 N");
    double previous = 0;
    for (const auto &size : product) {
        auto b = bare.find(size.first);
        double p = size.second;
        char growth[16] = "";
        if (previous > 0)
            std::snprintf(growth, sizeof growth, "x%.1f", p / previous);
        std::printf("  %-9ld %11.1f us %11.1f us %8.3f %11.2f us %7s\n", size.first, p * 1e6,
                    b == bare.end() ? NAN : b->second * 1e6, b == bare.end() ? NAN : p / b->second,
                    p * 1e6 / size.first, growth);
        previous = p;
    }
    if (product.count(100) && product.count(10000)) {
        double spread = (product.at(10000) / 10000) / (product.at(100) / 100);
        std::printf("  time per printer at 10000 / at 100: %.2f, %s   goal: linear (about 1.00)\n", spread,
                    spread < 0.67   ? "less than linear"
                    : spread <= 1.5 ? "linear   ok"
                                    : "MORE THAN LINEAR");
    }
    std::printf("  best fit by Google Benchmark: FindSupportedPrinter O(%s), bare walk O(%s)\n",
                collector.fits["FindSupportedPrinter"].c_str(), collector.fits["bare walk"].c_str());
    return 0;
}
