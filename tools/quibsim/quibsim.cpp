// quibsim: the simulated service processor. It does what the firmware does
// with the library at power-on: points the library at the configuration,
// starts it for the base domain, announces the two oscillator cards,
// finishes the initial configuration, then prints the configuration state,
// the object tree, the state tables with their fields and values, each
// card's activation state, the registers of every clock-redundancy chip,
// the PLLs, the lookup-table controls and the clock domains, and what the
// library logged during the run, and stops the library. With
// --scenario failover it runs an oscillator failover on the activated cards
// first and prints its timeline (FailoverScenario).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fw/ErrorLogRepository.h"
#include "kav/cards/PowerControl.h"
#include "kav/cards/RedundantStateTable.h"
#include "kav/cards/StateTableInterface.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/clockchips/FanoutBufferHwdIcs852Sxx.h"
#include "kav/clockchips/PllHwdIcs842S02.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/pld/PldHwr.h"
#include "kav/tree/objects/HiddenChild.h"
#include "kav/hwaccess/dio/DioSignalListing.h"
#include "kav/runtime/TimeScale.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/errors/LogSink.h"
#include "kav/tree/objects/TreeListing.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/start/KavStart.h"
#include "ravo_sim_control.h"
#include "tools/quibsim/FailoverScenario.h"
#include "tools/quibsim/TreeObjects.h"

namespace {

using quibsim::collect;

const unsigned int kCardSlots[2] = {0x10, 0x11};

void usage(FILE* out) {
  std::fprintf(out,
               "usage: quibsim [options]\n"
               "\n"
               "Starts the library on the compiled configuration, announces the two\n"
               "oscillator cards (slot 0x10 = card 0, slot 0x11 = card 1), finishes the\n"
               "initial configuration, prints the configuration state and the object tree\n"
               "(one line per node: class, instance name, slot id), each state table with\n"
               "its fields and values (for a redundant table also both replicas'\n"
               "administration bytes), each card's activation state, the register dump\n"
               "of every clock-redundancy chip, each PLL's pattern, spreading and error\n"
               "flags with the machine's output clock and lock, each fanout buffer's\n"
               "outputs, each lookup-table control of the programmable logic, stops the\n"
               "library and prints what it logged during the run.\n"
               "\n"
               "options:\n"
               "  --card0 STATE     state of card 0: functional (default), donotuse, absent\n"
               "  --card1 STATE     state of card 1: functional (default), donotuse, absent\n"
               "  --domain N        base domain type 0..8 (default 0, PHE_Domain)\n"
               "  --config DIR      directory of the compiled configuration\n"
               "                    (default %s; sets FACADEXMLPATH,\n"
               "                    FACADEFILELIST is FileList.bin)\n"
               "  --time-scale F    run the library's delays at F times their length,\n"
               "                    0 < F <= 1 (sets QUIB_TIME_SCALE; default: that\n"
               "                    variable, else 1, real time)\n"
               "  --activate        activate the functional cards after the initial\n"
               "                    configuration (their activation sequence), and\n"
               "                    deactivate them before stopping\n"
               "  --scenario NAME   run a scenario after the initial configuration (with\n"
               "                    the cards activated, as --activate):\n"
               "                    failover: select set A redundantly (0x11), fail\n"
               "                    card 0's oscillator 0 (osc0.a) and wait until the\n"
               "                    library has selected set B alone (0x22) and\n"
               "                    reported the failure (OscStatusH/Error, 2 s\n"
               "                    later); print each step in ms after the failure,\n"
               "                    from the simulator's transaction log, the trace\n"
               "                    records and the log; exit status 1 unless the\n"
               "                    failover went as designed\n"
               "  --no-progress     do not print progress dots during the long waits\n"
               "  --help            this text\n"
               "\n"
               "Waits: start builds the base domain 2 s after plugging it; each card is\n"
               "built 2 s after it was announced; finishing the initial configuration\n"
               "waits for the announced cards (up to 60 s, then completion is forced) and\n"
               "pauses 2 s (10 s when forced). A time scale shortens them all alike\n"
               "(0.1: builds after 200 ms, up to 6 s for the cards, pauses of 200 ms or\n"
               "1 s); watchdog and device time-outs stay as they are. Exit status 0\n"
               "when every step succeeded.\n",
               QUIBSIM_CONFIG_DIR);
}

bool parseStatus(const char* text, kav::SlotStatus_t& status) {
  if (std::strcmp(text, "functional") == 0) {
    status = kav::e_Plugged_Functional;
  } else if (std::strcmp(text, "donotuse") == 0) {
    status = kav::e_Plugged_DoNotUse;
  } else if (std::strcmp(text, "absent") == 0) {
    status = kav::e_NotPlugged;
  } else {
    return false;
  }
  return true;
}

const char* statusText(kav::SlotStatus_t status) {
  switch (status) {
    case kav::e_Plugged_Functional:
      return "functional";
    case kav::e_Plugged_DoNotUse:
      return "do not use";
    case kav::e_NotPlugged:
      return "absent";
  }
  return "?";
}

// Prints a dot every half second while a blocking call runs, then the time
// it took.
class Progress {
 public:
  Progress(const char* what, bool enabled) : m_start(std::chrono::steady_clock::now()), m_enabled(enabled) {
    std::printf("%s ", what);
    std::fflush(stdout);
    if (m_enabled) m_thread = std::thread([this] { run(); });
  }
  ~Progress() { finish(); }
  void finish() {
    if (m_done) return;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_done = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    std::printf(" (%.1f s)\n", seconds);
    std::fflush(stdout);
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(500), [this] { return m_done; })) {
      std::printf(".");
      std::fflush(stdout);
    }
  }

  std::chrono::steady_clock::time_point m_start;
  bool m_enabled;
  bool m_done = false;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::thread m_thread;
};

