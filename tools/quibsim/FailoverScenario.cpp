#include "tools/quibsim/FailoverScenario.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fw/ErrorLogRepository.h"
#include "kav/clock/osc/DynamicOscillatorHandler.h"
#include "kav/clock/osc/OscCardSet.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/runtime/TimeScale.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/errors/LogSink.h"
#include "ravo_sim_control.h"
#include "tools/quibsim/TreeObjects.h"
#include "trace_ravo.h"

namespace {

using Clock = std::chrono::steady_clock;

const unsigned int kCurrentSelection = 361;
const char* const kFailedOscillator = "osc0.a";
const uint32_t kClockSelectRegister = 0x2812;
const uint32_t kPulseBit = 0x20000000;
// How long the run waits for the failover beyond the delays of the design.
const int kAllowanceMs = 20000;

// The GPIO engines of the two oscillator cards on the default machine.
struct CardEngine {
  const char* path;
  const char* name;
};
const CardEngine kCardEngines[] = {{"/dev/gpio/L01C0E08", "card 0"}, {"/dev/gpio/L02C0E08", "card 1"}};

// The pins of a card's engine that a failover moves (config/machine/default.xml).
const std::map<unsigned int, const char*> kPinNames = {
    {5, "redundancy chip error"},
    {6, "redundancy chip interrupt"},
    {10, "PLL error"},
    {11, "PLL lock"},
    {12, "PLL clock enable"},
    {13, "redundancy chip clock enable"},
    {14, "use oscillator 0"},
    {15, "use oscillator 1"},
    {16, "propagation fence open"},
    {17, "oscillator 0 status"},
    {18, "oscillator 1 status"},
    {19, "unit input 0 (oscillator 0 switch)"},
    {20, "unit input 1 (oscillator 1 switch)"},
};

uint32_t pinMask(unsigned int pin) { return 0x80000000u >> pin; }

const char* cardOf(const std::string& device) {
  for (const CardEngine& e : kCardEngines)
    if (device == e.path) return e.name;
  return nullptr;
}

std::string hex(unsigned int value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
  return buf;
}

std::string pinList(uint32_t mask, uint32_t levels, bool withLevels) {
  std::string text;
  for (unsigned int pin = 0; pin < 32; ++pin) {
    if ((mask & pinMask(pin)) == 0) continue;
    if (!text.empty()) text += ", ";
    text += "pin " + std::to_string(pin);
    auto name = kPinNames.find(pin);
    if (name != kPinNames.end()) text += std::string(" ") + name->second;
    if (withLevels) text += (levels & pinMask(pin)) != 0 ? " high" : " low";
  }
  return text;
}

// The keys of the oscillator status handler's reports by the SRC the SRC
// table (config/SrcTable.xml) gives them: the error value keeps the SRC, not
// the keys.
std::string reportKeys(unsigned int src) {
  static const std::map<unsigned int, const char*> keys = {
      {0x28C07201, "OscStatusH/Error"}, {0x28C07202, "OscStatusH/ErrorAmbiguous"},
      {0x28C07203, "OscStatusH/ErrorNoSlot"}, {0x28C07211, "OscStatusH/Info"},
      {0x28C07212, "OscStatusH/InfoAmbiguous"}, {0x28C07213, "OscStatusH/InfoNoSlot"}};
  auto found = keys.find(src);
  return found == keys.end() ? std::string() : found->second;
}

// What the library logs while the scenario runs, with the time of each,
// handed on to the sink that was installed before.
class TimedLogSink : public LogSink {
 public:
  struct Error {
    Clock::time_point time;
    unsigned int rc = 0;
    unsigned int src = 0;
    std::string keys;  // of a status report
    std::vector<unsigned int> slots;
    bool asynchronous = false;
  };

  TimedLogSink() { m_next = LogSink::install(this); }
  ~TimedLogSink() override { LogSink::install(m_next); }
  TimedLogSink(const TimedLogSink&) = delete;
  TimedLogSink& operator=(const TimedLogSink&) = delete;

