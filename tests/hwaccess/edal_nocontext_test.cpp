// Digital-I/O interrupt calls of a process in which no interrupt context
// exists yet. The context lives until the process ends, so these cases run
// in a program of their own, in this order.
#include <gtest/gtest.h>

#include <string>

#include "kav/hwaccess/edal/edalDio.h"
#include "ravo_sim_control.h"

namespace {

const char* const kMachine = R"(<machine name="edal-nocontext">
  <cfam link="0" cascade="0"><gpio number="8" levels="0x1"/></cfam>
</machine>)";

TEST(EdalNoContext, CallsThatNeedTheContextRefuseAndCloseStillWorks) {
  ASSERT_TRUE(ravosim::loadMachineText(kMachine, "edal-nocontext").ok);
  std::string msg;
  EXPECT_EQ(0x5012Cu, edalDioBreakInterrupt(msg));
  EXPECT_EQ("error no aio context available", msg);

  EdalHandle* h = nullptr;
  ASSERT_EQ(0u, edalDioOpen(EdalInfo(0, 0, 8), h, msg));
  msg.clear();
  EXPECT_EQ(0x5012Cu, edalDioDisableInterrupt(h, 0xFFFFFFFFu, msg));
  EXPECT_EQ("error no aio context available", msg);
  msg.clear();
  EXPECT_EQ(0x5012Cu, edalDioResetInterruptCondition(h, 0x1, msg));
  // Nothing can be pending: the engine closes.
  EXPECT_EQ(0u, edalDioClose(h, msg)) << msg;
  EXPECT_EQ(nullptr, h);
  EXPECT_EQ(0u, ravosim::openHandles());
}

TEST(EdalNoContext, FirstEnableCreatesTheContext) {
  ASSERT_TRUE(ravosim::loadMachineText(kMachine, "edal-nocontext").ok);
  std::string msg;
  EdalHandle* h = nullptr;
  ASSERT_EQ(0u, edalDioOpen(EdalInfo(0, 0, 8), h, msg));
  // Armed before any thread waits: pin 31 is already high, so the request is
  // complete and waits for the interrupt thread.
  ASSERT_EQ(0u, edalDioEnableInterrupt(h, 0x1, 0x1, 0x9300081Fu, msg)) << msg;
  unsigned id = 0;
  ASSERT_EQ(0u, edalDioWaitForInterrupt(id, msg)) << msg;
  EXPECT_EQ(0x9300081Fu, id);
  EXPECT_EQ(0u, edalDioResetInterruptCondition(h, 0x1, msg)) << msg;
  EXPECT_EQ(0u, edalDioBreakInterrupt(msg)) << msg;
  EXPECT_EQ(0u, edalDioWaitForInterrupt(id, msg)) << msg;
  EXPECT_EQ(0u, id);
  EXPECT_EQ(0u, edalDioClose(h, msg)) << msg;
}

}  // namespace