std::string slotList(const std::set<unsigned int>& slots) {
  if (slots.empty()) return "none";
  std::string text;
  char buf[16];
  for (unsigned int slot : slots) {
    std::snprintf(buf, sizeof buf, "%s0x%X", text.empty() ? "" : " ", slot);
    text += buf;
  }
  return text;
}

void printTree() {
  std::vector<kav::TreeNodeInfo> nodes;
  kav::listTree(nodes);
  std::printf("object tree (%zu nodes):\n", nodes.size());
  for (const kav::TreeNodeInfo& node : nodes) {
    std::printf("  %*s%s %s slot=0x%X%s%s\n", static_cast<int>(node.depth * 2), "", node.className.c_str(),
                node.instanceName.empty() ? "-" : node.instanceName.c_str(), node.slotId, node.hidden ? " hidden" : "",
                node.configurationState == 2   ? " configured"
                : node.configurationState == 1 ? " not-configured"
                                               : "");
  }
}

// The engines of each CFAM access factory (its hardware-access children).
void printEngines() {
  std::vector<kav::TreeNodeInfo> nodes;
  kav::listTree(nodes);
  std::printf("engines:\n");
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].className != "CfamViaFsiHwa") continue;
    std::string names;
    for (size_t j = i + 1; j < nodes.size() && nodes[j].depth > nodes[i].depth; ++j) {
      const std::string& cls = nodes[j].className;
      if (nodes[j].depth != nodes[i].depth + 1 || cls.size() < 3 || cls.compare(cls.size() - 3, 3, "Hwa") != 0)
        continue;
      names += " " + (nodes[j].instanceName.empty() ? cls : nodes[j].instanceName);
    }
    std::printf("  %s slot=0x%X:%s\n", nodes[i].instanceName.empty() ? "-" : nodes[i].instanceName.c_str(),
                nodes[i].slotId, names.empty() ? " none" : names.c_str());
  }
}

