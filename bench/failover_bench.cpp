// An oscillator failover on the default simulated machine, repeated: the
// library started with both cards activated, set A selected redundantly
// (selection byte 0x11) with the switch-over let through (propagation on),
// then card 0's oscillator 0 ("osc0.a") fails. The control unit of card 0
// sees the switch-over on the priority-0 dispatcher, the status handler
// hands the disabling of set A to the job thread, which selects set B alone
// (0x22): set A to mode 4, set B to mode 3, the byte stored in the redundant
// state table; the status report ("OscStatusH"/"Error") follows 2000 ms
// after the first status change. Each iteration then brings the machine back
// outside the measured part: the oscillator runs again, the selection walks
// 0x22 -> 0x21 -> 0x12 -> 0x11 (the only transitions allowed), propagation
// on again, and the status reports of the restore are let pass.
//
// The delays of the design run at QUIB_TIME_SCALE (0.1 unless the
// environment sets another), as in the end-to-end tests.
//
// BM_FailoverTimeline (manual time: failure to selection byte stored), with
// the library's trace records observed for their times:
//   switchover_ms    failure to the control unit's callback seeing the
//                    switch-over (it calls the status handler);
//   job_ms           failure to the disable-card job starting on the job
//                    thread;
//   setB_ms          failure to set B programmed (mode 3, its settling
//                    wait included);
//   stored_ms        failure to the selection byte 0x22 stored;
//   report_ms        failure to the status report logged;
//   waits_ms         the waits of the design on the way to the stored byte:
//                    10 ms after each domain's redundancy chip is switched
//                    (two domains) and 1000 ms after set B's mode 3, at the
//                    time scale (no clock-select pulse and its 100 ms on
//                    this path: no set enters mode 2);
//   active_ms        stored_ms - waits_ms: the library's wall time of work;
//   bus_us, transfers     modelled I2C bus time and transfers on both cards'
//                    ports, failure to stored byte (the event handlers'
//                    status reads included);
//   min_bus_us, min_transfers   the least the chips need for the failover:
//                    card 0's redundancy chip register 4 (input 2 disabled)
//                    written once -- its bandwidth (register 1) and input
//                    select stay as they are in mode 4; card 1's register 4
//                    (input 3 disabled, input 1 selected) and register 1
//                    (bandwidth 2 -> 1) written once each, and its error
//                    flags reset once (mode 3 starts with a clean chip):
//                    4 transfers, 3 x (address, offset, 1 byte) + (address,
//                    offset, 2 bytes) = 13 bytes x 9 bits at 100 kHz;
//   bus_ratio        bus_us / min_bus_us.
// Formatting the observed trace records costs the library's threads time of
// their own, so the times of this case are a little longer than without.
//
// BM_FailoverCpu (manual time: the library's CPU time, failure to stored
// byte), without a trace observer and the simulator's transaction log:
//   cpu_stored_ms    CPU time of the library's threads (every thread of the
//                    process but the benchmark's own: dispatchers, interrupt
//                    thread, job thread, time-out service, garbage
//                    collector) from the failure until the selection byte
//                    reads 0x22, less what they use idle over as long;
//   cpu_report_ms    the same until the status report is logged (the
//                    dispatchers' handling of the chips' error lines and the
//                    report job included);
//   idle_ms          the idle CPU subtracted from cpu_stored_ms;
//   wall_stored_ms   wall time, failure to stored byte.
// The simulated devices are called on the library's threads and are part
// of these figures; their modelled bus time is not (the simulator does not
// wait it out). Goal: cpu_stored_ms below 5.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/osc/DynamicOscillatorHandler.h"
#include "kav/clock/osc/OscCardSet.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/runtime/TimeScale.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/errors/LogSink.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "trace_ravo.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kOscillator = "osc0.a";
const char* const kPorts[] = {"/dev/iic/L01C0E05P00", "/dev/iic/L02C0E05P00"};
const unsigned int kCurrentSelection = 361;
const int kLimitMs = 30000;

