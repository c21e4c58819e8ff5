// The platform's firmware services other than the error log: timers,
// publish/subscribe, the abortable sleep, the view of the system, hardware
// targeting and CFAM access, each over the simulated machine.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fw/AbortableSleep.h"
#include "fw/CfamAccess.h"
#include "fw/ErrorLog.h"
#include "fw/EventBus.h"
#include "fw/Targeting.h"
#include "fw/TimerService.h"
#include "fw/ViewService.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char* const kMachine = R"(<machine>
  <cfam link="1" cascade="0" slot="0x10"/>
  <cfam link="2" cascade="0" slot="0x11"/>
  <firmware primary="yes" system-state="9">
    <node position="0">
      <processor position="0"><cfam-register address="0x2812" reset="0xFFFFFFFF"/></processor>
      <processor position="1" functional="no"/>
      <processor position="2"/>
    </node>
    <node position="1" functional="no">
      <processor position="0"/>
    </node>
    <oscillator-card position="0" cfam="L01C0"/>
    <oscillator-card position="1" cfam="L02C0"/>
  </firmware>
</machine>)";

// Takes a log a call returned and gives its reason and module (0 and 0
// for none); the log is deleted.
struct LogSeen {
  bool any = false;
  uint8_t module = 0;
  uint16_t reason = 0;
  uint64_t userData1 = 0;
  uint64_t userData2 = 0;
};
LogSeen take(fw::ErrorLog* log) {
  LogSeen s;
  if (log == nullptr) return s;
  s.any = true;
  s.module = log->module();
  s.reason = log->reason();
  s.userData1 = log->userData1();
  s.userData2 = log->userData2();
  fw::ErrorLog::deleteLog(log);
  return s;
}

class FwServices : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::freshSimMachine(m_state.path(), kMachine, "services.xml"));
    m_openBefore = fw::ErrorLog::openLogs();
  }
  void TearDown() override { EXPECT_EQ(fw::ErrorLog::openLogs(), m_openBefore); }
  testsupport::TempDir m_state{"fw-services"};
  unsigned m_openBefore = 0;
};

// --- timers -----------------------------------------------------------------

TEST_F(FwServices, TimersFireInTimeOrderAndNotBeforeTheirTime) {
  fw::TimerService timers;
  std::mutex lock;
  std::condition_variable done;
  std::vector<std::pair<uint32_t, Clock::time_point>> fired;
  auto record = [&](uint32_t id) {
    std::lock_guard<std::mutex> g(lock);
    fired.emplace_back(id, Clock::now());
    done.notify_all();
  };
  const Clock::time_point start = Clock::now();
  uint32_t late = 0, early = 0;
  EXPECT_FALSE(take(timers.start(60, record, late)).any);
  EXPECT_FALSE(take(timers.start(20, record, early)).any);
  EXPECT_NE(late, 0u);
  EXPECT_NE(early, late);
  EXPECT_EQ(timers.pending(), 2u);
  std::unique_lock<std::mutex> g(lock);
  ASSERT_TRUE(done.wait_for(g, std::chrono::seconds(10), [&] { return fired.size() == 2; }));
  EXPECT_EQ(fired[0].first, early);
  EXPECT_EQ(fired[1].first, late);
  EXPECT_GE(fired[0].second - start, milliseconds(20));
  EXPECT_GE(fired[1].second - start, milliseconds(60));
  EXPECT_EQ(timers.pending(), 0u);
}