const char* const kModeNames[] = {"none", "input", "pushpull", "pushpull-slow", "open-drain", "blink", "open-source"};

// Every digital signal with the state read from its pin.
void printSignals() {
  std::vector<kav::DioSignalInfo> signals;
  kav::listDioSignals(signals);
  std::printf("digital signals (%zu):\n", signals.size());
  for (const kav::DioSignalInfo& s : signals) {
    const char* mode = s.mode < sizeof(kModeNames) / sizeof(kModeNames[0]) ? kModeNames[s.mode] : "?";
    const char* polarity = s.polarity == 1 ? "active-high" : s.polarity == 2 ? "active-low" : "?";
    if (s.readRc == 0) {
      std::printf("  %s slot=0x%X pin=%u %s %s: %s\n", s.instanceName.empty() ? "-" : s.instanceName.c_str(),
                  s.slotId, s.pin, mode, polarity, s.state == 1 ? "on" : "off");
    } else {
      std::printf("  %s slot=0x%X pin=%u %s %s: not readable rc=0x%08X\n",
                  s.instanceName.empty() ? "-" : s.instanceName.c_str(), s.slotId, s.pin, mode, polarity, s.readRc);
    }
  }
}

std::string hexBytes(const std::vector<unsigned char>& bytes) {
  std::string text;
  char buf[4];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", text.empty() ? "" : " ", b);
    text += buf;
  }
  return text;
}

// Every state table with its fields and their values, read through the
// table; for a redundant table also each replica's administration byte.
void printStateTables() {
  std::vector<KavPtr<StateTableInterface>> tables = collect<StateTableInterface>();
  std::printf("state tables (%zu):\n", tables.size());
  for (const KavPtr<StateTableInterface>& table : tables) {
    const unsigned int name = table->getInstanceId();
    std::printf("  %s %s slot=0x%X\n", get_string_by_id(table->getClassId()).c_str(),
                name != 0 ? get_string_by_id(name).c_str() : "-", table->getSlotId());
    if (table->isInstanceOf(RedundantStateTable::staticGetClassId())) {
      KavPtr<RedundantStateTable> redundant(table);
      std::printf("    available=%s\n", redundant->isTableAvailable() ? "yes" : "no");
      for (unsigned int i = 0; i < RedundantStateTable::kReplicaCount; ++i) {
        unsigned char admin = 0;
        const unsigned int rc =
            redundant->readFieldSingleReplica(i, RedundantStateTable::kAdminFieldId, &admin, 1, 0).getRc();
        std::printf("    replica %u %s slot=0x%X: ", i, get_string_by_id(redundant->getReplicaRamName(i)).c_str(),
                    redundant->getReplicaSlotId(i));
        if (rc == 0)
          std::printf("administration byte %u\n", admin);
        else
          std::printf("%s rc=0x%08X\n", redundant->isReplicaInvalid(i) ? "invalid" : "not functional", rc);
      }
    }
    kavstl::vector<unsigned int> ids;
    unsigned int rc = table->getFieldIds(&ids).getRc();
    if (rc != 0) {
      std::printf("    fields not readable rc=0x%08X\n", rc);
      continue;
    }
    if (ids.empty()) std::printf("    no fields\n");
    for (unsigned int id : ids) {
      unsigned int size = 0;
      rc = table->getFieldSize(id, &size).getRc();
      std::vector<unsigned char> value(size, 0);
      if (rc == 0 && size > 0) rc = table->readField(id, value.data(), size, 0).getRc();
      if (rc == 0)
        std::printf("    %u %s (%u bytes): %s\n", id, get_string_by_id(id).c_str(), size, hexBytes(value).c_str());
      else
        std::printf("    %u %s: not readable rc=0x%08X\n", id, get_string_by_id(id).c_str(), rc);
    }
  }
}

