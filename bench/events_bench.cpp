// Event framework against two baselines, and the cost of the time-out
// service and the timed executor.
//
//   events/s          one or three sender threads -> source -> callback on
//                     the dispatcher (every delivery is watched by the
//                     time-out service, as in the library)
//   latency p50/p99   send to callback, at 1 kHz and at saturation
//   baselines         (a) mutex + condition variable + deque to one consumer
//                     (b) raw eventfd wake between two threads
#include <benchmark/benchmark.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "kav/events/DioEvent.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventRouter.h"
#include "kav/events/EventSource.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimedJob.h"
#include "kav/runtime/TimeoutService.h"

namespace {

uint64_t nowNs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void startServices() {
  static bool started = false;
  if (started) return;
  started = true;
  TimeoutService::getInstance()->init(true);
  TimedExecutor::getInstance()->init(1);
  initEventDispatcherProvider();
}

struct LatencyRecorder {
  std::vector<uint64_t> samples;
  std::atomic<uint64_t> received{0};
  void reserve(size_t n) {
    samples.clear();
    samples.reserve(n);
    received.store(0);
  }
  // Called on the single consumer thread.
  void record(uint64_t sentNs) {
    if (sentNs != 0) samples.push_back(nowNs() - sentNs);
    received.fetch_add(1, std::memory_order_release);
  }
  void report(benchmark::State& state) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["p50_us"] = samples[samples.size() / 2] / 1000.0;
    state.counters["p99_us"] = samples[samples.size() * 99 / 100] / 1000.0;
  }
};

void waitFor(const std::atomic<uint64_t>& counter, uint64_t n) {
  while (counter.load(std::memory_order_acquire) < n) std::this_thread::yield();
}

// ---- the event framework ---------------------------------------------------

struct Consumer {
  LatencyRecorder rec;
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent& e) {
    rec.record(static_cast<uint64_t>(e.getP1()) | (static_cast<uint64_t>(e.getEventId()) << 32));
  }
};

