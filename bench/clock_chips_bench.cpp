// The clock chips over the real I2C path of the simulated machine: an
// I2cViaFsiHwa engine with the redundancy chip (ics872sxx at 0xB0: the
// CrcHwdIcs872Sxx driver and a Crc with its two output groups, outputs 0..7
// on, 8 off) and the PLL (ics842s02 at 0xD4: the PllHwdIcs842S02 driver) on
// its port, at 100 kHz.
//
// For each operation the counters give:
//   bus_us, transfers      the modelled bus time and transfers it made;
//   min_bus_us, min_transfers   the least the register map needs: each
//                          register written once, in one transfer where the
//                          registers are adjacent, read first only where
//                          bits of it must be kept (the driver knows no
//                          register's value before an operation);
//   bus_ratio              bus_us / min_bus_us;
//   cpu_per_bus            CPU time per operation / bus_us (the simulator's
//                          own work included; waits take no CPU time);
//   pause_ms               the pauses the operation must make (the PLL's
//                          spreading steps), at real time, apart from the rest.
// The least, by operation:
//   redundancy chip power-on set-up: R1, W1 (interrupt and spreading
//     support), R4 (keeps the input disables), W3..7 (outputs 0..7,
//     register 4 with output 8, the frequency check off and input 1, and the
//     two check values): 4;
//   redundancy chip mode 1: R1, W1 (bandwidth), R4, W4 (inputs and
//     selection), one interrupt reset: 5;
//   redundancy chip error-flag reset: one interrupt reset: 1;
//   PLL spreading from up 3 to down 2: the amount may only move one step at a
//     time, so each step is a write of register 3: R3 and seven writes, with
//     seven pauses of 50 ms;
//   PLL pattern one count up: W1..2: 1.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "kav/clockchips/Crc.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/clockchips/OutputControlHwrCrc.h"
#include "kav/clockchips/PllHwdIcs842S02.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clockchips/CrcTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"

namespace {

const char* const kMachine = R"(<machine name="clock-chips-bench">
  <cfam link="1" cascade="0">
    <oscillator name="a" khz="25000"/>
    <oscillator name="b" khz="25000"/>
    <oscillator name="c" khz="25000"/>
    <i2c number="5" ports="1">
      <device port="0" address="0xB0" model="ics872sxx">
        <input name="in1" oscillator="a"/>
        <input name="in2" oscillator="b"/>
        <input name="in3" oscillator="c"/>
      </device>
      <device port="0" address="0xD4" model="ics842s02">
        <input name="ref" clock="/dev/iic/L01C0E05P00:0xB0:out"/>
      </device>
    </i2c>
  </cfam>
</machine>)";
const char* const kPort = "/dev/iic/L01C0E05P00";

// Bit times of a transfer of `data` bytes at 100 kHz (10 us a bit): address,
// offset and data; a read sends the address a second time.
double busUs(bool read, unsigned data) { return ((read ? 3 : 2) + data) * 9 * 10.0; }

using cardstest::element;
using cardstest::link;
using chiptest::addLink;


struct Bench {
  KavPtr<Container> container;
  KavPtr<I2cViaFsiHwa> engine;
  KavPtr<CrcHwdIcs872Sxx> chip;
  KavPtr<Crc> crc;
  KavPtr<PllHwdIcs842S02> pll;