  void errorLogged(const BaseErrorData& error, bool asynchronous) override {
    Error e;
    e.time = Clock::now();
    e.rc = error.getRcWithoutLogFlag();
    e.src = error.getSrc();
    e.keys = reportKeys(e.src);
    for (unsigned int id : error.getSlotIds()) e.slots.push_back(id);
    e.asynchronous = asynchronous;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_errors.push_back(e);
    }
    if (m_next != nullptr) m_next->errorLogged(error, asynchronous);
  }

  void eventLogged(const kavstl::string& name, const kavstl::string& text) override {
    if (m_next != nullptr) m_next->eventLogged(name, text);
  }

  std::vector<Error> errors() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_errors;
  }

 private:
  LogSink* m_next = nullptr;
  mutable std::mutex m_lock;
  std::vector<Error> m_errors;
};

// The library's trace records of the failover, with their times (the trace
// clock is the monotonic clock, as the transaction log's).
class TimedTraces {
 public:
  struct Record {
    Clock::time_point time;
    std::string text;
  };

  TimedTraces() { trace_ravo_set_observer(&TimedTraces::see, this); }
  ~TimedTraces() { trace_ravo_set_observer(nullptr, nullptr); }
  TimedTraces(const TimedTraces&) = delete;
  TimedTraces& operator=(const TimedTraces&) = delete;

  std::vector<Record> records() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_records;
  }

 private:
  static void see(void* ctx, const char* buffer, const char* line) {
    if (std::strcmp(buffer, "KAVT") != 0 && std::strcmp(buffer, "KAVE") != 0) return;
    unsigned long long seconds = 0, micros = 0;
    int used = 0;
    if (std::sscanf(line, "%llu.%6llu %*u: %n", &seconds, &micros, &used) < 2 || used == 0) return;
    const char* text = line + used;
    bool wanted = false;
    for (const char* prefix : kPrefixes)
      if (std::strncmp(text, prefix, std::strlen(prefix)) == 0) wanted = true;
    if (!wanted) return;
    Record r{Clock::time_point(std::chrono::microseconds(seconds * 1000000ull + micros)), text};
    TimedTraces* self = static_cast<TimedTraces*>(ctx);
    std::lock_guard<std::mutex> guard(self->m_lock);
    self->m_records.push_back(std::move(r));
  }

  static constexpr const char* kPrefixes[] = {
      // The unit's switch-over report: its slot, then the event's text.
      "SlotId=0x",
      "(Primary-Card) SwitchOver",
      "(Secondary-Card) SwitchOver",
      "OscControlUnit::handleOscCntlOffEvent",
      "OscillatorStatusHandler::",
      "DisableCardAsyncHandler",
      "DynamicOscillatorHandler::disableCardSet",
      "DynamicOscillatorHandler::selectOscillator",
      "DynamicOscillatorHandler: field",
      "OscCardSet::writeMode",
      "OscControl::writeMode",
      "ClockDomain::writeMode",
      "OscAdapterServices::",
  };

  mutable std::mutex m_lock;
  std::vector<Record> m_records;
};

struct Line {
  Clock::time_point time;
  std::string text;
};

