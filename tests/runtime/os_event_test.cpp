#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/scf_os.h"

namespace {

TEST(OsLocalEvent, ResetEventTimesOut) {
  IFOSRcLocalEvent ev(IFOS_EVENT_RESET);
  EXPECT_EQ(ev.waitEvent(0), IFOS_RC_EVENT_TIMEOUT);
  EXPECT_EQ(ev.waitEvent(5), IFOS_RC_EVENT_TIMEOUT);
}

TEST(OsLocalEvent, PostedEventStaysPostedUntilReset) {
  IFOSRcLocalEvent ev;
  EXPECT_EQ(ev.postEvent(), 0u);
  EXPECT_EQ(ev.waitEvent(0), 0u);
  EXPECT_EQ(ev.waitEvent(-1), 0u);
  EXPECT_EQ(ev.waitEvent(5), 0u);
  EXPECT_EQ(ev.resetEvent(), 0u);
  EXPECT_EQ(ev.waitEvent(0), IFOS_RC_EVENT_TIMEOUT);

  IFOSRcLocalEvent posted(IFOS_EVENT_POSTED);
  EXPECT_EQ(posted.waitEvent(0), 0u);
}

TEST(OsLocalEvent, PostWakesEveryWaiter) {
  IFOSRcLocalEvent ev;
  std::atomic<int> woken{0};
  std::atomic<int> failed{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (ev.waitEvent(-1) == 0) ++woken;
      else ++failed;
    });
  }
  ev.postEvent();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(failed.load(), 0);
}

TEST(OsLocalEvent, TimedWaitReturnsWhenPostedMeanwhile) {
  IFOSRcLocalEvent ev;
  std::atomic<unsigned long> rc{12345};
  std::thread t([&] { rc = ev.waitEvent(60000); });
  ev.postEvent();
  t.join();
  EXPECT_EQ(rc.load(), 0u);
}

// ---------------------------------------------------------------------------
// Events of the C layer

class OsNamedEvent : public ::testing::Test {
 protected:
  void SetUp() override { m_name = "quib_os_event_test_" + std::to_string(getpid()); }
  void TearDown() override { unlink(("/tmp/" + m_name).c_str()); }
  std::string m_name;
};

TEST_F(OsNamedEvent, PostResetAndWaitAcrossHandles) {
  scf_os_event_t* a = nullptr;
  scf_os_event_t* b = nullptr;
  ASSERT_EQ(scf_os_event_request(&a, m_name.c_str()), 0x9004);
  ASSERT_EQ(scf_os_event_request(&b, m_name.c_str()), 0x9003);
  EXPECT_EQ(scf_os_event_wait(b, 0), 0x903A);  // created reset
  EXPECT_EQ(scf_os_event_wait(b, 5), 0x903A);
  EXPECT_EQ(scf_os_event_post(a), 0);
  EXPECT_EQ(scf_os_event_wait(b, 0), 0);
  EXPECT_EQ(scf_os_event_wait(b, -1), 0);
  EXPECT_EQ(scf_os_event_reset(b), 0);
  EXPECT_EQ(scf_os_event_wait(a, 0), 0x903A);

  std::atomic<int> rc{12345};
  std::thread t([&] { rc = scf_os_event_wait(b, -1); });
  scf_os_event_post(a);
  t.join();
  EXPECT_EQ(rc.load(), 0);
  EXPECT_EQ(scf_os_event_close(b), 0);
  EXPECT_EQ(scf_os_event_close(a), 0);
}

TEST(OsPrivateEvent, WorksWithoutName) {
  scf_os_event_t* ev = nullptr;
  ASSERT_EQ(scf_os_event_create(&ev, nullptr), 0);
  EXPECT_EQ(scf_os_event_wait(ev, 0), 0x903A);
  EXPECT_EQ(scf_os_event_post(ev), 0);
  EXPECT_EQ(scf_os_event_wait(ev, 0), 0);
  EXPECT_EQ(scf_os_event_destroy(ev), 0);
}

// ---------------------------------------------------------------------------
// Clock

TEST(OsClock, ElapsedTimeNeverGoesBack) {
  IFOSRcHighResolutionClock clock;
  clock.startClock();
  uint64_t last = clock.getElapsedMicroSeconds();
  for (int i = 0; i < 1000; ++i) {
    const uint64_t ms = clock.getElapsedMilliSeconds();
    const uint64_t us = clock.getElapsedMicroSeconds();
    EXPECT_GE(us, last);
    EXPECT_LE(ms, us / 1000);
    last = us;
  }
}

}  // namespace
