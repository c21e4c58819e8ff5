// Digital-input interrupt latency on the simulated machine, from the machine
// driving a pin high to:
// - the DioEvent callback of a listener: interrupt thread (DioIrDispatcher),
//   DioEventSender queue, priority-0 dispatcher thread, callback;
// - edalDioWaitForInterrupt returning in a bare interrupt thread (the floor
//   of the first: no event framework).
// p50 and p99 in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "kav/events/DioEvent.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/DioIrDispatcher.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "kav/runtime/TimeoutService.h"
#include "ravo_sim_control.h"
#include "bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kMachine = R"(<machine name="dio-irq-bench">
  <cfam link="0" cascade="0">
    <gpio number="8"/>
  </cfam>
</machine>)";
const char* const kGpio = "/dev/gpio/L00C0E08";
const unsigned kIrqId = 0x93000800u;

void loadMachine() { benchsupport::loadMachine(kMachine, "dio-irq-bench"); }

using benchsupport::reportPercentiles;

// The listener: stamps the delivery time of every event.
struct Stamp {
  std::atomic<uint64_t> count{0};
  std::atomic<int64_t> at{0};
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent&) {
    at.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    count.fetch_add(1, std::memory_order_release);
  }
};

// Drives one interrupt per iteration and waits until `fired` moved on.
template <class Fired>
void measure(benchmark::State& state, EdalHandle* h, Fired fired, std::atomic<int64_t>& stamp) {
  std::string msg;
  std::vector<double> us;
  uint64_t seen = fired();
  for (auto _ : state) {
    ravosim::setInputLevel(kGpio, 0, false);
    edalDioEnableInterrupt(h, 0x80000000u, 0x80000000u, kIrqId, msg);
    const Clock::time_point t0 = Clock::now();
    ravosim::setInputLevel(kGpio, 0, true);
    while (fired() == seen) {
    }
    ++seen;
    // The condition latched when the request fired; the pin fires again
    // only after it is reset.
    edalDioResetInterruptCondition(h, 0x80000000u, msg);
    const double d = std::chrono::duration<double, std::micro>(
                         Clock::time_point(Clock::duration(stamp.load(std::memory_order_relaxed))) - t0)
                         .count();
    us.push_back(d);
    state.SetIterationTime(d / 1e6);
  }
  reportPercentiles(state, us);
}

EdalHandle* openPin(benchmark::State& state) {
  loadMachine();
  std::string msg;
  EdalHandle* h = nullptr;
  if (edalDioOpen(EdalInfo(0, 0, 8), h, msg) != 0) {
    state.SkipWithError(msg.c_str());
    return nullptr;
  }
  edalDioSetMode(h, 0x80000000u, edalDio::DIO_MODE_INPUT, msg);
  return h;
}

void BM_DioIrqToEventCallback(benchmark::State& state) {
  EdalHandle* h = openPin(state);
  if (h == nullptr) return;
  TimeoutService::getInstance()->init(true);
  initEventDispatcherProvider();
  initDioEventSender();
  Stamp stamp;
  EventRouter<DioEvent> router;
  const long id = registerForEvent(DioEventSender::getInstance()->getEventSource(), &router, kIrqId, &stamp,
                                   &Stamp::handle, false);
  initDioIrDispatcher();
  // The interrupt thread creates the interrupt context with its first wait.
  std::string msg;
  while (edalDioBreakInterrupt(msg) != 0) std::this_thread::yield();
  measure(
      state, h, [&] { return stamp.count.load(std::memory_order_acquire); }, stamp.at);
  DioIrDispatcher::destroyInstance();
  router.deregisterFromEvent(id);
  edalDioClose(h, msg);
  terminateDioEventSender();
  DioEventSender::destroyInstance();
  terminateEventDispatcherProvider();
  EventDispatcherProvider::destroyInstance();
  TimeoutService::getInstance()->terminate();
  TimeoutService::destroyInstance();
}
BENCHMARK(BM_DioIrqToEventCallback)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_RawWaitForInterrupt(benchmark::State& state) {
  EdalHandle* h = openPin(state);
  if (h == nullptr) return;
  std::string msg;
  {
    benchsupport::RawInterruptWaiter waiter;
    // The waiter creates the interrupt context with its first wait.
    while (edalDioBreakInterrupt(msg) != 0) std::this_thread::yield();
    measure(
        state, h, [&] { return waiter.fired(); }, waiter.stamp());
  }
  edalDioClose(h, msg);
}
BENCHMARK(BM_RawWaitForInterrupt)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
