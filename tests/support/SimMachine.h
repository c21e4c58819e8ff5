// A fresh simulated machine for a test: the state folder pointed at the
// test's own, the description loaded and the machine powered on (cold start,
// every card present, pins and registers at their reset values).
#ifndef QUIB_TESTS_SUPPORT_SIMMACHINE_H
#define QUIB_TESTS_SUPPORT_SIMMACHINE_H

#include <gtest/gtest.h>

#include <string>

#include "ravo.h"
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

// Submits one interrupt request on the GPIO handle to the context: complete
// when the pins of `high` are high or those of `low` are low.
inline ravo_aio_cb* submitGpioRequest(ravo_aio_ctx* ctx, ravo_struct* h, uint32_t high, uint32_t low,
                                      void* key = nullptr) {
  ravo_gpio_event_t ev;
  EXPECT_EQ(ravo_gpio_event_init(&ev, high, low), 0);
  ravo_aio_cb* cb = ravo_aiocb_init(key, h, 0, &ev, sizeof ev);
  EXPECT_NE(cb, nullptr);
  EXPECT_EQ(ravo_aio_ctx_submit(ctx, 1, &cb), 1);
  return cb;
}

// The next request of the context that completes within `seconds` (0: one
// that has completed already), null when none does.
inline ravo_aio_cb* nextCompletedRequest(ravo_aio_ctx* ctx, long seconds) {
  unsigned n = 0;
  ravo_aio_cb* cb = nullptr;
  timespec limit{seconds, 0};
  if (ravo_aio_ctx_wait(ctx, 1, 1, &limit, &n, &cb) != 0 || n != 1) return nullptr;
  return cb;
}

}  // namespace testsupport

#endif
