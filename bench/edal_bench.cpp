// Device access layer on the simulated machine:
// - interrupt latency, from the machine driving a pin to
//   edalDioWaitForInterrupt returning in the interrupt thread, p50 and p99,
//   next to a raw eventfd wake-up between two threads;
// - an I2C register write and read: CPU time per transfer and the bus time
//   the transfer would take on the wire at the configured speed.
#include <benchmark/benchmark.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
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

// One interrupt per iteration: arm pin 0 for high, drive it high, the
// interrupt thread returns from the wait and stamps the time.
void BM_DioInterruptLatency(benchmark::State& state) {
  loadMachine();
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
}
BENCHMARK(BM_DioInterruptLatency)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

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
  std::string msg;
  EdalHandle* h = nullptr;
  edalI2cOpen(EdalInfo(0, 0, 5), h, msg);
  const i2c::i2cInfo_s info = registerAccess(static_cast<unsigned>(state.range(0)) * 1000u);
  unsigned char byte = 0x5A;
  // Opens the port outside the measurement.
  edalI2cWrite(h, info, 0x10, &byte, 1, msg);
  ravosim::resetBusTime();
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
  const double busUs = static_cast<double>(ravosim::busTimeNs(kPort)) / 1000.0;
  state.counters["bus_us_per_op"] = busUs / static_cast<double>(state.iterations());
  edalI2cClose(h, msg);
}

void BM_I2cRegisterWrite(benchmark::State& state) { i2cBench(state, true); }
void BM_I2cRegisterRead(benchmark::State& state) { i2cBench(state, false); }
BENCHMARK(BM_I2cRegisterWrite)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_I2cRegisterRead)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
