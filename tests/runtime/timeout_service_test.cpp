#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "kav/runtime/SortedRegistrationTokenQueue.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/runtime/TimeoutServiceRegistrationToken.h"

namespace {

// Polls until the condition holds; false after a generous cap (a hang).
bool waitUntil(const std::function<bool()>& cond) {
  for (int i = 0; i < 20000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return cond();
}

class TimeoutServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service = TimeoutService::getInstance();
    service->init(true);
  }
  void TearDown() override {
    service->terminate();
    TimeoutService::destroyInstance();
  }
  TimeoutService* service = nullptr;
};

struct TimesCase {
  unsigned factor, logMs, abendMs;
  uint64_t log, abend, execution;  // offsets from the start time; 0 = not set
};

TEST_F(TimeoutServiceTest, RegistrationTimesAreScaledAndAbendCountsFromTheLogTime) {
  const TimesCase cases[] = {
      {1, 0, 4000, 0, 4000, 4000},         // abend stage only
      {1, 3000, 1000, 3000, 4000, 3000},   // abend not beyond log: counts from the log time
      {1, 2000, 5000, 2000, 5000, 2000},   // abend beyond log: unchanged
      {1, 3000, 3000, 3000, 6000, 3000},   // equal counts as not beyond
      {3, 0, 4000, 0, 12000, 12000},       // scaled by the factor
      {3, 0, 70000, 0, 70000, 70000},      // above 60000 ms: not scaled
      {2, 30000, 70000, 60000, 70000, 60000},
      {1, 500, 0, 500, 0, 500},            // log stage only
  };
  for (const TimesCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.factor << "/" << c.logMs << "/" << c.abendMs);
    service->setTimeoutFactor(c.factor);
    TimeoutServiceRegistrationToken token("times");
    unsigned id = service->registerTimeout(&token, c.logMs, c.abendMs);
    ASSERT_NE(0u, id);
    EXPECT_EQ(id, token.getRegistrationId());
    const uint64_t start = token.getTimeoutStarttime();
    EXPECT_EQ(c.log, token.getTimeoutLog() == 0 ? 0 : token.getTimeoutLog() - start);
    EXPECT_EQ(c.abend, token.getTimeoutPabend() == 0 ? 0 : token.getTimeoutPabend() - start);
    EXPECT_EQ(c.execution, token.getExecutionTime() - start);
    EXPECT_NE(0u, token.getThreadId());
    EXPECT_TRUE(service->deleteRegistration(id));
    EXPECT_EQ(0u, token.getRegistrationId());
    EXPECT_EQ(0u, token.getThreadId());
  }
}

TEST_F(TimeoutServiceTest, RefusedRegistrations) {
  TimeoutServiceRegistrationToken token("refused");
  EXPECT_EQ(0u, service->registerTimeout(&token, 0, 0));
  EXPECT_EQ(0u, service->registerTimeout(nullptr, 0, 100));
  unsigned id = service->registerTimeout(&token, 0, 10000);
  ASSERT_NE(0u, id);
  EXPECT_EQ(0u, service->registerTimeout(&token, 0, 10000)) << "a token is registered once at a time";
  EXPECT_EQ(id, token.getRegistrationId());
  EXPECT_FALSE(service->changeRegistration(id, 0, 0)) << "both times 0 change nothing";
  EXPECT_TRUE(service->isRegistered(id));
  EXPECT_TRUE(service->deleteRegistration(id));
}