// Keeps the last kLimit log entries (errors and events) the library hands
// over, and counts those that did not fit.
class LogRecorder : public LogSink {
 public:
  static constexpr size_t kLimit = 200;

  void errorLogged(const BaseErrorData& error, bool asynchronous) override {
    unsigned int primary = 0, secondary = 0;
    error.getKeys(primary, secondary);
    char head[160];
    std::snprintf(head, sizeof head, "error rc=0x%08X src=0x%08X keys=%s/%s%s", error.getRcWithoutLogFlag(),
                  error.getSrc(), primary == 0 ? "-" : get_string_by_id(primary).c_str(),
                  secondary == 0 ? "-" : get_string_by_id(secondary).c_str(), asynchronous ? " async" : "");
    std::string line = head;
    std::string slots;
    for (unsigned int id : error.getSlotIds()) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%s0x%X", slots.empty() ? "" : ",", id);
      slots += buf;
    }
    if (!slots.empty()) line += " slots=" + slots;
    std::string text(error.getErrorBuffer(), error.getErrorBufferLen());
    if (!text.empty()) line += " text=" + oneLine(text);
    add(line);
  }

  void eventLogged(const kavstl::string& name, const kavstl::string& text) override {
    add("event " + std::string(name.c_str()) + ": " + oneLine(std::string(text.c_str())));
  }

  void print() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::printf("log entries (%zu", m_entries.size());
    if (m_dropped != 0) std::printf(", %zu earlier ones not kept", m_dropped);
    std::printf("):\n");
    for (const std::string& e : m_entries) std::printf("  %s\n", e.c_str());
  }

 private:
  static std::string oneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
    for (char& c : text)
      if (c == '\n') c = '|';
    return text;
  }
  void add(const std::string& line) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries.size() == kLimit) {
      m_entries.pop_front();
      ++m_dropped;
    }
    m_entries.push_back(line);
  }

  std::mutex m_lock;
  std::deque<std::string> m_entries;
  size_t m_dropped = 0;
};

std::vector<KavPtr<PowerControl> > powerControls() { return collect<PowerControl>(); }

const char* const kActivationStates[] = {"deactivated", "activation running", "activated", "deactivation running"};

void printActivationStates() {
  std::vector<KavPtr<PowerControl> > cards = powerControls();
  std::printf("card activation states (%zu):\n", cards.size());
  for (const KavPtr<PowerControl>& card : cards) {
    PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
    ErrorData rc = card->getActivationState(state);
    if (rc != 0) {
      std::printf("  slot=0x%X: not readable rc=0x%08X\n", card->getSlotId(), rc.getRcWithoutLogFlag());
      continue;
    }
    bool fenced = false, powerFail = false;
    const bool flags = card->getFencedFlag(fenced) == 0 && card->getPowerFailFlag(powerFail) == 0;
    std::printf("  slot=0x%X: %u %s%s%s\n", card->getSlotId(), static_cast<unsigned int>(state),
                state < 4 ? kActivationStates[state] : "?", flags && fenced ? " fenced" : "",
                flags && powerFail ? " power-fail" : "");
  }
}

// The register dump of every clock-redundancy chip (an unpowered chip,
// on a card not activated, says why its registers are not readable).
void printCrcRegisters() {
  std::vector<KavPtr<CrcHwdIcs872Sxx>> chips = collect<CrcHwdIcs872Sxx>();
  std::printf("clock-redundancy chips (%zu):\n", chips.size());
  for (const KavPtr<CrcHwdIcs872Sxx>& chip : chips) {
    const std::string dump = chip->registerDumpAsString();
    size_t start = 0;
    while (start < dump.size()) {
      size_t end = dump.find('\n', start);
      if (end == std::string::npos) end = dump.size();
      std::printf("  %s\n", dump.substr(start, end - start).c_str());
      start = end + 1;
    }
  }
}

const char* const kSpreading[] = {"off", "up", "down", "center"};

