// Device access layer on the simulated machine:
// - interrupt latency, from the machine driving a pin to
//   edalDioWaitForInterrupt returning in the interrupt thread, p50 and p99,
//   next to a raw eventfd wake-up between two threads;
// - the same from a device output: an oscillator fails, the chip model
//   pulls its alert line low, the pin wired to it raises the interrupt;
// - an I2C register write and read: CPU time per transfer and the bus time
//   the transfer would take on the wire at the configured speed, on a
//   register file and on a chip model with a write behaviour and an output.
// With the simulator's transaction log off (log:0) and on (log:1); a run
// with the log on reports `x_log_off`, its figure (CPU time of the thread
// per transfer, p50 latency) over the same figure without the log in this
// run.
#include <benchmark/benchmark.h>

#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "kav/hwaccess/edal/edalDio.h"
#include "kav/hwaccess/edal/edalI2c.h"
#include "platform/sim/SimDeviceModel.h"
#include "ravo_sim_control.h"
#include "bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// A chip with one clock input and an active-low alert: low while the clock
// is lost or while bit 0 of register 0x10 is set (written by the master).
class BenchAlert : public ravosim::DeviceModel {
 public:
  BenchAlert() : DeviceModel("bench-alert", 0x20) {
    fillWithRegisters();
    m_clk = addClockInput("clk");
    addOutput("alert", [this] { return clock(m_clk).running() && !(reg(0x11) & 1); }, true);
  }

 protected:
  void onWrite(uint32_t offset, uint32_t) override {
    if (offset == 0x10) setReg(0x11, reg(0x10) & 1);
  }

 private:
  unsigned m_clk = 0;
};

const bool registered = ravosim::registerDeviceModel(
    "bench-alert", [](ravosim::ModelArgs&) -> std::unique_ptr<ravosim::DeviceModel> {
      return std::make_unique<BenchAlert>();
    });

const char* const kMachine = R"(<machine name="edal-bench">
  <cfam link="0" cascade="0">
    <oscillator name="bench-osc" khz="25000"/>
    <gpio number="8">
      <pin n="1" wire="/dev/iic/L00C0E05P01:0x60:alert"/>
    </gpio>
    <i2c number="5" ports="2">
      <device port="1" address="0xA0" size="256"/>
      <device port="1" address="0x60" model="bench-alert">
        <input name="clk" oscillator="bench-osc"/>
      </device>
    </i2c>
  </cfam>
</machine>)";

const char* const kGpio = "/dev/gpio/L00C0E08";
const char* const kPort = "/dev/iic/L00C0E05P01";

void loadMachine() {
  if (!registered) std::abort();
  benchsupport::loadMachine(kMachine, "edal-bench");
}

using benchsupport::reportPercentiles;

double threadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Switches the simulator's transaction log for one benchmark run.
class LogSwitch {
 public:
  explicit LogSwitch(bool on) { ravosim::setTransactionLog(on); }
  ~LogSwitch() { ravosim::setTransactionLog(true); }
  LogSwitch(const LogSwitch&) = delete;
  LogSwitch& operator=(const LogSwitch&) = delete;
};

// The figure of a run without the log is kept under `key`; a run with the
// log reports its own figure over that one.
void reportLogRatio(benchmark::State& state, const std::string& key, bool log, double figure) {
  static std::map<std::string, double> withoutLog;
  if (!log) {
    withoutLog[key] = figure;
    return;
  }
  auto it = withoutLog.find(key);
  if (it != withoutLog.end() && it->second > 0) state.counters["x_log_off"] = figure / it->second;
}

// One interrupt per iteration: `quiet` takes the line to its idle level,
// the pin of `mask` is armed for `polarity`, `trigger` makes the line
// active; the interrupt thread returns from the wait and stamps the time.
template <class Quiet, class Trigger>
void interruptLatency(benchmark::State& state, const char* key, uint32_t mask, uint32_t polarity, Quiet quiet,
                      Trigger trigger) {
  loadMachine();
  const bool log = state.range(0) != 0;
  LogSwitch logSwitch(log);
  std::string msg;
  EdalHandle* h = nullptr;
  if (edalDioOpen(EdalInfo(0, 0, 8), h, msg) != 0) {
    state.SkipWithError(msg.c_str());
    return;
  }
  edalDioSetMode(h, mask, edalDio::DIO_MODE_INPUT, msg);
  benchsupport::RawInterruptWaiter waiter;
  std::vector<double> us;
  uint64_t seen = 0;
  for (auto _ : state) {
    quiet();
    edalDioEnableInterrupt(h, mask, polarity, 0x93000000u, msg);
    const Clock::time_point t0 = Clock::now();
    trigger();
    while (waiter.fired() == seen) {
    }
    ++seen;
    // The condition latched when the request fired; the pin fires again
    // only after it is reset.
    edalDioResetInterruptCondition(h, mask, msg);
    const double d = std::chrono::duration<double, std::micro>(
                         Clock::time_point(Clock::duration(waiter.stamp().load(std::memory_order_relaxed))) - t0)
                         .count();
    us.push_back(d);
    state.SetIterationTime(d / 1e6);
  }
  quiet();
  edalDioClose(h, msg);
  reportPercentiles(state, us);
  if (!us.empty()) reportLogRatio(state, key, log, us[us.size() / 2]);
}