// A trace record of the failover as a timeline line; empty for the records
// that only fill in (the selection's own entry and exit, the slot record
// that comes before a unit's switch-over report, kept in slot).
std::string describe(const std::string& record, unsigned int& slot) {
  unsigned int a = 0, b = 0, c = 0, d = 0;
  int used = 0;
  if (std::sscanf(record.c_str(), "SlotId=0x%x%n", &a, &used) == 1 && static_cast<size_t>(used) == record.size()) {
    slot = a;
    return "";
  }
  if (record.find(") SwitchOver on ClockChip detected!") != std::string::npos)
    return "switch-over detected by the oscillator control unit of slot " + hex(slot, 2) +
           ": oscillator 0 off, oscillator 1 on (dispatcher thread)";
  if (record.compare(0, 9, "SlotId=0x") == 0) return "";
  if (std::sscanf(record.c_str(), "OscillatorStatusHandler::disableCardAsync 0x%x job=%u", &a, &b) == 2)
    return "disabling of slot " + hex(a, 2) + " handed to the job thread (job " + std::to_string(b) + ")";
  if (std::sscanf(record.c_str(), "OscillatorStatusHandler::notifyStatusChange slot=0x%x kind=%u pending=%u", &a, &b,
                  &c) == 3)
    return "status change of slot " + hex(a, 2) + " noted, kind " + std::to_string(b) +
           (b == 2 ? " (error)" : b == 1 ? " (warning)" : " (report only)") +
           (c == 0 ? ": report job scheduled" : "");
  if (std::sscanf(record.c_str(), "DynamicOscillatorHandler::disableCardSet 0x%x current=0x%x", &a, &b) == 2)
    return std::string("disable-card job: set ") + (a == 0x10 ? "A" : "B") + " (" + hex(a, 2) + ") disabled, selection " +
           hex(b, 2);
  if (std::sscanf(record.c_str(), "DynamicOscillatorHandler: field %u = 0x%x rc=0x%x", &a, &b, &c) == 3 &&
      a == kCurrentSelection)
    return "selection byte (field 361) written " + hex(b, 2) + ((b & 0x80) != 0 ? " (in progress)" : "") +
           (c != 0 ? " rc=" + hex(c, 8) : "");
  if (std::sscanf(record.c_str(), "DynamicOscillatorHandler::selectOscillator 0x%x -> 0x%x rc=0x%x", &a, &b, &c) == 3)
    return "selection " + hex(a, 2) + " -> " + hex(b, 2) + " done rc=" + hex(c, 8);
  if (std::sscanf(record.c_str(), "OscCardSet::writeMode set 0x%x mode=%u rc=0x%x", &a, &b, &c) == 3)
    return std::string("set ") + (a == 0x10 ? "A" : "B") + " (" + hex(a, 2) + ") programmed: mode " +
           std::to_string(b) + (c != 0 ? " rc=" + hex(c, 8) : "");
  if (std::sscanf(record.c_str(), "OscControl::writeMode slot=0x%x mode=%u state=%u rc=0x%x", &a, &b, &c, &d) == 4)
    return "oscillator control of slot " + hex(a, 2) + ": mode " + std::to_string(b) + (d != 0 ? " rc=" + hex(d, 8) : "");
  if (std::sscanf(record.c_str(), "ClockDomain::writeMode slot=0x%x mode=%u state=%u rc=0x%x", &a, &b, &c, &d) == 4)
    return "clock domain of slot " + hex(a, 2) + ": mode " + std::to_string(b) + (d != 0 ? " rc=" + hex(d, 8) : "");
  if (std::sscanf(record.c_str(), "OscillatorStatusHandler::handleStateChangeEventPending changes=%u slot=0x%x", &a,
                  &b) == 2)
    return "status report job: " + std::to_string(a) + " changes" + (b != 0 ? ", error of slot " + hex(b, 2) : "");
  if (std::sscanf(record.c_str(), "DisableCardAsyncHandler slot=0x%x rc=0x%x", &a, &b) == 2)
    return "disable-card job of slot " + hex(a, 2) + " done rc=" + hex(b, 8);
  if (record.compare(0, 34, "OscAdapterServices::clearClockBit ") == 0)
    return "clock-select bits of the processor chips saved and cleared (an oscillator use control goes off)";
  if (record.compare(0, 32, "OscAdapterServices::setClockBit ") == 0)
    return "clock-select bits of the processor chips restored";
  if (record.compare(0, 35, "OscAdapterServices::toggleClockBit ") == 0)
    return "clock-select bit 2 of the processor chips pulsed";
  if (record.compare(0, 37, "OscAdapterServices::collectDebugInfo ") == 0) return "clock debug data collected";
  return std::string();
}

