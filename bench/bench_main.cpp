// SPDX-License-Identifier: MIT
// tarnel-bench: registers the benchmarks, runs them, and works out the set-up
// cost of a small seal from two results of the same run.
#include <cstdio>
#include <map>
#include <string>

#include "bench_support.h"
#include "cipher_path.h"

namespace {

// The console report, remembering each result's real time in nanoseconds.
class TimesReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions, the median stands for the benchmark.
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && !run.error_occurred) {
                m_nanoseconds[run.run_name.function_name] =
                    run.GetAdjustedRealTime() * 1e9 /
                    benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seal 1 KiB (33 blocks with the padding block) less 33 times one block with
    // its hex, on the path a seal takes: what a seal costs beyond its blocks.
    void print_setup_cost() const {
        const std::string block =
            std::string("BM_OneBlockWithHex/") + tarnel::cipher_path_name(tarnel::cipher_path());
        const auto seal = m_nanoseconds.find("BM_Seal/1KiB/tarnel-one-cpu");
        const auto one = m_nanoseconds.find(block);
        if (seal == m_nanoseconds.end() || one == m_nanoseconds.end())
            return;
        std::printf("set-up cost of a 1 KiB seal: %.0f ns (%.0f ns less 33 x %.1f ns for %s)\n",
                    seal->second - 33 * one->second, seal->second, one->second, block.c_str());
    }

  private:
    std::map<std::string, double> m_nanoseconds;
};

}  // namespace

int main(int argc, char** argv) {
    tarnel::bench::register_cipher_benchmarks();
    tarnel::bench::register_sealing_benchmarks();
    tarnel::bench::register_text_rule_benchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_setup_cost();
    benchmark::Shutdown();
    return 0;
}
