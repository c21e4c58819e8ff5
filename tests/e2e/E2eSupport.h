// Shared helpers of the end-to-end tests: they drive the library only
// through its exported functions and look at the tree through kav::listTree.
#ifndef TESTS_E2E_E2ESUPPORT_H
#define TESTS_E2E_E2ESUPPORT_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/runtime/TimeScale.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeListing.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/start/KavStart.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TraceRecorder.h"

namespace e2e {

const unsigned int kBaseDomain = 0x10000;
const unsigned int kCard0 = 0x10;
const unsigned int kCard1 = 0x11;

inline std::string configDir() {
  const char* build = std::getenv("QUIB_BUILD_DIR");
  return std::string(build != nullptr ? build : ".") + "/config";
}

// Points the library at the built configuration unless the environment
// names one; the library reads its string-id table at the first lookup
// after the variables are set.
inline bool ensureConfigEnvironment() {
  if (std::getenv("FACADEXMLPATH") == nullptr) setenv("FACADEXMLPATH", configDir().c_str(), 1);
  if (std::getenv("FACADEFILELIST") == nullptr) setenv("FACADEFILELIST", "FileList.bin", 1);
  return true;
}

inline const bool kConfigEnvironment = ensureConfigEnvironment();

// The configuration expects the engines of the default simulated machine
// (loaded on the first ravo call); its persistent state stays per process.
inline bool useDefaultMachine() {
  const char* source = std::getenv("QUIB_SOURCE_DIR");
  const std::string machine = std::string(source != nullptr ? source : "..") + "/config/machine/default.xml";
  setenv("RAVO_SIM_MACHINE", machine.c_str(), 0);
  // A state folder of this process's own is removed when the process ends.
  struct StateDir {
    std::string path;
    ~StateDir() {
      if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
      }
    }
  };
  static StateDir own;
  if (std::getenv("RAVO_SIM_STATE_DIR") == nullptr) {
    own.path = "/tmp/quib-test-state-" + std::to_string(getpid());
    setenv("RAVO_SIM_STATE_DIR", own.path.c_str(), 1);
  }
  return true;
}

inline const bool kDefaultMachine = useDefaultMachine();

inline std::vector<kav::TreeNodeInfo> tree() {
  std::vector<kav::TreeNodeInfo> nodes;
  kav::listTree(nodes);
  return nodes;
}

// 2 configured, 1 not configured, 0 no such slot.
inline unsigned int slotState(unsigned int slotId) {
  for (const kav::TreeNodeInfo& n : tree())
    if (n.className == "Slot" && n.slotId == slotId) return n.configurationState;
  return 0;
}

// The mask of a GPIO pin in a raw level word (bit 31 = pin 0).
inline unsigned bit(unsigned pin) { return 0x80000000u >> pin; }

// The slot's content is built and the container list, through which the
// exported functions find engines, has heard of it (its configuration
// event is delivered after the slot's state changed).
inline bool configured(unsigned int slotId) {
  return slotState(slotId) == 2 && ContainerList::getContainer(slotId) != nullptr;
}

const unsigned int kAnyName = 0;
const unsigned int kAnySlot = 0xFFFFFFFFu;

template <class T>
KavPtr<T> findObjectIn(const KavPtr<QueryBase>& node, unsigned int nameId, unsigned int slotId, bool withHidden) {
  if (node->isInstanceOf(T::staticGetClassId()) && (nameId == kAnyName || node->getInstanceId() == nameId) &&
      (slotId == kAnySlot || node->getSlotId() == slotId))
    return KavPtr<T>(node);
  for (const KavPtr<QueryBase>& child : node->getChildren()) {
    KavPtr<T> found = findObjectIn<T>(child, nameId, slotId, withHidden);
    if (found != nullptr) return found;
  }
  if (withHidden)
    for (const KavPtr<QueryBase>& child : node->getHiddenChildren()) {
      KavPtr<T> found = findObjectIn<T>(child, nameId, slotId, withHidden);
      if (found != nullptr) return found;
    }
  return KavPtr<T>();
}

// The first object of class T in the tree with that instance name and slot
// id (hidden children after the visible ones, when asked for), found by a
// walk of the tree from its root.
template <class T>
KavPtr<T> findObject(unsigned int nameId, unsigned int slotId, bool withHidden = false) {
  KavPtr<QueryBase> root = get_tree_root();
  return root == nullptr ? KavPtr<T>() : findObjectIn<T>(root, nameId, slotId, withHidden);
}

inline unsigned int countNodes(const std::string& instanceName, unsigned int slotId) {
  unsigned int count = 0;
  for (const kav::TreeNodeInfo& n : tree())
    if (n.instanceName == instanceName && n.slotId == slotId) ++count;
  return count;
}