// 4 transfers of 3 + 3 + 3 + 4 bytes, 9 bit times each at 100 kHz.
const double kMinTransfers = 4;
const double kMinBusUs = (3 + 3 + 3 + 4) * 9 * 10.0;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "failover_bench: %s\n", what);
  std::abort();
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of every thread of the process but the calling one, from
// /proc/self/task/*/schedstat (nanoseconds on a CPU).
uint64_t otherThreadsCpuNs(unsigned int* threads = nullptr) {
  const long self = syscall(SYS_gettid);
  uint64_t total = 0;
  unsigned int count = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) fail("no /proc/self/task");
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.' || std::atol(entry->d_name) == self) continue;
    std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/schedstat");
    unsigned long long ns = 0;
    if (stat >> ns) {
      total += ns;
      ++count;
    }
  }
  closedir(dir);
  if (threads != nullptr) *threads = count;
  return total;
}

// Waits for the status report of the failover (the status handler's code)
// as the library logs it.
class ReportSink : public LogSink {
 public:
  ReportSink() { m_previous = LogSink::install(this); }
  ~ReportSink() override { LogSink::install(m_previous); }
  void errorLogged(const BaseErrorData& error, bool) override {
    if (error.getRcWithoutLogFlag() != OscillatorStatusHandler::kStatusReport) return;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_reported == Clock::time_point()) m_reported = Clock::now();
    ++m_reports;
    m_changed.notify_all();
  }
  void eventLogged(const kavstl::string&, const kavstl::string&) override {}

  void reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_reported = Clock::time_point();
    m_reports = 0;
  }
  // The time of the first report since the reset; false on time-out.
  bool wait(Clock::time_point& at) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_changed.wait_for(lock, std::chrono::milliseconds(kLimitMs), [&] { return m_reports > 0; })) return false;
    at = m_reported;
    return true;
  }

 private:
  LogSink* m_previous = nullptr;
  std::mutex m_lock;
  std::condition_variable m_changed;
  Clock::time_point m_reported;
  unsigned int m_reports = 0;
};

ReportSink& reports() {
  static ReportSink sink;
  return sink;
}

// The times of the failover's steps from the library's trace records.
class Milestones {
 public:
  enum Step { SWITCHOVER, JOB, SET_B, STORED, STEPS };

  Milestones() { trace_ravo_set_observer(&Milestones::see, this); }
  ~Milestones() { trace_ravo_set_observer(nullptr, nullptr); }

  void reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    for (Clock::time_point& t : m_at) t = Clock::time_point();
    m_disableJob = 0;
    m_jobStarts.clear();
  }
  bool waitStored() {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(kLimitMs),
                              [&] { return m_at[STORED] != Clock::time_point(); });
  }
  // The steps' times; the job's from the executor's record of the job that
  // the status handler inserted.
  void get(Clock::time_point (&at)[STEPS]) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (int i = 0; i < STEPS; ++i) at[i] = m_at[i];
    for (const auto& start : m_jobStarts)
      if (start.first == m_disableJob) at[JOB] = start.second;
  }

 private:
  static void see(void* ctx, const char*, const char* line) {
    unsigned long long seconds = 0, micros = 0;
    int used = 0;
    if (std::sscanf(line, "%llu.%6llu %*u: %n", &seconds, &micros, &used) < 2 || used == 0) return;
    const char* text = line + used;
    const Clock::time_point t(std::chrono::microseconds(seconds * 1000000ull + micros));
    Milestones* self = static_cast<Milestones*>(ctx);
    unsigned int a = 0, b = 0;
    std::lock_guard<std::mutex> guard(self->m_lock);
    if (std::strncmp(text, "OscControlUnit::checkForClockSwitch ", 36) == 0) {
      self->first(SWITCHOVER, t);
    } else if (std::sscanf(text, "OscillatorStatusHandler::disableCardAsync 0x%x job=%u", &a, &b) == 2) {
      self->m_disableJob = b;
    } else if (std::sscanf(text, "TimedExecutor: run job %u ", &a) == 1) {
      self->m_jobStarts.emplace_back(a, t);
    } else if (std::strncmp(text, "OscCardSet::writeMode set 0x20 mode=3 rc=", 41) == 0) {
      self->first(SET_B, t);
    } else if (std::sscanf(text, "DynamicOscillatorHandler: field %u = 0x%x", &a, &b) == 2 && a == kCurrentSelection &&
               b == 0x22) {
      self->first(STORED, t);
      self->m_changed.notify_all();
    }
  }
  void first(Step step, Clock::time_point t) {
    if (m_at[step] == Clock::time_point()) m_at[step] = t;
  }

  std::mutex m_lock;
  std::condition_variable m_changed;
  Clock::time_point m_at[STEPS];
  unsigned int m_disableJob = 0;
  std::vector<std::pair<unsigned int, Clock::time_point>> m_jobStarts;
};