// The transactions of the failover as timeline lines: pins, interrupts and
// clock-select writes one by one, runs of I2C transfers on one port
// together.
void addTransactions(const std::vector<ravosim::Transaction>& log, std::vector<Line>& lines) {
  using ravosim::Transaction;
  for (size_t i = 0; i < log.size(); ++i) {
    const Transaction& t = log[i];
    const char* card = cardOf(t.device);
    switch (t.kind) {
      case Transaction::PinChange:
        if (card != nullptr && !pinList(t.mask, t.levels, false).empty())
          lines.push_back({t.time, std::string(card) + ": " + pinList(t.mask, t.levels, true)});
        break;
      case Transaction::Interrupt:
      case Transaction::InterruptHeld:
        if (card != nullptr)
          lines.push_back({t.time, std::string(t.kind == Transaction::Interrupt ? "interrupt" : "interrupt held") +
                                       " on " + card + ": " + pinList(t.mask, t.levels, true)});
        break;
      case Transaction::ConditionReset:
        if (card != nullptr)
          lines.push_back({t.time, std::string("interrupt condition reset on ") + card + ": " +
                                       pinList(t.mask, t.levels, false)});
        break;
      case Transaction::CfamWrite: {
        if (t.offset != kClockSelectRegister) break;
        // The run of clock-select writes, one per processor chip.
        std::string values;
        std::set<std::string> chips;
        bool pulse = false;
        size_t end = i;
        for (; end < log.size(); ++end) {
          const Transaction& u = log[end];
          if (u.kind == Transaction::CfamRead && u.offset == kClockSelectRegister) continue;
          if (u.kind != Transaction::CfamWrite || u.offset != kClockSelectRegister || !chips.insert(u.device).second)
            break;
          values += " " + u.device + "=" + hex(u.value, 8);
          if (u.result != 0) values += "(errno " + std::to_string(u.result) + ")";
          pulse = pulse || (u.value & kPulseBit) != 0;
        }
        lines.push_back({t.time, std::string("clock-select register 0x2812 written") +
                                     (pulse ? " (bit 2 set)" : "") + ":" + values});
        i = end - 1;
        break;
      }
      case Transaction::I2cWrite:
      case Transaction::I2cRead: {
        // The run of transfers to this device.
        size_t end = i;
        uint64_t busNs = 0;
        std::string registers;
        unsigned int reads = 0, writes = 0;
        while (end < log.size() && (log[end].kind == Transaction::I2cWrite || log[end].kind == Transaction::I2cRead) &&
               log[end].device == t.device && log[end].address == t.address) {
          const Transaction& u = log[end];
          busNs += u.busNs;
          (u.kind == Transaction::I2cWrite ? writes : reads) += 1;
          char reg[32];
          std::snprintf(reg, sizeof reg, "%s%s%u", registers.empty() ? "" : " ",
                        u.kind == Transaction::I2cWrite ? "w" : "r", u.hasOffset ? u.offset : 0);
          registers += reg;
          if (u.result != 0) registers += "(errno " + std::to_string(u.result) + ")";
          ++end;
        }
        char head[160];
        std::snprintf(head, sizeof head, "I2C %s device 0x%02X: %u reads, %u writes, %.0f us bus time: ",
                      t.device.c_str(), t.address, reads, writes, static_cast<double>(busNs) / 1000.0);
        lines.push_back({t.time, head + registers});
        i = end - 1;
        break;
      }
      default:
        break;
    }
  }
}

double msAfter(Clock::time_point t, Clock::time_point origin) {
  return std::chrono::duration<double, std::milli>(t - origin).count();
}

template <class F>
bool waitUntil(F condition, int limitMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

const char* setName(unsigned int set) { return set == kavosc::OSC_CARD_SET_A ? "A" : "B"; }

}  // namespace