// The device path of the port of the I2C engine a chip is linked to; empty
// when it is linked to none.
std::string portPath(const QueryBase& chip, unsigned int port) {
  unsigned int count = 0;
  KavPtr<I2cHwaInterfaceLink> link = singleHiddenChild<I2cHwaInterfaceLink>(chip, count);
  KavPtr<I2cHwaInterface> engine = link == nullptr ? KavPtr<I2cHwaInterface>() : link->getLinkTarget();
  if (engine == nullptr || !engine->isInstanceOf(I2cViaFsiHwa::staticGetClassId())) return std::string();
  const FsiEngineInfo& info = KavPtr<I2cViaFsiHwa>(engine)->getEngineInfo();
  char path[64];
  std::snprintf(path, sizeof path, "/dev/iic/L%02uC%1uE%02uP%02u", info.getPhysLinkNumber(), info.getPhysCascadeId(),
                info.getPhysEngineNumber(), port);
  return path;
}

// Every PLL as the library reads it (pattern, spreading, error flags) and
// as the machine runs it (output clock, lock), and every fanout buffer's
// output enables.
void printPlls() {
  std::vector<KavPtr<PllHwdIcs842S02>> plls = collect<PllHwdIcs842S02>();
  std::printf("PLLs (%zu):\n", plls.size());
  for (const KavPtr<PllHwdIcs842S02>& pll : plls) {
    unsigned int pattern = 0;
    ErrorData rc = pll->readPattern(pattern);
    if (rc != 0) {
      std::printf("  slot=0x%X: not readable rc=0x%08X\n", pll->getSlotId(), rc.getRcWithoutLogFlag());
      continue;
    }
    kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
    unsigned int amount = 0;
    pll->readSpreadingMode(direction, amount);
    kavstl::set<PllHwdInterface::PllErrorType_t> flags;
    pll->readErrorFlags(flags);
    std::string flagText;
    for (PllHwdInterface::PllErrorType_t f : flags) flagText += " " + std::to_string(static_cast<unsigned int>(f));
    std::printf("  slot=0x%X: pattern 0x%04X, spreading %s %u, error flags%s", pll->getSlotId(), pattern,
                direction < 4 ? kSpreading[direction] : "?", amount, flagText.empty() ? " none" : flagText.c_str());
    // The machine's side, on the port of the engine the chip is linked to.
    const std::string port = portPath(*pll, pll->getI2cAccess().getI2cInfo().port);
    const unsigned int address = pll->getI2cAccess().getI2cInfo().deviceAddress;
    ravosim::ClockSignal out;
    bool locked = false;
    if (!port.empty() && ravosim::readDeviceClock(port, address, "out", out) &&
        ravosim::readDeviceOutput(port, address, "lock", locked))
      std::printf("; machine: %u kHz%s, %s", out.running() ? out.nominalKHz : 0u, out.running() ? "" : " (stopped)",
                  locked ? "locked" : "not locked");
    std::printf("\n");
  }
  std::vector<KavPtr<FanoutBufferHwdIcs852Sxx>> buffers = collect<FanoutBufferHwdIcs852Sxx>();
  std::printf("fanout buffers (%zu):\n", buffers.size());
  for (const KavPtr<FanoutBufferHwdIcs852Sxx>& buffer : buffers) {
    unsigned int outputs = 0;
    ErrorData rc = buffer->readOutputControl(outputs);
    if (rc != 0)
      std::printf("  slot=0x%X: not readable rc=0x%08X\n", buffer->getSlotId(), rc.getRcWithoutLogFlag());
    else
      std::printf("  slot=0x%X: outputs enabled 0x%03X\n", buffer->getSlotId(), outputs);
  }
}