TEST_F(TimeoutServiceTest, IdsAreNeverZeroNorReusedAndDeleteAndChangeTellWhetherPending) {
  TimeoutServiceRegistrationToken a("a"), b("b");
  unsigned last = 0;
  for (int i = 0; i < 50; ++i) {
    unsigned id = service->registerTimeout(&a, 0, 10000);
    ASSERT_GT(id, last);
    last = id;
    EXPECT_TRUE(service->changeRegistration(id, 0, 20000));
    EXPECT_TRUE(service->deleteRegistration(id));
    EXPECT_FALSE(service->deleteRegistration(id)) << "second delete";
    EXPECT_FALSE(service->changeRegistration(id, 0, 1000)) << "change after delete";
  }
  EXPECT_FALSE(service->deleteRegistration(0));
  EXPECT_FALSE(service->deleteRegistration(last + 1000));
  EXPECT_FALSE(service->changeRegistration(last + 1000, 0, 1000));
  unsigned idB = service->registerTimeout(&b, 0, 10000);
  EXPECT_GT(idB, last);
  EXPECT_TRUE(service->deleteRegistration(idB));
}

TEST_F(TimeoutServiceTest, ChangeRestartsTheRegistrationWithNewTimes) {
  TimeoutServiceRegistrationToken token("change");
  unsigned id = service->registerTimeout(&token, 0, 4000);
  ASSERT_NE(0u, id);
  ASSERT_TRUE(service->changeRegistration(id, 1000, 500));
  EXPECT_EQ(id, token.getRegistrationId()) << "the id stays";
  const uint64_t start = token.getTimeoutStarttime();
  EXPECT_EQ(1000u, token.getTimeoutLog() - start);
  EXPECT_EQ(1500u, token.getTimeoutPabend() - start);
  EXPECT_EQ(token.getTimeoutLog(), token.getExecutionTime());
  EXPECT_TRUE(service->deleteRegistration(id));
}

TEST_F(TimeoutServiceTest, SuppressedAbendEndsTheRegistrationAndLogsOnce) {
  TimeoutServiceRegistrationToken token("suppressed");
  const unsigned before = service->getNumberOfLoggedTimeouts();
  unsigned id = service->registerTimeout(&token, 0, 5);
  ASSERT_NE(0u, id);
  // The error is logged just after the registration ended.
  ASSERT_TRUE(waitUntil([&] { return !service->isRegistered(id) && service->getNumberOfLoggedTimeouts() > before; }));
  EXPECT_EQ(before + 1, service->getNumberOfLoggedTimeouts());
  EXPECT_EQ(0u, token.getRegistrationId());
  EXPECT_EQ(0u, token.getThreadId());
  EXPECT_FALSE(service->deleteRegistration(id)) << "an expired registration is not pending";
  // The token can be registered again and gets a new id.
  unsigned again = service->registerTimeout(&token, 0, 10000);
  EXPECT_GT(again, id);
  EXPECT_TRUE(service->deleteRegistration(again));
}

TEST_F(TimeoutServiceTest, LogStageLogsOnlyWhenNoAbendTimeFollows) {
  struct Case {
    unsigned logMs, abendMs, logged;
  } const cases[] = {{5, 0, 1}, {5, 5, 1}, {3, 10, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.logMs << "/" << c.abendMs);
    TimeoutServiceRegistrationToken token("stages");
    const unsigned before = service->getNumberOfLoggedTimeouts();
    unsigned id = service->registerTimeout(&token, c.logMs, c.abendMs);
    ASSERT_NE(0u, id);
    ASSERT_TRUE(waitUntil(
        [&] { return !service->isRegistered(id) && service->getNumberOfLoggedTimeouts() >= before + c.logged; }));
    EXPECT_EQ(before + c.logged, service->getNumberOfLoggedTimeouts());
  }
}

TEST_F(TimeoutServiceTest, AnEarlierRegistrationWakesTheSleepingService) {
  // The service sleeps until the far time of `far`; `near` becomes the
  // first and must be served long before.
  TimeoutServiceRegistrationToken far("far"), near("near");
  unsigned farId = service->registerTimeout(&far, 0, 60000);
  ASSERT_NE(0u, farId);
  // Let the service go to sleep on the far time.
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  unsigned nearId = service->registerTimeout(&near, 0, 5);
  ASSERT_TRUE(waitUntil([&] { return !service->isRegistered(nearId); }));
  EXPECT_TRUE(service->isRegistered(farId));
  EXPECT_TRUE(service->deleteRegistration(farId));
}