TEST_F(FwServices, CancelledTimerDoesNotFire) {
  fw::TimerService timers;
  std::atomic<unsigned> calls{0};
  uint32_t cancelled = 0, marker = 0;
  ASSERT_FALSE(take(timers.start(30, [&](uint32_t) { ++calls; }, cancelled)).any);
  EXPECT_FALSE(take(timers.cancel(cancelled)).any);
  // A later timer has fired, so the cancelled one's time has passed too.
  std::promise<void> markerFired;
  ASSERT_FALSE(take(timers.start(60, [&](uint32_t) { markerFired.set_value(); }, marker)).any);
  ASSERT_EQ(markerFired.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(calls.load(), 0u);
  // Nothing left to cancel: neither the fired nor the cancelled one.
  for (uint32_t id : {marker, cancelled, 0x7777u}) {
    const LogSeen s = take(timers.cancel(id));
    EXPECT_TRUE(s.any);
    EXPECT_EQ(s.module, fw::kModuleTimerService);
    EXPECT_EQ(s.reason, ENOENT);
    EXPECT_EQ(s.userData1, id);
  }
}

TEST_F(FwServices, TimerFailures) {
  fw::TimerService timers;
  uint32_t id = 5;
  LogSeen s = take(timers.start(10, fw::TimerService::Callback(), id));
  EXPECT_EQ(s.reason, EINVAL);
  EXPECT_EQ(id, 0u);
  ravosim::failCalls("startTimer", "timer", EAGAIN, 1);
  s = take(timers.start(10, [](uint32_t) {}, id));
  EXPECT_EQ(s.reason, EAGAIN);
  ASSERT_FALSE(take(timers.start(100000, [](uint32_t) {}, id)).any);
  ravosim::failCalls("cancelTimer", "timer", EBUSY, 1);
  s = take(timers.cancel(id));
  EXPECT_EQ(s.reason, EBUSY);
  EXPECT_EQ(timers.pending(), 1u);
  EXPECT_FALSE(take(timers.cancel(id)).any);
}

TEST_F(FwServices, CancelDoesNotWaitForARunningCallback) {
  // The callback takes a lock the canceller holds: cancel must return.
  fw::TimerService timers;
  std::mutex adapterLock;
  std::promise<void> entered;
  std::atomic<bool> ran{false};
  std::unique_lock<std::mutex> held(adapterLock);
  uint32_t id = 0;
  ASSERT_FALSE(take(timers.start(1, [&](uint32_t) {
                                   entered.set_value();
                                   std::lock_guard<std::mutex> g(adapterLock);
                                   ran = true;
                                 },
                                 id))
                   .any);
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(take(timers.cancel(id)).reason, ENOENT);
  held.unlock();
  // The destructor waits for the callback that runs.
}

// --- publish/subscribe ------------------------------------------------------

TEST_F(FwServices, SubscribersGetTheirEventsOnTheBusThread) {
  fw::EventBus bus;
  std::mutex lock;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> seen;
  std::thread::id callbackThread;
  auto callback = [&](uint32_t subscriber) {
    return [&, subscriber](uint32_t event, const std::vector<uint8_t>& payload) {
      std::lock_guard<std::mutex> g(lock);
      callbackThread = std::this_thread::get_id();
      std::vector<uint8_t> p = payload;
      p.insert(p.begin(), static_cast<uint8_t>(subscriber));
      seen.emplace_back(event, p);
    };
  };
  EXPECT_FALSE(take(bus.subscribe(2, 3, callback(2))).any);
  EXPECT_FALSE(take(bus.subscribe(5, 3, callback(5))).any);
  EXPECT_FALSE(take(bus.subscribe(2, 4, callback(2))).any);
  EXPECT_TRUE(bus.subscribed(2, 3));
  bus.publish(3, {0xAA});
  bus.publish(7, {0xBB});  // nobody's
  bus.publish(4);
  bus.waitIdle();
  {
    std::lock_guard<std::mutex> g(lock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (std::pair<uint32_t, std::vector<uint8_t>>{3, {2, 0xAA}}));
    EXPECT_EQ(seen[1], (std::pair<uint32_t, std::vector<uint8_t>>{3, {5, 0xAA}}));
    EXPECT_EQ(seen[2], (std::pair<uint32_t, std::vector<uint8_t>>{4, {2}}));
    EXPECT_NE(callbackThread, std::this_thread::get_id());
    seen.clear();
  }
  EXPECT_FALSE(take(bus.unsubscribe(5, 3)).any);
  bus.publish(3, {0xCC});
  bus.waitIdle();
  std::lock_guard<std::mutex> g(lock);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].second, (std::vector<uint8_t>{2, 0xCC}));
}

