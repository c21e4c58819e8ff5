// A fresh simulated machine for a test: the state folder pointed at the
// test's own, the description loaded and the machine powered on (cold start,
// every card present, pins and registers at their reset values).
#ifndef QUIB_TESTS_SUPPORT_SIMMACHINE_H
#define QUIB_TESTS_SUPPORT_SIMMACHINE_H

#include <gtest/gtest.h>

#include <string>

#include "ravo_sim_control.h"

namespace testsupport {

inline ::testing::AssertionResult freshSimMachine(const std::string& stateDir, const char* xml, const char* name) {
  if (stateDir.empty()) return ::testing::AssertionFailure() << "no state folder for " << name;
  ravosim::setStateDir(stateDir);
  const ravosim::LoadResult r = ravosim::loadMachineText(xml, name);
  if (!r.ok) return ::testing::AssertionFailure() << r.message;
  ravosim::resetMachine();
  return ::testing::AssertionSuccess();
}

}  // namespace testsupport

#endif