TEST_F(TimeoutServiceTest, FactorAndAbendSwitches) {
  unsigned f = 0;
  service->setTimeoutFactor(0);
  service->getTimeoutFactor(&f);
  EXPECT_EQ(1u, f) << "0 stores 1";
  service->setTimeoutFactor(7);
  service->getTimeoutFactor(&f);
  EXPECT_EQ(7u, f);
  EXPECT_FALSE(service->isPAbendEnabled()) << "initialised with suppressed abends";
  service->enablePAbend();
  EXPECT_TRUE(service->isPAbendEnabled());
  service->disablePAbend();
  EXPECT_FALSE(service->isPAbendEnabled());
  EXPECT_DEATH(service->getTimeoutFactor(nullptr), "percAbend: reason=0x0000F0D1");
}

TEST_F(TimeoutServiceTest, ConcurrentRegistrationsGetDistinctIds) {
  constexpr int kThreads = 4, kRounds = 300;
  std::vector<std::vector<unsigned>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      TimeoutServiceRegistrationToken token("concurrent");
      for (int i = 0; i < kRounds; ++i) {
        // Every fourth registration is left to expire.
        unsigned id = service->registerTimeout(&token, 0, (i % 4 == 0) ? 1 : 10000);
        if (id == 0) continue;  // the previous one had not ended yet
        ids[t].push_back(id);
        service->changeRegistration(id, 0, (i % 4 == 0) ? 1 : 20000);
        if (i % 4 != 0)
          EXPECT_TRUE(service->deleteRegistration(id));
        else
          waitUntil([&] { return !service->isRegistered(id); });
      }
    });
  for (auto& th : threads) th.join();
  std::set<unsigned> all;
  size_t n = 0;
  for (auto& v : ids) {
    n += v.size();
    all.insert(v.begin(), v.end());
  }
  EXPECT_EQ(n, all.size());
  EXPECT_EQ(0u, all.count(0));
}

TEST_F(TimeoutServiceTest, TerminateClearsPendingTokensAndLaterCallsAreRefusedQuietly) {
  TimeoutServiceRegistrationToken token("pending");
  unsigned id = service->registerTimeout(&token, 0, 10000);
  ASSERT_NE(0u, id);
  service->terminate();
  EXPECT_EQ(0u, token.getRegistrationId());
  EXPECT_EQ(0u, token.getThreadId());
  EXPECT_EQ(nullptr, token.getNextInQueue());
  TimeoutServiceRegistrationToken other("after");
  EXPECT_EQ(0u, service->registerTimeout(&other, 0, 1000));
  EXPECT_FALSE(service->changeRegistration(id, 0, 1000));
  EXPECT_FALSE(service->deleteRegistration(id));
  // init after terminate starts the service again.
  service->init(true);
  unsigned again = service->registerTimeout(&other, 0, 1000);
  EXPECT_NE(0u, again);
  EXPECT_TRUE(service->deleteRegistration(again));
}

TEST_F(TimeoutServiceTest, TerminateRightAfterInitOrAWakeUpStopsTheThread) {
  // A terminate that comes while the thread is between its loop check and
  // its wait must still stop it; a lost wake-up hangs here.
  TimeoutServiceRegistrationToken token("cycle");
  for (int i = 0; i < 300; ++i) {
    if (i % 3 != 0) {
      ASSERT_NE(0u, service->registerTimeout(&token, 0, i % 3 == 1 ? 10000 : 1));
    }
    service->terminate();
    EXPECT_EQ(0u, token.getRegistrationId());
    service->init(true);
  }
}

