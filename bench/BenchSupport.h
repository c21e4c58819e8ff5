// Helpers shared by the benchmark programs.
#ifndef QUIB_BENCH_BENCHSUPPORT_H
#define QUIB_BENCH_BENCHSUPPORT_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "kav/hwaccess/edal/edalDio.h"

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

// A bare interrupt thread: waits in edalDioWaitForInterrupt and stamps the
// steady-clock time of every interrupt that returns; no event framework.
class RawInterruptWaiter {
 public:
  RawInterruptWaiter() : m_thread([this] { run(); }) {}
  ~RawInterruptWaiter() {
    m_stop = true;
    std::string msg;
    edalDioBreakInterrupt(msg);
    m_thread.join();
  }
  RawInterruptWaiter(const RawInterruptWaiter&) = delete;
  RawInterruptWaiter& operator=(const RawInterruptWaiter&) = delete;

  // Interrupts seen so far; the stamp of the last one goes with it.
  uint64_t fired() const { return m_fired.load(std::memory_order_acquire); }
  std::atomic<int64_t>& stamp() { return m_stamp; }

 private:
  void run() {
    for (;;) {
      unsigned int irq = 0;
      std::string msg;
      const unsigned int rc = edalDioWaitForInterrupt(irq, msg);
      const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
      if (m_stop.load()) break;
      if (rc == 0 && irq != 0) {
        m_stamp.store(now, std::memory_order_relaxed);
        m_fired.fetch_add(1, std::memory_order_release);
      }
    }
  }

  std::atomic<bool> m_stop{false};
  std::atomic<uint64_t> m_fired{0};
  std::atomic<int64_t> m_stamp{0};
  std::thread m_thread;
};

}  // namespace benchsupport

#endif
