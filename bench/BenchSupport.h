// Helpers shared by the benchmark programs.
#ifndef QUIB_BENCH_BENCHSUPPORT_H
#define QUIB_BENCH_BENCHSUPPORT_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ravo_sim_control.h"

namespace benchsupport {

// Loads the simulated machine description once per process; a description
// that does not load ends the program.
inline void loadMachine(const char* text, const char* name) {
  static bool loaded = false;
  if (loaded) return;
  if (!ravosim::loadMachineText(text, name).ok) std::abort();
  loaded = true;
}

// p50, p99 and maximum of the samples (microseconds) as counters.
inline void reportPercentiles(benchmark::State& state, std::vector<double>& us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  state.counters["max_us"] = us.back();
}

}  // namespace benchsupport

#endif