// Registrations, changes and deletions from several threads while the
// service is terminated: each call is either served or refused quietly,
// never run against the mutex and event that terminate destroys.
TEST_F(TimeoutServiceTest, CallsRacingTerminateAreServedOrRefused) {
  constexpr int kCycles = 150;
  constexpr unsigned kThreads = 4;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    // The tokens outlive terminate, which clears those still pending.
    std::vector<std::unique_ptr<TimeoutServiceRegistrationToken>> tokens;
    for (unsigned t = 0; t < kThreads; ++t) tokens.push_back(std::make_unique<TimeoutServiceRegistrationToken>("race"));
    std::atomic<unsigned> calls{0};
    std::vector<std::thread> callers;
    for (unsigned t = 0; t < kThreads; ++t)
      callers.emplace_back([&, t] {
        for (;;) {
          unsigned id = service->registerTimeout(tokens[t].get(), 0, 60000);
          if (id == 0) return;  // refused: terminated
          service->changeRegistration(id, 0, 50000);
          service->deleteRegistration(id);
          calls.fetch_add(1);
        }
      });
    ASSERT_TRUE(waitUntil([&] { return calls.load() >= 4 * kThreads; }));
    service->terminate();
    for (auto& c : callers) c.join();
    for (const auto& token : tokens) EXPECT_EQ(0u, token->getRegistrationId());
    service->init(true);
  }
}

TEST(TimeoutServiceDeathTest, OverrunOfTheAbendTimeEndsTheProcess) {
  EXPECT_DEATH(
      {
        TimeoutService* s = TimeoutService::getInstance();
        s->init(false);
        TimeoutServiceRegistrationToken token("hanging work");
        s->registerTimeout(&token, 0, 5);
        for (int i = 0; i < 20000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      "percAbend: reason=0x0000F0D1(.|\n)*TimeoutService: abend [0-9]+,hanging work");
}

TEST(TimeoutServiceDeathTest, CallsBeforeInitEndTheProcess) {
  TimeoutServiceRegistrationToken token("early");
  EXPECT_DEATH(TimeoutService::getInstance()->registerTimeout(&token, 0, 1000), "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(TimeoutService::getInstance()->changeRegistration(1, 0, 1000), "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(TimeoutService::getInstance()->deleteRegistration(1), "percAbend: reason=0x0000F0D1");
}

TEST(SortedRegistrationTokenQueueTest, EqualTimesKeepInsertionOrderAndNewHeadIsReported) {
  SortedRegistrationTokenQueue q;
  struct Case {
    unsigned id;
    uint64_t time;
    bool newHead;
  } const inserts[] = {{1, 50, true}, {2, 50, false}, {3, 10, true}, {4, 50, false}, {5, 10, false}, {6, 99, false}};
  std::vector<std::unique_ptr<TimeoutServiceRegistrationToken>> tokens;
  for (const Case& c : inserts) {
    tokens.emplace_back(new TimeoutServiceRegistrationToken("t"));
    tokens.back()->setRegistrationId(c.id);
    tokens.back()->setExecutionTime(c.time);
    bool head = !c.newHead;
    q.insertRegistrationToken(tokens.back().get(), &head);
    EXPECT_EQ(c.newHead, head) << c.id;
  }
  EXPECT_EQ(4u, q.removeRegistrationToken(4)->getRegistrationId());
  EXPECT_EQ(nullptr, q.removeRegistrationToken(4));
  const unsigned expected[] = {3, 5, 1, 2, 6};
  for (unsigned id : expected) {
    ASSERT_NE(nullptr, q.getRegistrationToken());
    EXPECT_EQ(id, q.getRegistrationToken()->getRegistrationId());
    TimeoutServiceRegistrationToken* t = q.removeRegistrationToken();
    EXPECT_EQ(id, t->getRegistrationId());
    EXPECT_EQ(nullptr, t->getNextInQueue());
  }
  EXPECT_EQ(nullptr, q.removeRegistrationToken());
  EXPECT_DEATH(q.insertRegistrationToken(nullptr, nullptr), "percAbend: reason=0x0000F0D1");
}

}  // namespace