// Every lookup-table control of the programmable logic as the library
// reads it back (the clock domains own theirs as hidden children).
void printLookupTables() {
  std::vector<KavPtr<PldHwr>> controls = collect<PldHwr>(true);
  std::printf("lookup-table controls (%zu):\n", controls.size());
  for (const KavPtr<PldHwr>& control : controls) {
    kavPld::LookupControl_t value = kavPld::LOOKUP_CONTROL_NONE;
    ErrorData rc = control->readLookupTableControl(value);
    const std::string name = get_string_by_id(control->getInstanceId());
    if (rc != 0)
      std::printf("  %s slot=0x%X table %u: not readable rc=0x%08X\n", name.c_str(), control->getSlotId(),
                  control->getPldId(), rc.getRcWithoutLogFlag());
    else
      std::printf("  %s slot=0x%X table %u: control %u (%s)\n", name.c_str(), control->getSlotId(),
                  control->getPldId(), static_cast<unsigned int>(value), kavPld::asString(value).c_str());
  }
}

// Every clock domain: its type and mode, the speed its PLL runs (the
// pattern read back from the chip, as cycle time and frequency), the
// spreading and steering it has recorded, and whether it is defective.
void printClockDomains() {
  std::vector<KavPtr<ClockDomain>> domains = collect<ClockDomain>();
  std::printf("clock domains (%zu):\n", domains.size());
  for (const KavPtr<ClockDomain>& domain : domains) {
    std::printf("  %s slot=0x%X type %u: mode %u", get_string_by_id(domain->getInstanceId()).c_str(),
                domain->getSlotId(), static_cast<unsigned int>(domain->getClockDomainType()),
                static_cast<unsigned int>(domain->getMode()));
    KavPtr<PllHwdInterface> pll = domain->getPllDevice();
    KavPtr<PllSpeedAccessPatternBased> speed = domain->getPllSpeedAccess();
    unsigned int bits = 0;
    ErrorData rc = pll == nullptr || speed == nullptr ? ErrorData(ErrorData::NO_OVERWRITE, 0x7000)
                                                      : pll->readPattern(bits);
    PllSpeedPattern pattern;
    if (rc == 0) rc = speed->convertPllBitsToPllSpeedPattern(bits, pattern);
    unsigned int kHz = 0;
    unsigned int cycleTime = 0;
    if (rc == 0) rc = pattern.getOutputFrequencyInKhz(kHz);
    if (rc == 0) rc = pattern.getOutputCyletimeInPicoSeconds(cycleTime);
    if (rc == 0)
      std::printf(", PLL 0x%04X: cycle time %u ps (%u kHz)", bits, cycleTime, kHz);
    else
      std::printf(", PLL not readable rc=0x%08X", rc.getRcWithoutLogFlag());
    kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
    unsigned int value = 0;
    // Each read has its own result: an error value keeps its first code.
    const ErrorData spreadingRc = domain->readSpreadingValues(direction, value);
    if (spreadingRc == 0)
      std::printf(", spreading %s %u", direction < 4 ? kSpreading[direction] : "?", value);
    else
      std::printf(", spreading not readable rc=0x%08X", spreadingRc.getRcWithoutLogFlag());
    bool steering = false;
    const ErrorData steeringRc = domain->isSteeringModeActive(steering);
    if (steeringRc == 0)
      std::printf(", steering %s", steering ? "yes" : "no");
    else
      std::printf(", steering not readable rc=0x%08X", steeringRc.getRcWithoutLogFlag());
    std::printf(", defective %s\n", domain->isDefective() ? "yes" : "no");
  }
}

}  // namespace