struct FrameworkRig {
  EventSource<DioEvent>* source = nullptr;
  EventRouter<DioEvent> router;
  Consumer consumer;
  LatencyRecorder& rec = consumer.rec;
  FrameworkRig() {
    startServices();
    source = createEventSource<DioEvent>(250, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
    registerForEvent(source, &router, &consumer, &Consumer::handle, false);
  }
  ~FrameworkRig() { deleteEventSource(source); }
  void send(uint64_t stamp) {
    // The stamp travels in the payload: high word as event id, low as p1.
    DioEvent e(static_cast<unsigned>(stamp >> 32), static_cast<unsigned>(stamp), 0, 0);
    while (source->sendAnyEvents(e, 0, false) == -3) std::this_thread::yield();
  }
};

// ---- baseline (a): mutex + condition variable + deque ---------------------

struct DequeRig {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<uint64_t> queue;
  bool stop = false;
  LatencyRecorder rec;
  std::thread consumer;
  DequeRig() {
    consumer = std::thread([this] {
      std::unique_lock<std::mutex> l(mutex);
      for (;;) {
        cv.wait(l, [this] { return stop || !queue.empty(); });
        if (queue.empty() && stop) return;
        uint64_t v = queue.front();
        queue.pop_front();
        l.unlock();
        rec.record(v);
        l.lock();
      }
    });
  }
  ~DequeRig() {
    {
      std::lock_guard<std::mutex> l(mutex);
      stop = true;
    }
    cv.notify_one();
    consumer.join();
  }
  void send(uint64_t stamp) {
    {
      std::lock_guard<std::mutex> l(mutex);
      queue.push_back(stamp);
    }
    cv.notify_one();
  }
};

// ---- baseline (b): raw eventfd wake between two threads -------------------

struct EventfdRig {
  int fd = eventfd(0, 0);
  std::atomic<uint64_t> stamp{0};
  std::atomic<bool> stop{false};
  LatencyRecorder rec;
  std::thread consumer;
  EventfdRig() {
    consumer = std::thread([this] {
      for (;;) {
        uint64_t n = 0;
        if (read(fd, &n, sizeof n) != sizeof n) return;
        if (stop.load()) return;
        // Wakes coalesce: one wake may stand for several writes.
        for (uint64_t i = 0; i < n; ++i) rec.record(i == 0 ? stamp.load() : 0);
      }
    });
  }
  ~EventfdRig() {
    stop.store(true);
    uint64_t one = 1;
    ssize_t w = write(fd, &one, sizeof one);
    (void)w;
    consumer.join();
    close(fd);
  }
  void send(uint64_t s) {
    stamp.store(s);
    uint64_t one = 1;
    ssize_t w = write(fd, &one, sizeof one);
    (void)w;
  }
};

// ---- throughput -------------------------------------------------------------

constexpr uint64_t kBatch = 20000;

template <class Rig>
void throughput(benchmark::State& state) {
  Rig rig;
  const int senders = static_cast<int>(state.range(0));
  uint64_t total = 0;
  for (auto _ : state) {
    rig.rec.reserve(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < senders; ++t)
      threads.emplace_back([&] {
        for (uint64_t i = 0; i < kBatch / senders; ++i) rig.send(0);
      });
    for (auto& th : threads) th.join();
    waitFor(rig.rec.received, (kBatch / senders) * senders);
    total += (kBatch / senders) * senders;
  }
  state.SetItemsProcessed(static_cast<int64_t>(total));
}

void BM_Framework_Throughput(benchmark::State& s) { throughput<FrameworkRig>(s); }
void BM_MutexCondvarDeque_Throughput(benchmark::State& s) { throughput<DequeRig>(s); }
BENCHMARK(BM_Framework_Throughput)->Arg(1)->Arg(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MutexCondvarDeque_Throughput)->Arg(1)->Arg(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// eventfd: wakes per second in ping-pong (one write, wait until consumed).
void BM_Eventfd_PingPong(benchmark::State& state) {
  EventfdRig rig;
  uint64_t n = 0;
  for (auto _ : state) {
    rig.send(0);
    ++n;
    waitFor(rig.rec.received, n);
  }
  state.SetItemsProcessed(static_cast<int64_t>(n));
}
BENCHMARK(BM_Eventfd_PingPong)->UseRealTime();

// ---- latency ----------------------------------------------------------------

// range(0): 0 = saturation, else events per second.
template <class Rig>
void latency(benchmark::State& state) {
  Rig rig;
  const int64_t rate = state.range(0);
  const uint64_t events = rate == 0 ? 20000 : 500;
  for (auto _ : state) {
    rig.rec.reserve(events);
    uint64_t next = nowNs();
    for (uint64_t i = 0; i < events; ++i) {
      if (rate != 0) {
        next += 1000000000ull / static_cast<uint64_t>(rate);
        while (nowNs() < next) std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
      rig.send(nowNs());
    }
    waitFor(rig.rec.received, events);
  }
  rig.rec.report(state);
  state.SetItemsProcessed(static_cast<int64_t>(events * state.iterations()));
}

void BM_Framework_Latency(benchmark::State& s) { latency<FrameworkRig>(s); }
void BM_MutexCondvarDeque_Latency(benchmark::State& s) { latency<DequeRig>(s); }
void BM_Eventfd_Latency(benchmark::State& s) { latency<EventfdRig>(s); }
BENCHMARK(BM_Framework_Latency)->Arg(1000)->Arg(0)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MutexCondvarDeque_Latency)->Arg(1000)->Arg(0)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Eventfd_Latency)->Arg(1000)->Arg(0)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- time-out service and timed executor ----------------------------------

void BM_TimeoutService_RegisterChangeDelete(benchmark::State& state) {
  startServices();
  TimeoutService* service = TimeoutService::getInstance();
  TimeoutServiceRegistrationToken token("bench");
  for (auto _ : state) {
    unsigned id = service->registerTimeout(&token, 0, 4000);
    service->changeRegistration(id, 0, 4000);
    service->deleteRegistration(id);
  }
}
BENCHMARK(BM_TimeoutService_RegisterChangeDelete);

struct FlagJob : TimedJob {
  std::atomic<uint64_t>& done;
  explicit FlagJob(std::atomic<uint64_t>& d) : done(d) {}
  void execute() override { done.fetch_add(1, std::memory_order_release); }
};

void BM_TimedExecutor_InsertToExecute(benchmark::State& state) {
  startServices();
  std::atomic<uint64_t> done{0};
  uint64_t n = 0;
  for (auto _ : state) {
    TimedExecutor::getInstance()->insertJob(new FlagJob(done), 0, 0, 0);
    waitFor(done, ++n);
  }
}
BENCHMARK(BM_TimedExecutor_InsertToExecute)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