// Polls the condition until it holds or the limit passes.
template <class F>
bool waitFor(F condition, int limitMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Starts the library for the base domain and plugs both cards; returns
// (with a failure recorded) unless both are configured.
inline void startWithBothCards() {
  ASSERT_EQ(0, kav::start(kav::PHE_Domain, true));
  ASSERT_EQ(0, kav::send_card_plug(kCard0, kav::e_Plugged_Functional));
  ASSERT_EQ(0, kav::send_card_plug(kCard1, kav::e_Plugged_Functional));
  ASSERT_TRUE(waitFor([] { return configured(kCard0) && configured(kCard1); }));
}

// Both cards configured, and card 0 activated: its supply and clock chips
// are on.
inline void startWithCard0Activated() {
  startWithBothCards();
  if (::testing::Test::HasFatalFailure()) return;
  KavPtr<PowerControl> card = findObject<PowerControl>(kAnyName, kCard0);
  ASSERT_TRUE(card != nullptr);
  ASSERT_EQ(0u, card->activate(false).getRc());
}

inline unsigned int code(int rc) { return static_cast<unsigned int>(rc) & 0x7FFFFFFFu; }

// ---- delays, checked on the timestamps of the library's trace records ----
//
// The tests run at the time scale the test environment sets (QUIB_TIME_SCALE,
// tests/CMakeLists.txt); a delay of the design is expected at that scale.

inline unsigned int scaled(unsigned int ms) { return TimeScale::delayMs(ms); }

// The records the delay checks look at, from the start of the program on.
inline testsupport::TraceRecorder& traces() {
  static testsupport::TraceRecorder recorder(
      {"FruBuilder: slot ", "AsynchFruBuilder::execute ", "kav::finish_initial_config"});
  return recorder;
}
inline const bool kTracesRecorded = (traces(), true);

// Forgets the records so far, so that what is looked for next is new.
inline void clearTraces() { traces().clear(); }

// The last record of the buffer that begins with `prefix`.
inline bool lastTrace(const char* buffer, const std::string& prefix, testsupport::TracedRecord& out) {
  bool found = false;
  for (testsupport::TracedRecord& r : traces().records())
    if (r.buffer == buffer && r.text.compare(0, prefix.size(), prefix) == 0) {
      out = r;
      found = true;
    }
  return found;
}

// A card build as the trace shows it: a job the slot's FRU builder
// scheduled, the delay it asked for, when it handed the job over and when
// the job began (0 while it has not).
struct BuildTiming {
  unsigned int job = 0;
  unsigned int delayMs = 0;
  uint64_t scheduledUs = 0;
  uint64_t startedUs = 0;
  double measuredMs() const { return static_cast<double>(startedUs - scheduledUs) / 1000.0; }
};

// Every build job of the slot recorded, in the order scheduled. The builder
// traces the delay before it hands the job over and the job's id after, so a
// job without delay may begin before its id is traced.
inline std::vector<BuildTiming> builds(unsigned int slotId) {
  char slot[40];
  std::snprintf(slot, sizeof slot, "FruBuilder: slot 0x%08X build ", slotId);
  const std::string scheduled = std::string(slot) + "in ";
  const std::string identified = std::string(slot) + "job ";
  const std::string started("AsynchFruBuilder::execute job=");
  std::vector<BuildTiming> out;
  std::vector<std::pair<unsigned int, uint64_t>> starts;
  for (const testsupport::TracedRecord& r : traces().records()) {
    BuildTiming b;
    unsigned int job = 0;
    if (r.text.compare(0, scheduled.size(), scheduled) == 0 &&
        std::sscanf(r.text.c_str() + scheduled.size(), "%u ms", &b.delayMs) == 1) {
      b.scheduledUs = r.us;
      out.push_back(b);
    } else if (r.text.compare(0, identified.size(), identified) == 0 &&
               std::sscanf(r.text.c_str() + identified.size(), "%u", &job) == 1) {
      if (!out.empty() && out.back().job == 0) out.back().job = job;
    } else if (r.text.compare(0, started.size(), started) == 0 &&
               std::sscanf(r.text.c_str() + started.size(), "%u ", &job) == 1) {
      starts.emplace_back(job, r.us);
    }
  }
  for (BuildTiming& b : out)
    for (const auto& s : starts)
      if (b.job != 0 && s.first == b.job) b.startedUs = s.second;
  return out;
}

// Waits until the last build job the slot's builder scheduled has begun.
inline bool waitForBuild(unsigned int slotId, BuildTiming& out, int limitMs = 20000) {
  return waitFor(
      [&] {
        const std::vector<BuildTiming> all = builds(slotId);
        if (all.empty() || all.back().startedUs == 0) return false;
        out = all.back();
        return true;
      },
      limitMs);
}

// Whether a delay measured between two trace records is the delay asked for:
// not shorter (the library counts whole milliseconds, so up to 1 ms less), and
// not longer than a generous allowance for a loaded machine.
inline ::testing::AssertionResult tookAbout(double measuredMs, unsigned int expectedMs) {
  const double allowanceMs = 1000.0;
  if (measuredMs >= expectedMs - 1.0 && measuredMs < expectedMs + allowanceMs)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "took " << measuredMs << " ms, expected " << expectedMs << " ms";
}

// The events a chip of slot 0x10 reported, one per part of the oscillator
// status handler's entries: each round of changes is one entry (code
// 0x7014) with one part per change, "SlotId=0x00000010   " and the change's
// text; the parts whose text holds `marker` (" - On Pll '", " - On Crc '"),
// each with its entry's SRC and log kind.
inline std::vector<testsupport::LoggedError> statusReportParts(const testsupport::RecordingLogSink& log,
                                                              const std::string& marker) {
  const std::string part = "SlotId=0x00000010   ";
  std::vector<testsupport::LoggedError> out;
  for (const testsupport::LoggedError& e : log.errorsWithRc(0x7014u)) {
    for (size_t at = e.text.find(part); at != std::string::npos;) {
      const size_t next = e.text.find(part, at + part.size());
      testsupport::LoggedError one = e;
      one.text = e.text.substr(at + part.size(), next == std::string::npos ? std::string::npos : next - at - part.size());
      if (one.text.find(marker) != std::string::npos) out.push_back(one);
      at = next;
    }
  }
  return out;
}

}  // namespace e2e

#endif
