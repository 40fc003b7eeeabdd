// The benchmarks' main: Google Benchmark's own command line and table, then the ratios between
// rows that the benchmark files registered, each from times measured in this run (the median of
// the repetitions when there are several, else the one measurement).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ratios.h"

namespace zelcnv::bench {
namespace {

struct Ratio {
  std::string label, numerator, denominator;
};

std::vector<Ratio>& Ratios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

// The console table as usual, keeping each row's real time per iteration in seconds.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = run.run_name.str();
      if (!median && medians_.count(name) != 0) continue;
      if (median) medians_.insert(name);
      seconds_[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }

  void PrintRatios() const {
    bool header = false;
    for (const Ratio& r : Ratios()) {
      const auto a = seconds_.find(r.numerator), b = seconds_.find(r.denominator);
      if (a == seconds_.end() || b == seconds_.end() || b->second <= 0) continue;
      if (!header) {
        std::printf("\n%-58s %8s  %s\n", "Ratio (this run)", "", "numerator / denominator");
        header = true;
      }
      std::printf("%-58s %7.2fx  %.1f us / %.1f us\n", r.label.c_str(), a->second / b->second,
                  a->second * 1e6, b->second * 1e6);
    }
  }

 private:
  std::map<std::string, double> seconds_;
  std::set<std::string> medians_;
};

}  // namespace

void AddRatio(std::string label, std::string numerator, std::string denominator) {
  Ratios().push_back({std::move(label), std::move(numerator), std::move(denominator)});
}

}  // namespace zelcnv::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zelcnv::bench::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
