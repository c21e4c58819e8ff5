// A speed change on one clock domain: the library started on the default
// simulated machine with card 0 activated, its clock domain writing a PLL
// pattern one feedback count away from the one it runs (up and down in
// turn), through the speed access, the pattern access, the card's state
// table (scratchpad) and the PLL on I2C at 100 kHz.
//
// Counters per speed change:
//   bus_us, transfers      modelled I2C bus time and transfers of the PLL's
//                          port;
//   min_bus_us, min_transfers   the least the chip needs: registers 1..2
//                          written in one transfer (address, offset, two
//                          bytes: 36 bit times);
//   bus_ratio              bus_us / min_bus_us;
//   cpu_per_bus            CPU time per change / bus_us (the simulator's
//                          work included).
// The speed access also reads the PLL's spreading register before it
// writes (whether the chip spreads), one read of 4 + 1 bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kav/cards/PowerControl.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"

namespace {

const char* const kPort = "/dev/iic/L01C0E05P00";

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "clock_domain_bench: %s\n", what);
  std::abort();
}

struct Library {
  KavPtr<ClockDomain> domain;
  PllSpeedPattern base;
  Library() {
    // The test helpers set these from the environment when the program is
    // loaded; a benchmark has the paths of its build.
    setenv("FACADEXMLPATH", QUIB_BUILD_DIR "/config", 1);
    setenv("FACADEFILELIST", "FileList.bin", 1);
    setenv("RAVO_SIM_MACHINE", QUIB_SOURCE_DIR "/config/machine/default.xml", 1);
    setenv("QUIB_TIME_SCALE", "0.1", 0);
    if (kav::start(kav::PHE_Domain, true) != 0) fail("kav::start failed");
    kav::send_card_plug(e2e::kCard0, kav::e_Plugged_Functional);
    kav::send_card_plug(e2e::kCard1, kav::e_Plugged_Functional);
    if (!e2e::waitFor([] { return e2e::configured(e2e::kCard0) && e2e::configured(e2e::kCard1); }))
      fail("cards not configured");
    KavPtr<PowerControl> card = e2e::findObject<PowerControl>(e2e::kAnyName, e2e::kCard0);
    if (card == nullptr || card->activate(false) != 0) fail("card 0 not activated");
    domain = e2e::findObject<ClockDomain>(e2e::kAnyName, e2e::kCard0);
    if (domain == nullptr || domain->readPllSpeedPattern(base) != 0) fail("no clock domain");
    ravosim::setTransactionLog(false);
  }
};

Library& library() {
  static Library l;
  return l;
}

void BM_SpeedChangeOneCount(benchmark::State& state) {
  Library& l = library();
  PllSpeedPattern up = l.base;
  if (up.incSpeed(1) != 0) {
    state.SkipWithError("no pattern one count up");
    return;
  }
  uint64_t busNs = 0;
  uint64_t transfers = 0;
  bool odd = false;
  for (auto _ : state) {
    state.PauseTiming();
    const uint64_t ns = ravosim::busTimeNs(kPort);
    const uint64_t count = ravosim::busTransfers(kPort);
    state.ResumeTiming();
    const ErrorData rc = l.domain->writePllSpeedPattern(odd ? l.base : up);
    state.PauseTiming();
    busNs += ravosim::busTimeNs(kPort) - ns;
    transfers += ravosim::busTransfers(kPort) - count;
    state.ResumeTiming();
    odd = !odd;
    if (rc != 0) {
      state.SkipWithError("speed change failed");
      break;
    }
  }
  const double ops = static_cast<double>(state.iterations());
  const double bus = static_cast<double>(busNs) / 1000.0 / ops;
  const double minUs = (2 + 2) * 9 * 10.0;
  state.counters["bus_us"] = bus;
  state.counters["transfers"] = static_cast<double>(transfers) / ops;
  state.counters["min_bus_us"] = minUs;
  state.counters["min_transfers"] = 1;
  state.counters["bus_ratio"] = bus / minUs;
  state.counters["cpu_per_bus"] =
      benchmark::Counter(bus / 1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  l.domain->writePllSpeedPattern(l.base);
}
BENCHMARK(BM_SpeedChangeOneCount)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
