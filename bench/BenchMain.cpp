// qvbench: Google Benchmark's runner, then one RATIO line per registered comparison.
#include "Ratio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

namespace qvbench {

std::vector<RatioSpec>& ratioRegistry() {
  static std::vector<RatioSpec> specs;
  return specs;
}

namespace {

// Keeps the console table and remembers each run's time per iteration. With repetitions the
// median aggregate wins over the individual runs.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times;
  std::map<std::string, bool> fromMedian;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const std::string base = r.run_name.str();
      const double t = r.GetAdjustedRealTime();
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name == "median") {
          times[base] = t;
          fromMedian[base] = true;
        }
      } else if (!fromMedian[base]) {
        times[base] = t;
      }
    }
  }
};

}  // namespace
}  // namespace qvbench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qvbench::CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  for (const auto& spec : qvbench::ratioRegistry()) {
    auto ours = reporter.times.find(spec.ours);
    auto peer = reporter.times.find(spec.peer);
    if (ours == reporter.times.end() || peer == reporter.times.end() || peer->second <= 0) continue;
    std::printf("RATIO %s %.2f\n", spec.name.c_str(), ours->second / peer->second);
  }
  // The results are out; the process ends here without tearing down what the benchmarks left
  // (the editor's windows, Qt, the crawls' workers), whose statics go in no safe order at exit:
  // a crash there used to swallow the buffered RATIO lines.
  std::cout.flush();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(0);
}