// The entries committed to the firmware's error log of the simulated
// machine (kept in its state folder, so those of earlier runs too), oldest
// first, and what was wrong with the file if anything.
static void printFirmwareErrorLog() {
  const fw::ErrorLogRepository& repository = fw::ErrorLogRepository::machine();
  const std::vector<fw::ErrorLog> entries = repository.entries();
  std::printf("firmware error log (%zu committed entries) in %s:\n", entries.size(), repository.path().c_str());
  for (const fw::ErrorLog& e : entries)
    std::printf("  id 0x%08X: component 0x%04X reason 0x%04X module 0x%02X severity 0x%02X, %zu hardware and %zu "
                "procedure callouts, %zu software errors, %zu user data sections, %zu trace buffers\n",
                e.id(), e.component(), e.reason(), e.module(), e.severity(), e.hardwareCallouts().size(),
                e.procedureCallouts().size(), e.softwareErrors().size(), e.userData().size(), e.traces().size());
  for (const fw::ErrorLogRepository::Problem& p : repository.problems())
    std::printf("  line %u skipped: %s\n", p.line, p.message.c_str());
}

int main(int argc, char** argv) {
  kav::SlotStatus_t cards[2] = {kav::e_Plugged_Functional, kav::e_Plugged_Functional};
  unsigned int domain = 0;
  std::string configDir = QUIBSIM_CONFIG_DIR;
  bool progress = true;
  bool activate = false;
  bool failover = false;

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      usage(stdout);
      return 0;
    } else if ((std::strcmp(arg, "--card0") == 0 || std::strcmp(arg, "--card1") == 0) && hasValue) {
      if (!parseStatus(argv[++i], cards[arg[6] - '0'])) {
        std::fprintf(stderr, "quibsim: unknown card state '%s'\n", argv[i]);
        usage(stderr);
        return 2;
      }
    } else if (std::strcmp(arg, "--domain") == 0 && hasValue) {
      char* end = nullptr;
      unsigned long value = std::strtoul(argv[++i], &end, 0);
      if (end == argv[i] || *end != '\0' || value > 8) {
        std::fprintf(stderr, "quibsim: domain must be 0..8\n");
        return 2;
      }
      domain = static_cast<unsigned int>(value);
    } else if (std::strcmp(arg, "--config") == 0 && hasValue) {
      configDir = argv[++i];
    } else if (std::strcmp(arg, "--time-scale") == 0 && hasValue) {
      unsigned int factor = 0;
      if (!TimeScale::parse(argv[++i], factor)) {
        std::fprintf(stderr, "quibsim: the time scale must be a number greater than 0 and at most 1\n");
        return 2;
      }
      // The library reads it at its first delay, after this.
      setenv(TimeScale::kVariable, argv[i], 1);
    } else if (std::strcmp(arg, "--activate") == 0) {
      activate = true;
    } else if (std::strcmp(arg, "--scenario") == 0 && hasValue) {
      if (std::strcmp(argv[++i], "failover") != 0) {
        std::fprintf(stderr, "quibsim: unknown scenario '%s'\n", argv[i]);
        usage(stderr);
        return 2;
      }
      failover = true;
      activate = true;
    } else if (std::strcmp(arg, "--no-progress") == 0) {
      progress = false;
    } else {
      std::fprintf(stderr, "quibsim: unknown option '%s'\n", arg);
      usage(stderr);
      return 2;
    }
  }

  // The library reads the string-id table at the first lookup after these
  // are set.
  setenv("FACADEXMLPATH", configDir.c_str(), 1);
  setenv("FACADEFILELIST", "FileList.bin", 1);
  std::printf("configuration: %s\n", configDir.c_str());
  // The simulated machine: the default one unless RAVO_SIM_MACHINE names another.
  const char* machine = std::getenv("RAVO_SIM_MACHINE");
  if (machine == nullptr || *machine == '\0') setenv("RAVO_SIM_MACHINE", QUIBSIM_MACHINE, 1);
  std::printf("machine: %s\n", std::getenv("RAVO_SIM_MACHINE"));
  const char* scale = std::getenv(TimeScale::kVariable);
  unsigned int ignored = 0;
  if (scale != nullptr && *scale != '\0' && !TimeScale::parse(scale, ignored))
    std::fprintf(stderr, "quibsim: %s=%s is no number greater than 0 and at most 1: real time\n", TimeScale::kVariable,
                 scale);
  std::printf("time scale: %s%s\n", TimeScale::toString(TimeScale::factor()).c_str(),
              TimeScale::factor() == TimeScale::kRealTime ? " (real time)" : "");

  // Everything the library logs from here on.
  LogRecorder log;
  LogSink::install(&log);

  int failures = 0;
  const kav::DomainType_t domainType = static_cast<kav::DomainType_t>(domain);
  int rc;
  {
    std::string what = "starting the library for " + std::string(kav::asString(domainType)) + " (base domain build)";
    Progress wait(what.c_str(), progress);
    rc = kav::start(domainType, true);
  }
  std::printf("kav::start rc=0x%08X\n", static_cast<unsigned int>(rc));
  if (rc != 0) {
    ++failures;
    std::vector<kav::TreeNodeInfo> nodes;
    kav::listTree(nodes);
    if (nodes.empty()) {
      std::printf("no object tree; is the configuration in %s?\n", configDir.c_str());
      return 1;
    }
  }

  printEngines();
  printSignals();
  std::fflush(stdout);

  for (int card = 0; card < 2; ++card) {
    rc = kav::send_card_plug(kCardSlots[card], cards[card]);
    std::printf("card %d (slot 0x%X) %s: kav::send_card_plug rc=0x%08X\n", card, kCardSlots[card],
                statusText(cards[card]), static_cast<unsigned int>(rc));
    if (rc != 0) ++failures;
  }

  {
    Progress wait("finishing the initial configuration (card builds, then the pause)", progress);
    rc = kav::finish_initial_config();
  }
  std::printf("kav::finish_initial_config rc=0x%08X\n", static_cast<unsigned int>(rc));
  if (rc != 0) ++failures;

  std::set<unsigned int> functional;
  std::set<unsigned int> doNotUse;
  kav::getFunctionalCardSlots(functional);
  kav::getDoNotUseCardSlots(doNotUse);
  std::printf("configuration state: complete=%s minimum complete=%s\n", is_config_complete() ? "yes" : "no",
              is_minimum_config_complete() ? "yes" : "no");
  std::printf("functional card slots: %s\n", slotList(functional).c_str());
  std::printf("do-not-use card slots: %s\n", slotList(doNotUse).c_str());
  printEngines();
  printSignals();
  printTree();
  if (activate) {
    for (const KavPtr<PowerControl>& card : powerControls()) {
      if (functional.count(card->getSlotId()) == 0) continue;
      ErrorData activated = card->activate(false);
      std::printf("activating slot 0x%X: rc=0x%08X\n", card->getSlotId(), activated.getRcWithoutLogFlag());
      if (activated != 0) ++failures;
    }
  }
  if (failover) {
    FailoverScenario scenario;
    failures += scenario.run();
  }
  printStateTables();
  printActivationStates();
  printCrcRegisters();
  printPlls();
  printLookupTables();
  printClockDomains();
  if (activate) {
    // The machine of the next run starts at power-on, its cards unpowered:
    // they are left deactivated, as their state bytes will say.
    for (const KavPtr<PowerControl>& card : powerControls()) {
      if (functional.count(card->getSlotId()) == 0) continue;
      ErrorData deactivated = card->deactivate(false);
      std::printf("deactivating slot 0x%X: rc=0x%08X\n", card->getSlotId(), deactivated.getRcWithoutLogFlag());
      if (deactivated != 0) ++failures;
    }
  }
  // Nothing buffered may reach a process the library starts.
  std::fflush(stdout);

  {
    Progress wait("stopping the library", progress);
    rc = kav::stop();
  }
  std::printf("kav::stop rc=0x%08X\n", static_cast<unsigned int>(rc));
  if (rc != 0) ++failures;
  LogSink::install(nullptr);
  log.print();
  printFirmwareErrorLog();
  return failures == 0 ? 0 : 1;
}