int FailoverScenario::run() {
  int failures = 0;
  std::printf("failover scenario:\n");
  std::vector<KavPtr<DynamicOscillatorHandler>> handlers = quibsim::collect<DynamicOscillatorHandler>();
  if (handlers.size() != 1) {
    std::printf("  %zu oscillator handlers in the tree, expected 1\n", handlers.size());
    return 1;
  }
  KavPtr<DynamicOscillatorHandler> handler = handlers.front();
  KavPtr<OscCardSet> setA = handler->getOscCardSet(kavosc::OSC_CARD_SET_A);
  KavPtr<OscCardSet> setB = handler->getOscCardSet(kavosc::OSC_CARD_SET_B);
  if (setA == nullptr || setB == nullptr) {
    std::printf("  the oscillator handler misses a card set\n");
    return 1;
  }
  if (!waitUntil([&] { return handler->isStartupDone(); }, kAllowanceMs)) {
    std::printf("  the oscillator handler did not start up\n");
    return 1;
  }
  auto current = [&]() {
    unsigned char value = 0xEE;
    if (handler->readOscSelectionByteFromRedundantStateTable(kCurrentSelection, value) != 0) value = 0xEE;
    return value;
  };

  // To set A redundant by the transitions the selection allows.
  std::printf("  selection byte (field 361): %s\n", hex(current(), 2).c_str());
  struct Step {
    unsigned char from;
    kavosc::OscCardSet_t set;
    kavosc::OscSelectionMode_t mode;
  };
  const Step steps[] = {{0x22, kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_REDUNDANT},
                        {0x21, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_SINGLE},
                        {0x12, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT},
                        {0x00, kavosc::OSC_CARD_SET_A, kavosc::OSC_SELECTION_REDUNDANT}};
  for (const Step& step : steps) {
    if (current() != step.from) continue;
    const ErrorData rc = handler->selectOscillator(step.set, step.mode, false);
    std::printf("  selecting set %s %s: %s -> %s rc=0x%08X\n", setName(step.set),
                step.mode == kavosc::OSC_SELECTION_REDUNDANT ? "redundant" : "alone", hex(step.from, 2).c_str(),
                hex(current(), 2).c_str(), rc.getRcWithoutLogFlag());
  }
  if (current() != 0x11) {
    std::printf("  set A is not selected redundantly (%s): no failover\n", hex(current(), 2).c_str());
    return 1;
  }
  // The switch-over is let through, as the firmware's configuration does
  // after a selection: set A's unit then waits for its oscillator 0 to go off.
  const kavstl::vector<kavosc::SwitchoverPropagationMode_t> on(1, kavosc::PROPAGATION_ON);
  for (kavosc::OscCardSet_t set : {kavosc::OSC_CARD_SET_A, kavosc::OSC_CARD_SET_B}) {
    const ErrorData rc = handler->setPropagationMode(set, 0, on);
    std::printf("  propagation on for set %s group 0: rc=0x%08X\n", setName(set), rc.getRcWithoutLogFlag());
    if (rc != 0) ++failures;
  }
  kavosc::OscSetMode_t modeA = kavosc::OSC_SET_MODE_NONE, modeB = kavosc::OSC_SET_MODE_NONE;
  setA->readMode(modeA);
  setB->readMode(modeB);
  std::printf("  before the failure: selection 0x11, set A mode %u, set B mode %u\n", static_cast<unsigned int>(modeA),
              static_cast<unsigned int>(modeB));

  const unsigned int reportDelay = TimeScale::delayMs(OscillatorStatusHandler::kReportDelayMs);
  const size_t firmwareEntries = fw::ErrorLogRepository::machine().entries().size();
  std::vector<Line> lines;
  std::vector<TimedLogSink::Error> errors;
  Clock::time_point failed;
  bool switched = false;
  bool reported = false;
  {
    TimedLogSink log;
    TimedTraces traces;
    const bool logWasOn = ravosim::transactionLogOn();
    ravosim::setTransactionLog(true);
    ravosim::clearTransactionLog();
    auto statusReports = [&log]() {
      size_t n = 0;
      for (const TimedLogSink::Error& e : log.errors())
        if (e.rc == OscillatorStatusHandler::kStatusReport) ++n;
      return n;
    };
    std::printf("  failing oscillator %s (card 0: set A's oscillator 0)\n", kFailedOscillator);
    std::fflush(stdout);
    failed = Clock::now();
    if (!ravosim::failOscillator(kFailedOscillator)) {
      std::printf("  no oscillator %s on this machine\n", kFailedOscillator);
      ravosim::setTransactionLog(logWasOn);
      return failures + 1;
    }
    switched = waitUntil([&] { return current() == 0x22; }, static_cast<int>(reportDelay) + kAllowanceMs);
    reported = waitUntil([&] { return statusReports() > 0; }, static_cast<int>(reportDelay) + kAllowanceMs);
    // A further report would come one report delay after a later change:
    // give it the time, then let anything pending finish.
    KavPtr<OscillatorStatusHandler> status = OscillatorStatusHandler::getInstance();
    std::this_thread::sleep_for(std::chrono::milliseconds(reportDelay));
    waitUntil([&] { return status == nullptr || !status->isStatusChangePending(); },
              static_cast<int>(reportDelay) + kAllowanceMs);
    addTransactions(ravosim::readTransactionLog(), lines);
    unsigned int slot = 0;
    for (const TimedTraces::Record& r : traces.records()) {
      const std::string text = describe(r.text, slot);
      if (!text.empty()) lines.push_back({r.time, text});
    }
    errors = log.errors();
    if (ravosim::droppedTransactions() != 0)
      std::printf("  (%llu transactions dropped from the simulator's log)\n",
                  static_cast<unsigned long long>(ravosim::droppedTransactions()));
    ravosim::setTransactionLog(logWasOn);
  }
  for (const TimedLogSink::Error& e : errors) {
    std::string text = "error logged: " + (e.keys.empty() ? std::string() : e.keys + " ") + "rc=" + hex(e.rc, 8) +
                       " src=" + hex(e.src, 8);
    for (unsigned int slot : e.slots) text += " slot " + hex(slot, 2);
    if (e.asynchronous) text += " (deferred)";
    lines.push_back({e.time, text});
  }
  lines.push_back({failed, std::string("oscillator ") + kFailedOscillator + " failed"});
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.time < b.time; });
  std::printf("failover timeline (ms after the failure):\n");
  for (const Line& l : lines) std::printf("  %+10.3f  %s\n", msAfter(l.time, failed), l.text.c_str());

  // The outcome.
  setA->readMode(modeA);
  setB->readMode(modeB);
  const unsigned char after = current();
  std::printf("failover outcome: selection %s, set A mode %u, set B mode %u\n", hex(after, 2).c_str(),
              static_cast<unsigned int>(modeA), static_cast<unsigned int>(modeB));
  if (!switched || after != 0x22 || modeA != kavosc::OSC_SET_MODE_OTHER_SINGLE || modeB != kavosc::OSC_SET_MODE_SINGLE)
    ++failures;
  std::vector<TimedLogSink::Error> reports;
  for (const TimedLogSink::Error& e : errors)
    if (e.rc == OscillatorStatusHandler::kStatusReport) reports.push_back(e);
  std::printf("status reports: %zu", reports.size());
  for (const TimedLogSink::Error& e : reports)
    std::printf("; %s slot%s %.3f ms after the failure", e.keys.empty() ? hex(e.src, 8).c_str() : e.keys.c_str(),
                e.slots.empty() ? " -" : (" " + hex(e.slots.back(), 2)).c_str(), msAfter(e.time, failed));
  std::printf(" (report delay %u ms)\n", reportDelay);
  // The job thread counts whole milliseconds: a job may start up to 1 ms
  // before its delay is over.
  if (!reported || reports.size() != 1 || reports[0].keys != "OscStatusH/Error" ||
      msAfter(reports[0].time, failed) < reportDelay - 1.0)
    ++failures;
  const size_t committed = fw::ErrorLogRepository::machine().entries().size() - firmwareEntries;
  std::printf("firmware error log: %zu entries committed during the failover\n", committed);
  const bool restored = ravosim::restoreOscillator(kFailedOscillator);
  std::printf("oscillator %s %s\n", kFailedOscillator, restored ? "running again" : "not restored");
  std::fflush(stdout);
  return failures;
}