struct Library {
  KavPtr<DynamicOscillatorHandler> handler;
  KavPtr<OscillatorStatusHandler> status;
  double idleNsPerMs = 0;

  Library() {
    // The test helpers set these from the environment when the program is
    // loaded; a benchmark has the paths of its build.
    setenv("FACADEXMLPATH", QUIB_BUILD_DIR "/config", 1);
    setenv("FACADEFILELIST", "FileList.bin", 1);
    setenv("RAVO_SIM_MACHINE", QUIB_SOURCE_DIR "/config/machine/default.xml", 1);
    setenv("QUIB_TIME_SCALE", "0.1", 0);
    reports();
    if (kav::start(kav::PHE_Domain, true) != 0) fail("kav::start failed");
    kav::send_card_plug(e2e::kCard0, kav::e_Plugged_Functional);
    kav::send_card_plug(e2e::kCard1, kav::e_Plugged_Functional);
    if (!e2e::waitFor([] { return e2e::configured(e2e::kCard0) && e2e::configured(e2e::kCard1); }))
      fail("cards not configured");
    if (kav::finish_initial_config() != 0) fail("initial configuration not finished");
    for (unsigned int slot : {e2e::kCard0, e2e::kCard1}) {
      KavPtr<PowerControl> card = e2e::findObject<PowerControl>(e2e::kAnyName, slot);
      if (card == nullptr || card->activate(false) != 0) fail("card not activated");
    }
    handler = e2e::findObject<DynamicOscillatorHandler>(e2e::kAnyName, e2e::kAnySlot);
    if (handler == nullptr || !e2e::waitFor([this] { return handler->isStartupDone(); }))
      fail("the oscillator handler did not start up");
    status = OscillatorStatusHandler::getInstance();
    if (status == nullptr) fail("no status handler");
    ravosim::setTransactionLog(false);
    restore();
    // What the library's threads use while nothing happens.
    const uint64_t before = otherThreadsCpuNs();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    idleNsPerMs = static_cast<double>(otherThreadsCpuNs() - before) / ms(Clock::now() - start);
  }

  unsigned char selection() const {
    unsigned char value = 0xEE;
    if (handler->readOscSelectionByteFromRedundantStateTable(kCurrentSelection, value) != 0) value = 0xEE;
    return value;
  }

  // Oscillator running, set A redundant (0x11), propagation on, and the
  // status reports of all that made.
  void restore() {
    ravosim::restoreOscillator(kOscillator);
    struct Step {
      unsigned char from;
      kavosc::OscCardSet_t set;
      kavosc::OscSelectionMode_t mode;
    };
    const Step steps[] = {{0x22, kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_REDUNDANT},
                          {0x21, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_SINGLE},
                          {0x12, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT},
                          {0x00, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT}};
    for (const Step& step : steps)
      if (selection() == step.from && handler->selectOscillator(step.set, step.mode, false) != 0)
        fail("selection refused");
    if (selection() != 0x11) fail("set A not selected redundantly");
    const kavstl::vector<kavosc::SwitchoverPropagationMode_t> on(1, kavosc::PROPAGATION_ON);
    for (kavosc::OscCardSet_t set : {kavosc::OSC_CARD_SET_A, kavosc::OSC_CARD_SET_B})
      if (handler->setPropagationMode(set, 0, on) != 0) fail("propagation not switched on");
    settle();
  }

  // Lets the status changes and reports under way pass.
  void settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(TimeScale::delayMs(OscillatorStatusHandler::kReportDelayMs) + 50));
    if (!e2e::waitFor([this] { return !status->isStatusChangePending() && !status->isDisableCardAsyncPending(e2e::kCard0); },
                      kLimitMs))
      fail("status changes do not settle");
  }
};

Library& library() {
  static Library l;
  return l;
}

uint64_t busNs() {
  uint64_t total = 0;
  for (const char* port : kPorts) total += ravosim::busTimeNs(port);
  return total;
}