TEST_F(FwServices, SubscriptionFailuresReturnLogs) {
  fw::EventBus bus;
  auto nothing = [](uint32_t, const std::vector<uint8_t>&) {};
  struct Case {
    const char* what;
    std::function<fw::ErrorLog*()> call;
    uint16_t reason;
  };
  ASSERT_FALSE(take(bus.subscribe(2, 3, nothing)).any);
  const Case cases[] = {
      {"subscribed twice", [&] { return bus.subscribe(2, 3, nothing); }, EEXIST},
      {"no callback", [&] { return bus.subscribe(2, 9, fw::EventBus::Callback()); }, EINVAL},
      {"not subscribed", [&] { return bus.unsubscribe(2, 4); }, ENOENT},
      {"injected subscribe fault",
       [&] {
         ravosim::failCalls("subscribe", "event6", EAGAIN, 1);
         return bus.subscribe(1, 6, nothing);
       },
       EAGAIN},
      {"injected unsubscribe fault",
       [&] {
         ravosim::failCalls("unsubscribe", "event3", EIO, 1);
         return bus.unsubscribe(2, 3);
       },
       EIO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LogSeen s = take(c.call());
    EXPECT_TRUE(s.any);
    EXPECT_EQ(s.module, fw::kModuleEventBus);
    EXPECT_EQ(s.reason, c.reason);
  }
  // The failed unsubscribe left the subscription.
  EXPECT_TRUE(bus.subscribed(2, 3));
  EXPECT_FALSE(bus.subscribed(1, 6));
}

TEST_F(FwServices, UnsubscribeDoesNotWaitForARunningCallback) {
  // As the adapter does it: the callback takes the lock under which the
  // subscriber unsubscribes; and a callback may unsubscribe itself.
  fw::EventBus bus;
  std::mutex adapterLock;
  std::promise<void> entered;
  std::atomic<unsigned> calls{0};
  ASSERT_FALSE(take(bus.subscribe(2, 3, [&](uint32_t, const std::vector<uint8_t>&) {
                      if (calls++ == 0) entered.set_value();
                      std::lock_guard<std::mutex> g(adapterLock);
                    }))
                   .any);
  ASSERT_FALSE(take(bus.subscribe(8, 3, [&](uint32_t, const std::vector<uint8_t>&) {
                      EXPECT_FALSE(take(bus.unsubscribe(8, 3)).any);
                    }))
                   .any);
  {
    std::lock_guard<std::mutex> g(adapterLock);
    bus.publish(3);
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(take(bus.unsubscribe(2, 3)).any);
  }
  bus.waitIdle();
  EXPECT_FALSE(bus.subscribed(8, 3));
  bus.publish(3);
  bus.waitIdle();
  EXPECT_EQ(calls.load(), 1u);
}

// --- abortable sleep --------------------------------------------------------

TEST_F(FwServices, SleepRunsItsTimeUnlessAborted) {
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(take(fw::AbortableSleep::handleSleepAbort(30, 10)).any);
  EXPECT_GE(Clock::now() - start, milliseconds(30));

  // Aborted: ends with ECANCELED long before its time, whatever its checks.
  for (uint32_t checkMs : {0u, 10u, 1000u}) {
    SCOPED_TRACE(checkMs);
    std::promise<Clock::time_point> started;
    auto sleeper = std::async(std::launch::async, [&] {
      started.set_value(Clock::now());
      return take(fw::AbortableSleep::handleSleepAbort(60000, checkMs));
    });
    const Clock::time_point began = started.get_future().get();
    // The sleep may not have begun to wait yet: abort until it ends.
    while (sleeper.wait_for(milliseconds(5)) != std::future_status::ready) fw::AbortableSleep::abortAll();
    const LogSeen s = sleeper.get();
    EXPECT_TRUE(s.any);
    EXPECT_EQ(s.module, fw::kModuleAbortableSleep);
    EXPECT_EQ(s.reason, ECANCELED);
    EXPECT_EQ(s.userData1, 60000u);
    EXPECT_LT(s.userData2, 60000u);
    EXPECT_LT(Clock::now() - began, milliseconds(60000));
  }
}

TEST_F(FwServices, SleepEndsWhenTheRoleChanges) {
  auto sleeper = std::async(std::launch::async, [] { return take(fw::AbortableSleep::handleSleepAbort(60000, 10)); });
  // Whichever role it starts with, one of the changes comes after that.
  bool primary = false;
  while (sleeper.wait_for(milliseconds(30)) != std::future_status::ready) {
    ravosim::setServiceProcessorPrimary(primary);
    primary = !primary;
  }
  const LogSeen s = sleeper.get();
  EXPECT_EQ(s.reason, EPERM);
  EXPECT_LT(s.userData2, 60000u);
  // Without checks the role does not matter.
  ravosim::setServiceProcessorPrimary(true);
  auto unchecked = std::async(std::launch::async, [] { return take(fw::AbortableSleep::handleSleepAbort(100, 0)); });
  ravosim::setServiceProcessorPrimary(false);
  EXPECT_FALSE(unchecked.get().any);
}

// --- view of the system -----------------------------------------------------

TEST_F(FwServices, ViewFollowsTheMachine) {
  EXPECT_TRUE(fw::ViewService::isKtrPrimary());
  EXPECT_EQ(fw::ViewService::systemState(), 9u);
  ravosim::setServiceProcessorPrimary(false);
  ravosim::setSystemState(4);
  EXPECT_FALSE(fw::ViewService::isKtrPrimary());
  EXPECT_EQ(fw::ViewService::systemState(), 4u);

  ravosim::setTimeOfDayOffset(3600);
  const uint64_t before = static_cast<uint64_t>(std::time(nullptr));
  uint64_t seconds = 0;
  EXPECT_FALSE(take(fw::ViewService::timeOfDay(seconds)).any);
  const uint64_t after = static_cast<uint64_t>(std::time(nullptr));
  EXPECT_GE(seconds, before + 3600);
  EXPECT_LE(seconds, after + 3600);
  ravosim::failCalls("timeOfDay", "clock", EIO, 1);
  const LogSeen s = take(fw::ViewService::timeOfDay(seconds));
  EXPECT_EQ(s.module, fw::kModuleViewService);
  EXPECT_EQ(s.reason, EIO);
  EXPECT_EQ(seconds, 0u);
}

// --- targeting and CFAM access ----------------------------------------------

std::vector<uint32_t> idsOf(const std::vector<fw::Target*>& targets) {
  std::vector<uint32_t> ids;
  for (const fw::Target* t : targets) ids.push_back(t->id());
  return ids;
}

TEST_F(FwServices, TargetListsFollowTheDescription) {
  using fw::Targeting;
  struct Case {
    const char* what;
    std::vector<fw::Target*> list;
    std::vector<uint32_t> ids;
  };
  fw::Target* node0 = Targeting::byId(0x00020000);
  ASSERT_NE(node0, nullptr);
  const Case cases[] = {
      {"all processor chips", Targeting::chips(fw::kTypeProcessor),
       {0x00050000, 0x00050001, 0x00050002, 0x00050100}},
      {"functional processor chips", Targeting::chips(fw::kTypeProcessor, Targeting::Functional),
       {0x00050000, 0x00050002, 0x00050100}},
      {"oscillator cards", Targeting::chips(fw::kTypeOscillatorCard), {0x001A0000, 0x001A0001}},
      {"functional nodes", Targeting::nodes(fw::kResourceFunctional), {0x00020000}},
      {"non-functional nodes", Targeting::nodes(fw::kResourceNonFunctional), {0x00020001}},
      {"node 0's functional chips",
       Targeting::associated(*node0, fw::kClassChip, fw::kTypeProcessor, Targeting::Functional),
       {0x00050000, 0x00050002}},
      {"no enclosure of type 5", Targeting::targets(fw::kClassEnclosure, fw::kTypeProcessor), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(idsOf(c.list), c.ids);
  }
  const fw::Target* card = Targeting::chips(fw::kTypeOscillatorCard)[1];
  EXPECT_EQ(card->targetClass(), fw::kClassChip);
  EXPECT_EQ(card->position(), 1u);
  EXPECT_EQ(card->name(), "osc-card1");
  EXPECT_EQ(Targeting::chips(fw::kTypeProcessor)[3]->parentId(), 0x00020001u);
  // A target keeps its object from list to list.
  EXPECT_EQ(Targeting::byId(0x001A0001), card);
  EXPECT_EQ(Targeting::byId(0x4711), nullptr);
  EXPECT_EQ(Targeting::byId(0), nullptr);
}

TEST_F(FwServices, PredicatesFollowRunTimeChanges) {
  using fw::Targeting;
  fw::Target* card0 = Targeting::byId(0x001A0000);
  fw::Target* chip1 = Targeting::byId(0x00050001);
  ASSERT_NE(card0, nullptr);
  ASSERT_NE(chip1, nullptr);
  struct Step {
    const char* what;
    std::function<void()> change;
    bool cardPresent, cardFunctional, chipFunctional;
  };
  const Step steps[] = {
      {"as described", [] {}, true, true, false},
      {"card pulled", [] { ravosim::removeCfam(1, 0); }, false, false, false},
      {"card back", [] { ravosim::insertCfam(1, 0); }, true, true, false},
      {"card deconfigured", [] { ravosim::setTargetFunctional(0x001A0000, false); }, true, false, false},
      {"chip repaired", [] { ravosim::setTargetFunctional(0x00050001, true); }, true, false, true},
      {"chip pulled", [] { ravosim::setTargetPresent(0x00050001, false); }, true, false, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change();
    EXPECT_EQ(Targeting::isPresent(*card0), s.cardPresent);
    EXPECT_EQ(Targeting::isFunctional(*card0), s.cardFunctional);
    EXPECT_EQ(Targeting::resourceState(*card0), s.cardFunctional  ? fw::kResourceFunctional
                                                : s.cardPresent   ? fw::kResourceNonFunctional
                                                                  : fw::kResourceAbsent);
    EXPECT_EQ(Targeting::isFunctional(*chip1), s.chipFunctional);
    const std::vector<fw::Target*> functional = Targeting::chips(fw::kTypeProcessor, Targeting::Functional);
    EXPECT_EQ(std::count(functional.begin(), functional.end(), chip1), s.chipFunctional ? 1 : 0);
  }
  // A machine without the target: not present, not functional.
  ASSERT_TRUE(ravosim::loadMachineText("<machine/>", "empty.xml").ok);
  EXPECT_FALSE(Targeting::isPresent(*card0));
  EXPECT_EQ(Targeting::resourceState(*card0), fw::kResourceAbsent);
  EXPECT_TRUE(Targeting::chips(fw::kTypeOscillatorCard).empty());
}

TEST_F(FwServices, CfamAccessOfProcessorChips) {
  fw::Target* chip0 = fw::Targeting::byId(0x00050000);
  fw::Target* chip2 = fw::Targeting::byId(0x00050002);
  fw::Target* card = fw::Targeting::byId(0x001A0000);
  ASSERT_NE(chip0, nullptr);
  ASSERT_NE(chip2, nullptr);
  ASSERT_NE(card, nullptr);
  uint32_t value = 0;
  EXPECT_FALSE(take(fw::CfamAccess::read(*chip0, 0x2812, value)).any);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(take(fw::CfamAccess::write(*chip0, 0x2812, 0x12345678)).any);
  ASSERT_TRUE(ravosim::peekCfamRegister(0x00050000, 0x2812, value));
  EXPECT_EQ(value, 0x12345678u);

  ravosim::failCalls("cfamWrite", "proc2", EIO, 1);
  struct Case {
    const char* what;
    std::function<fw::ErrorLog*()> call;
    uint16_t reason;
    uint64_t userData1, userData2;
  };
  const Case cases[] = {
      {"injected write fault", [&] { return fw::CfamAccess::write(*chip2, 0x2812, 0xABCD); }, EIO, 0x00050002,
       0x0000281200000000ull | 0xABCD},
      {"register not modelled", [&] { return fw::CfamAccess::read(*chip0, 0x1000, value); }, ENXIO, 0x00050000,
       0x0000100000000000ull},
      {"no processor chip", [&] { return fw::CfamAccess::read(*card, 0x2812, value); }, ENODEV, 0x001A0000,
       0x0000281200000000ull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    value = 0x99;
    fw::ErrorLog* log = c.call();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->kind(), fw::ErrorLog::Hardware);
    EXPECT_FALSE(log->committed());
    const LogSeen s = take(log);
    EXPECT_EQ(s.module, fw::kModuleCfamAccess);
    EXPECT_EQ(s.reason, c.reason);
    EXPECT_EQ(s.userData1, c.userData1);
    EXPECT_EQ(s.userData2, c.userData2);
  }
  EXPECT_EQ(value, 0u);  // a failed read yields 0
}

}  // namespace
