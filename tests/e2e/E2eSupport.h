// Shared helpers of the end-to-end tests: they drive the library only
// through its exported functions and look at the tree through kav::listTree.
#ifndef TESTS_E2E_E2ESUPPORT_H
#define TESTS_E2E_E2ESUPPORT_H

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kav/tree/KavStart.h"
#include "kav/tree/TreeListing.h"

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

inline unsigned int code(int rc) { return static_cast<unsigned int>(rc) & 0x7FFFFFFFu; }

}  // namespace e2e

#endif