uint64_t busTransfers() {
  uint64_t total = 0;
  for (const char* port : kPorts) total += ravosim::busTransfers(port);
  return total;
}

double waitsMs() {
  return 2.0 * TimeScale::delayMs(ClockDomain::kModeSwitchWaitMs) + TimeScale::delayMs(OscCardSet::kSingleSettleWaitMs);
}

void BM_FailoverTimeline(benchmark::State& state) {
  Library& l = library();
  Milestones milestones;
  double sum[Milestones::STEPS] = {};
  double report = 0, bus = 0, transfers = 0;
  for (auto _ : state) {
    milestones.reset();
    reports().reset();
    const uint64_t ns = busNs();
    const uint64_t count = busTransfers();
    const Clock::time_point failed = Clock::now();
    if (!ravosim::failOscillator(kOscillator)) fail("no oscillator");
    Clock::time_point reported;
    if (!milestones.waitStored()) fail("the selection byte was not stored");
    bus += static_cast<double>(busNs() - ns) / 1000.0;
    transfers += static_cast<double>(busTransfers() - count);
    if (!reports().wait(reported)) fail("no status report");
    Clock::time_point at[Milestones::STEPS];
    milestones.get(at);
    for (int i = 0; i < Milestones::STEPS; ++i) {
      if (at[i] == Clock::time_point()) fail("a step of the failover was not traced");
      sum[i] += ms(at[i] - failed);
    }
    report += ms(reported - failed);
    state.SetIterationTime(std::chrono::duration<double>(at[Milestones::STORED] - failed).count());
    l.restore();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["switchover_ms"] = sum[Milestones::SWITCHOVER] / n;
  state.counters["job_ms"] = sum[Milestones::JOB] / n;
  state.counters["setB_ms"] = sum[Milestones::SET_B] / n;
  state.counters["stored_ms"] = sum[Milestones::STORED] / n;
  state.counters["report_ms"] = report / n;
  state.counters["waits_ms"] = waitsMs();
  state.counters["active_ms"] = sum[Milestones::STORED] / n - waitsMs();
  state.counters["bus_us"] = bus / n;
  state.counters["transfers"] = transfers / n;
  state.counters["min_bus_us"] = kMinBusUs;
  state.counters["min_transfers"] = kMinTransfers;
  state.counters["bus_ratio"] = bus / n / kMinBusUs;
}
BENCHMARK(BM_FailoverTimeline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FailoverCpu(benchmark::State& state) {
  Library& l = library();
  // No trace observer (the e2e helpers install one when the program is
  // loaded): with one, every trace record is formatted as text on the
  // library's threads.
  trace_ravo_set_observer(nullptr, nullptr);
  double toStored = 0, toReport = 0, idle = 0, wall = 0;
  unsigned int threads = 0;
  for (auto _ : state) {
    reports().reset();
    const uint64_t cpu = otherThreadsCpuNs(&threads);
    const Clock::time_point failed = Clock::now();
    if (!ravosim::failOscillator(kOscillator)) fail("no oscillator");
    // Polled every millisecond: the CPU is read soon after.
    const Clock::time_point limit = failed + std::chrono::milliseconds(kLimitMs);
    while (l.selection() != 0x22) {
      if (Clock::now() > limit) fail("the selection byte was not stored");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const uint64_t cpuStored = otherThreadsCpuNs();
    const Clock::time_point stored = Clock::now();
    Clock::time_point reported;
    if (!reports().wait(reported)) fail("no status report");
    const uint64_t cpuReported = otherThreadsCpuNs();
    const double idleStored = l.idleNsPerMs * ms(stored - failed);
    const double libraryStored = (static_cast<double>(cpuStored - cpu) - idleStored) / 1e6;
    toStored += libraryStored;
    toReport += (static_cast<double>(cpuReported - cpu) - l.idleNsPerMs * ms(Clock::now() - failed)) / 1e6;
    idle += idleStored / 1e6;
    wall += ms(stored - failed);
    state.SetIterationTime(libraryStored / 1000.0);
    l.restore();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_stored_ms"] = toStored / n;
  state.counters["cpu_report_ms"] = toReport / n;
  state.counters["idle_ms"] = idle / n;
  state.counters["wall_stored_ms"] = wall / n;
  state.counters["threads"] = threads;
}
BENCHMARK(BM_FailoverCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
