// The speed-pattern arithmetic with the card's configured PLL converter
// (read from the compiled configuration, OscCard_20B20001.bin): no I/O, the
// cost of the conversions alone.
//   BM_CycleTimeToPattern        a cycle time to its candidate patterns
//                                (getPossibleRangesForCycleTime) and the
//                                choice the speed access makes (the current
//                                range when it fits, else the first), over
//                                a sweep of 160 ps .. 80 ns (every one
//                                reachable: the failure path, with its
//                                trace and error text, is not measured);
//   BM_PatternToFrequency        pattern bits to a pattern
//                                (initializePllSpeedPatternForPattern) and
//                                its output frequency and cycle time, over
//                                every pattern of every range;
//   BM_CounterStepUpAndDown      one steering step up and back (incSpeed,
//                                decSpeed with their window checks).
// Counter s_per_item: the time per cycle time, per pattern, per step pair.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/clock/SpeedTestSupport.h"

namespace {

const unsigned int kXtalKhz = 25000;

struct Fixture {
  KavPtr<Container> container{new Container(KavPtr<QueryBase>())};
  KavPtr<SpeedPatternConverter> pll;

  Fixture() {
    cardstest::startServices();
    const BinaryReaderNode* node = speedtest::findNode(speedtest::cardConfig(), "OscCardPllConverter");
    if (node == nullptr) std::abort();
    pll = speedtest::buildConverter(container.getRawPointer(), node);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// Seconds per item (shown with SI prefixes: 35n is 35 ns).
void perItem(benchmark::State& state, size_t itemsPerIteration) {
  const double items = static_cast<double>(state.iterations()) * static_cast<double>(itemsPerIteration);
  state.SetItemsProcessed(static_cast<int64_t>(items));
  state.counters["s_per_item"] = benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_CycleTimeToPattern(benchmark::State& state) {
  Fixture& f = fixture();
  std::vector<unsigned int> cycleTimes;
  for (unsigned int ct = 160; ct <= 80000; ct += 7) cycleTimes.push_back(ct);
  PllSpeedPattern current;
  f.pll->initializePllSpeedPatternForPattern(kXtalKhz, 0x2D55, current);
  unsigned int found = 0;
  for (auto _ : state) {
    for (unsigned int ct : cycleTimes) {
      PllSpeedPatternList candidates;
      f.pll->getPossibleRangesForCycleTime(kXtalKhz, ct, candidates);
      PllSpeedPattern chosen = candidates.getForSameRange(current);
      if (!chosen.isInit()) chosen = candidates.getFirstMatchingRange();
      found += chosen.getPllPattern() != 0;
      benchmark::DoNotOptimize(chosen);
    }
  }
  benchmark::DoNotOptimize(found);
  perItem(state, cycleTimes.size());
}
BENCHMARK(BM_CycleTimeToPattern)->Unit(benchmark::kMicrosecond);

void BM_PatternToFrequency(benchmark::State& state) {
  Fixture& f = fixture();
  std::vector<unsigned int> patterns;
  for (unsigned int m = 0; m < 8; ++m)
    for (unsigned int n = 512; n <= 0x7FF; ++n) patterns.push_back((m << 11) | n);
  uint64_t sum = 0;
  for (auto _ : state) {
    for (unsigned int bits : patterns) {
      PllSpeedPattern p;
      f.pll->initializePllSpeedPatternForPattern(kXtalKhz, bits, p);
      unsigned int frequency = 0, cycleTime = 0;
      p.getOutputFrequencyInKhz(frequency);
      p.getOutputCyletimeInPicoSeconds(cycleTime);
      sum += frequency + cycleTime;
    }
  }
  benchmark::DoNotOptimize(sum);
  perItem(state, patterns.size());
}
BENCHMARK(BM_PatternToFrequency)->Unit(benchmark::kMicrosecond);

void BM_CounterStepUpAndDown(benchmark::State& state) {
  Fixture& f = fixture();
  PllSpeedPattern p;
  f.pll->initializePllSpeedPatternForPattern(kXtalKhz, 0x2D55, p);
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.incSpeed(1).getRc());
    benchmark::DoNotOptimize(p.decSpeed(1).getRc());
  }
  perItem(state, 1);
}
BENCHMARK(BM_CounterStepUpAndDown);

}  // namespace

int main(int argc, char** argv) {
  // The test support this program shares reads the configuration from
  // $QUIB_BUILD_DIR/config: here it is the build's.
  if (std::getenv("QUIB_BUILD_DIR") == nullptr) {
    std::string dir = QUIB_BENCH_CONFIG_DIR;
    setenv("FACADEXMLPATH", dir.c_str(), 1);
    setenv("QUIB_BUILD_DIR", dir.substr(0, dir.size() - std::string("/config").size()).c_str(), 1);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
