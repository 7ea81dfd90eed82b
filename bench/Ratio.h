#pragma once
// Comparisons printed after Google Benchmark's table as "RATIO <name> <ours / peer>".
// Both benchmarks run in the same process, so the ratio survives a noisy machine better
// than either time alone. Lower is better.
#include <string>
#include <vector>

namespace qvbench {

struct RatioSpec {
  std::string name;   // e.g. "blend_over_vs_pixman"
  std::string ours;   // benchmark name of our side, as Google Benchmark reports it
  std::string peer;   // benchmark name of the peer
};

std::vector<RatioSpec>& ratioRegistry();

struct RatioRegistrar {
  RatioRegistrar(std::string name, std::string ours, std::string peer) {
    ratioRegistry().push_back({std::move(name), std::move(ours), std::move(peer)});
  }
};

}  // namespace qvbench

#define QV_RATIO_CONCAT2(a, b) a##b
#define QV_RATIO_CONCAT(a, b) QV_RATIO_CONCAT2(a, b)
// QV_RATIO(blend_over_vs_pixman, "BM_BlendOver", "BM_PixmanOver");
#define QV_RATIO(name, ours, peer) \
  static ::qvbench::RatioRegistrar QV_RATIO_CONCAT(qv_ratio_, __LINE__)(#name, ours, peer)