// Pin 0 driven high by the machine.
void BM_DioInterruptLatency(benchmark::State& state) {
  interruptLatency(
      state, "irq", 0x80000000u, 0x80000000u, [] { ravosim::setInputLevel(kGpio, 0, false); },
      [] { ravosim::setInputLevel(kGpio, 0, true); });
}
BENCHMARK(BM_DioInterruptLatency)->ArgName("log")->Arg(0)->Arg(1)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// From a device output: the oscillator fails, the chip pulls its alert low
// and pin 1, wired to the alert and armed for low, fires.
void BM_DeviceOutputInterruptLatency(benchmark::State& state) {
  interruptLatency(
      state, "device-irq", 0x40000000u, 0, [] { ravosim::restoreOscillator("bench-osc"); },
      [] { ravosim::failOscillator("bench-osc"); });
}
BENCHMARK(BM_DeviceOutputInterruptLatency)->ArgName("log")->Arg(0)->Arg(1)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The floor: one thread blocked in read() on an eventfd, woken by a write.
void BM_EventfdWake(benchmark::State& state) {
  const int fd = eventfd(0, 0);
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> woken{0};
  std::atomic<int64_t> stamp{0};
  std::thread sleeper([&] {
    for (;;) {
      uint64_t v = 0;
      if (read(fd, &v, sizeof v) != sizeof v) break;
      const int64_t now = Clock::now().time_since_epoch().count();
      if (stop.load()) break;
      stamp.store(now, std::memory_order_relaxed);
      woken.fetch_add(1, std::memory_order_release);
    }
  });
  std::vector<double> us;
  uint64_t seen = 0;
  for (auto _ : state) {
    // Let the sleeper block again before the next wake-up.
    std::this_thread::sleep_for(std::chrono::microseconds(20));
    const uint64_t one = 1;
    const Clock::time_point t0 = Clock::now();
    if (write(fd, &one, sizeof one) != sizeof one) break;
    while (woken.load(std::memory_order_acquire) == seen) {
    }
    ++seen;
    const double d = std::chrono::duration<double, std::micro>(
                         Clock::time_point(Clock::duration(stamp.load(std::memory_order_relaxed))) - t0)
                         .count();
    us.push_back(d);
    state.SetIterationTime(d / 1e6);
  }
  stop = true;
  const uint64_t one = 1;
  if (write(fd, &one, sizeof one) != sizeof one) std::abort();
  sleeper.join();
  close(fd);
  reportPercentiles(state, us);
}
BENCHMARK(BM_EventfdWake)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

i2c::i2cInfo_s registerAccess(unsigned speedHz, unsigned address) {
  i2c::i2cInfo_s i;
  i.transferMode = 1;
  i.port = 1;
  i.deviceAddress = address;
  i.speed = speedHz;
  i.offsetWidth = 1;
  i.timeout = 100;
  return i;
}

// `address` 0xA0: the register file; 0x60: the chip model, whose register
// 0x10 has a write behaviour and drives the alert output.
void i2cBench(benchmark::State& state, bool write, unsigned address = 0xA0) {
  loadMachine();
  const bool log = state.range(1) != 0;
  LogSwitch logSwitch(log);
  std::string msg;
  EdalHandle* h = nullptr;
  edalI2cOpen(EdalInfo(0, 0, 5), h, msg);
  const i2c::i2cInfo_s info = registerAccess(static_cast<unsigned>(state.range(0)) * 1000u, address);
  unsigned char byte = 0x5A;
  // Opens the port outside the measurement.
  edalI2cWrite(h, info, 0x10, &byte, 1, msg);
  ravosim::resetBusTime();
  // CPU time of this thread: the transfer runs in it from end to end, and
  // the figure does not move with what other processes do.
  const double cpuStart = threadCpuNs();
  for (auto _ : state) {
    unsigned rc = 0;
    if (write) {
      rc = edalI2cWrite(h, info, 0x10, &byte, 1, msg);
    } else {
      unsigned len = 1;
      rc = edalI2cRead(h, info, 0x10, &byte, len, msg);
    }
    if (rc != 0) {
      state.SkipWithError(msg.c_str());
      break;
    }
    benchmark::DoNotOptimize(byte);
  }
  const double nsPerOp = (threadCpuNs() - cpuStart) /
                         static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  reportLogRatio(state,
                 std::string(write ? "write" : "read") + std::to_string(state.range(0)) + "@" + std::to_string(address),
                 log, nsPerOp);
  const double busUs = static_cast<double>(ravosim::busTimeNs(kPort)) / 1000.0;
  state.counters["bus_us_per_op"] = busUs / static_cast<double>(state.iterations());
  edalI2cClose(h, msg);
}

void BM_I2cRegisterWrite(benchmark::State& state) { i2cBench(state, true); }
void BM_I2cRegisterRead(benchmark::State& state) { i2cBench(state, false); }
void BM_I2cModelWrite(benchmark::State& state) { i2cBench(state, true, 0x60); }
void BM_I2cModelRead(benchmark::State& state) { i2cBench(state, false, 0x60); }
// Speed in kHz, transaction log off / on.
BENCHMARK(BM_I2cRegisterWrite)->ArgNames({"kHz", "log"})->ArgsProduct({{100, 400}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_I2cRegisterRead)->ArgNames({"kHz", "log"})->ArgsProduct({{100, 400}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_I2cModelWrite)->ArgNames({"kHz", "log"})->ArgsProduct({{400}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_I2cModelRead)->ArgNames({"kHz", "log"})->ArgsProduct({{400}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