  Bench() {
    cardstest::startServices();
    ravosim::setStateDir("/tmp/quib-bench-state-" + std::to_string(getpid()));
    if (!ravosim::loadMachineText(kMachine, "clock-chips-bench").ok) std::abort();
    ravosim::setTransactionLog(false);
    container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    engine = KavPtr<I2cViaFsiHwa>(new I2cViaFsiHwa(FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_I2C, 0), 1, 1, 0, 5)));
    link(container.getRawPointer(), engine.getRawPointer());
    if (engine->init(initSequence::INIT_OPEN_ENGINES) != 0) std::abort();

    chip = KavPtr<CrcHwdIcs872Sxx>(new CrcHwdIcs872Sxx());
    std::unique_ptr<BinaryReaderNode> node(crctest::chipElement("0", "9", "ALWAYS_SUPPLIED"));
    chip->setAttributes(AttributeInfo(nullptr, node.get(), nullptr));
    link(container.getRawPointer(), chip.getRawPointer());
    addLink<I2cHwaInterfaceLink>(chip.getRawPointer(), engine->getInstanceId(), container);
    if (chip->init(initSequence::INIT_LINK_TREE_ELEMENTS) != 0) std::abort();

    crc = KavPtr<Crc>(new Crc());
    std::unique_ptr<BinaryReaderNode> crcNode(
        element("Crc", {{get_string_by_id(kav::sid::CRC_BANDWIDTH_MODE_1), "2"}}));
    crc->setAttributes(AttributeInfo(nullptr, crcNode.get(), nullptr));
    link(container.getRawPointer(), crc.getRawPointer());
    addLink<CrcHwdInterfaceLink>(crc.getRawPointer(), chip->getInstanceId(), container);
    const char* groups[2][2] = {{"OutputsOnAtPowerOn", "0xFF"}, {"OutputsOffAtPowerOn", "0x100"}};
    for (const auto& g : groups) {
      KavPtr<OutputControlHwrCrc> output(new OutputControlHwrCrc());
      std::unique_ptr<BinaryReaderNode> outputNode(
          element("OutputControlHwrCrc", {{get_string_by_id(kav::sid::INSTANCE_NAME), g[0]},
                                          {get_string_by_id(kav::sid::OUTPUT_MASK), g[1]}}));
      output->setAttributes(AttributeInfo(nullptr, outputNode.get(), nullptr));
      output->setHidden(true);
      link(crc.getRawPointer(), output.getRawPointer());
      addLink<CrcHwdInterfaceLink>(output.getRawPointer(), chip->getInstanceId(), container);
      output->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    }
    // The master reset and the alarm lines are pins: left out here.
    crc->init(initSequence::INIT_LINK_TREE_ELEMENTS);

    pll = KavPtr<PllHwdIcs842S02>(new PllHwdIcs842S02());
    std::unique_ptr<BinaryReaderNode> pllNode(
        chiptest::chipElement("PllHwdIcs842S02", "BenchPll", "0", "ALWAYS_SUPPLIED", "0xD4"));
    pll->setAttributes(AttributeInfo(nullptr, pllNode.get(), nullptr));
    link(container.getRawPointer(), pll.getRawPointer());
    addLink<I2cHwaInterfaceLink>(pll.getRawPointer(), engine->getInstanceId(), container);
    if (pll->init(initSequence::INIT_LINK_TREE_ELEMENTS) != 0) std::abort();
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

