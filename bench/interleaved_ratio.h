// The ratio of a path's time to its baseline's, steady on a busy machine: the two take turns,
// round by round, so that both see the machine alike, and the median of the rounds' own ratios is
// answered, so that a round disturbed by other work moves it little.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

struct InterleavedRatio {
  double median = 0;  // of the rounds' ratios
  // The median run of each side, in the unit the sides answer.
  double pathTime = 0;
  double baselineTime = 0;
  // The fastest run of the path over the fastest of the baseline: for latencies, whose rounds a
  // busy machine only ever slows.
  double minimumRatio = 0;
};

// Each side answers the time of one run of its work (set-up excluded), both in one unit.
inline InterleavedRatio interleavedRatio(int rounds, const std::function<double()>& path,
                                         const std::function<double()>& baseline) {
  auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
  };
  std::vector<double> paths, baselines, ratios;
  for (int round = 0; round < rounds; ++round) {
    // Alternating which side goes first keeps a slow start or end of a round off one side.
    double path_seconds, baseline_seconds;
    if (round % 2 == 0) {
      path_seconds = path();
      baseline_seconds = baseline();
    } else {
      baseline_seconds = baseline();
      path_seconds = path();
    }
    paths.push_back(path_seconds);
    baselines.push_back(baseline_seconds);
    if (baseline_seconds > 0) ratios.push_back(path_seconds / baseline_seconds);
  }
  const double fastest_path = paths.empty() ? 0.0 : *std::min_element(paths.begin(), paths.end());
  const double fastest_baseline =
      baselines.empty() ? 0.0 : *std::min_element(baselines.begin(), baselines.end());
  return {median(ratios), median(paths), median(baselines),
          fastest_baseline > 0 ? fastest_path / fastest_baseline : 0.0};
}

}  // namespace bench
