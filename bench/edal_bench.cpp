// Device access layer on the simulated machine:
// - interrupt latency, from the machine driving a pin to
//   edalDioWaitForInterrupt returning in the interrupt thread, p50 and p99,
//   next to a raw eventfd wake-up between two threads;
// - an I2C register write and read: CPU time per transfer and the bus time
//   the transfer would take on the wire at the configured speed.
// Both with the simulator's transaction log off (log:0) and on (log:1); a
// run with the log on reports `x_log_off`, its figure (CPU time of the
// thread per transfer, p50 latency) over the same figure without the log in
// this run.
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

#include "kav/hwaccess/edalDio.h"
#include "kav/hwaccess/edalI2c.h"
#include "ravo_sim_control.h"
#include "bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kMachine = R"(<machine name="edal-bench">
  <cfam link="0" cascade="0">
    <gpio number="8"/>
    <i2c number="5" ports="2">
      <device port="1" address="0xA0" size="256"/>
    </i2c>
  </cfam>
</machine>)";

const char* const kGpio = "/dev/gpio/L00C0E08";
const char* const kPort = "/dev/iic/L00C0E05P01";

void loadMachine() { benchsupport::loadMachine(kMachine, "edal-bench"); }

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

// One interrupt per iteration: arm pin 0 for high, drive it high, the
// interrupt thread returns from the wait and stamps the time.
void BM_DioInterruptLatency(benchmark::State& state) {
  loadMachine();
  const bool log = state.range(0) != 0;
  LogSwitch logSwitch(log);
  std::string msg;
  EdalHandle* h = nullptr;
  if (edalDioOpen(EdalInfo(0, 0, 8), h, msg) != 0) {
    state.SkipWithError(msg.c_str());
    return;
  }
  edalDioSetMode(h, 0x80000000u, edalDio::DIO_MODE_INPUT, msg);
  benchsupport::RawInterruptWaiter waiter;
  std::vector<double> us;
  uint64_t seen = 0;
  for (auto _ : state) {
    ravosim::setInputLevel(kGpio, 0, false);
    edalDioEnableInterrupt(h, 0x80000000u, 0x80000000u, 0x93000000u, msg);
    const Clock::time_point t0 = Clock::now();
    ravosim::setInputLevel(kGpio, 0, true);
    while (waiter.fired() == seen) {
    }
    ++seen;
    // The condition latched when the request fired; the pin fires again
    // only after it is reset.
    edalDioResetInterruptCondition(h, 0x80000000u, msg);
    const double d = std::chrono::duration<double, std::micro>(
                         Clock::time_point(Clock::duration(waiter.stamp().load(std::memory_order_relaxed))) - t0)
                         .count();
    us.push_back(d);
    state.SetIterationTime(d / 1e6);
  }
  edalDioClose(h, msg);
  reportPercentiles(state, us);
  if (!us.empty()) reportLogRatio(state, "irq", log, us[us.size() / 2]);
}
BENCHMARK(BM_DioInterruptLatency)
    ->ArgName("log")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

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

i2c::i2cInfo_s registerAccess(unsigned speedHz) {
  i2c::i2cInfo_s i;
  i.transferMode = 1;
  i.port = 1;
  i.deviceAddress = 0xA0;
  i.speed = speedHz;
  i.offsetWidth = 1;
  i.timeout = 100;
  return i;
}

void i2cBench(benchmark::State& state, bool write) {
  loadMachine();
  const bool log = state.range(1) != 0;
  LogSwitch logSwitch(log);
  std::string msg;
  EdalHandle* h = nullptr;
  edalI2cOpen(EdalInfo(0, 0, 5), h, msg);
  const i2c::i2cInfo_s info = registerAccess(static_cast<unsigned>(state.range(0)) * 1000u);
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
  reportLogRatio(state, std::string(write ? "write" : "read") + std::to_string(state.range(0)), log, nsPerOp);
  const double busUs = static_cast<double>(ravosim::busTimeNs(kPort)) / 1000.0;
  state.counters["bus_us_per_op"] = busUs / static_cast<double>(state.iterations());
  edalI2cClose(h, msg);
}

void BM_I2cRegisterWrite(benchmark::State& state) { i2cBench(state, true); }
void BM_I2cRegisterRead(benchmark::State& state) { i2cBench(state, false); }
// Speed in kHz, transaction log off / on.
BENCHMARK(BM_I2cRegisterWrite)->ArgNames({"kHz", "log"})->ArgsProduct({{100, 400}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_I2cRegisterRead)->ArgNames({"kHz", "log"})->ArgsProduct({{100, 400}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