void report(benchmark::State& state, uint64_t busNs, uint64_t transfers, double minUs, unsigned minTransfers) {
  const double ops = static_cast<double>(state.iterations());
  const double bus = static_cast<double>(busNs) / 1000.0 / ops;
  state.counters["bus_us"] = bus;
  state.counters["transfers"] = static_cast<double>(transfers) / ops;
  state.counters["min_bus_us"] = minUs;
  state.counters["min_transfers"] = minTransfers;
  state.counters["bus_ratio"] = bus / minUs;
  // CPU seconds of the run over its bus seconds (bus seconds per operation
  // times iterations, over CPU seconds, inverted).
  state.counters["cpu_per_bus"] =
      benchmark::Counter(bus / 1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs op per iteration, prepare (untimed, its bus use not counted) before
// each.
template <class Op, class Prepare>
void run(benchmark::State& state, Op op, Prepare prepare, double minUs, unsigned minTransfers) {
  Bench& b = bench();
  uint64_t busNs = 0;
  uint64_t transfers = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (prepare(b) != 0) {
      state.SkipWithError("preparation failed");
      break;
    }
    const uint64_t ns = ravosim::busTimeNs(kPort);
    const uint64_t count = ravosim::busTransfers(kPort);
    state.ResumeTiming();
    const ErrorData rc = op(b);
    state.PauseTiming();
    busNs += ravosim::busTimeNs(kPort) - ns;
    transfers += ravosim::busTransfers(kPort) - count;
    state.ResumeTiming();
    if (rc != 0) {
      state.SkipWithError("operation failed");
      break;
    }
  }
  report(state, busNs, transfers, minUs, minTransfers);
}

template <class Op>
void run(benchmark::State& state, Op op, double minUs, unsigned minTransfers) {
  run(state, op, [](Bench&) { return ErrorData(); }, minUs, minTransfers);
}

// The registers a set-up leaves; false (and the benchmark marked failed)
// when a transfer of it failed.
bool setUpDone(benchmark::State& state) {
  const struct {
    unsigned reg;
    uint8_t value;
  } expected[] = {{1, 0xC0}, {3, 0xFF}, {4, 0x00}, {5, 0x00}, {6, 0x00}, {7, 0x00}};
  for (const auto& e : expected) {
    uint8_t value = 0;
    if (!ravosim::peekI2cRegister(kPort, 0xB0, e.reg, value) || value != e.value) {
      state.SkipWithError("the set-up did not leave its registers");
      return false;
    }
  }
  return true;
}

void BM_PowerOnSetup(benchmark::State& state) {
  run(state, [](Bench& b) {
    // Without the reset line the set-up reports it missing (0x7000) and
    // keeps that first error; the chip's part runs in full, and what it left
    // is checked after the run.
    const ErrorData rc = b.crc->performPowerOnSetup();
    return rc == 0x7000u ? ErrorData() : rc;
  }, busUs(true, 1) + busUs(false, 1) + busUs(true, 1) + busUs(false, 5), 4);
  setUpDone(state);
}

void BM_WriteMode1(benchmark::State& state) {
  run(state, [](Bench& b) { return b.crc->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY); },
      busUs(true, 1) + busUs(false, 1) + busUs(true, 1) + busUs(false, 1) + busUs(false, 2), 5);
}

void BM_ResetErrorFlags(benchmark::State& state) {
  run(state, [](Bench& b) { return b.chip->resetAllErrorFlags(); }, busUs(false, 2), 1);
}

void BM_PllSpreadingUp3ToDown2(benchmark::State& state) {
  run(state, [](Bench& b) { return b.pll->writeSpreadingMode(kavosc::SPREADING_DOWN, 2); },
      [](Bench& b) { return b.pll->writeSpreadingMode(kavosc::SPREADING_UP, 3); },
      busUs(true, 1) + 7 * busUs(false, 1), 8);
  state.counters["pause_ms"] = 7.0 * PllHwdIcs842S02::kSpreadingStepMs;
}

void BM_PllPatternOneCount(benchmark::State& state) {
  unsigned pattern = 0x0A80;
  run(state, [&](Bench& b) {
    pattern ^= 1u;  // one count up, then down again
    return b.pll->writePattern(pattern);
  }, busUs(false, 2), 1);
}

BENCHMARK(BM_PowerOnSetup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteMode1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResetErrorFlags)->Unit(benchmark::kMicrosecond);
// Each change waits seven steps of 50 ms: a few iterations are enough.
BENCHMARK(BM_PllSpreadingUp3ToDown2)->Unit(benchmark::kMicrosecond)->Iterations(4);
BENCHMARK(BM_PllPatternOneCount)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The test support this program shares points the configuration at
  // $QUIB_BUILD_DIR/config, or ./config without it: here it is the build's.
  if (std::getenv("QUIB_BUILD_DIR") == nullptr) setenv("FACADEXMLPATH", QUIB_BENCH_CONFIG_DIR, 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
