// Senders on several threads, handlers that send, register and deregister
// while deliveries run, and sources deleted while events are queued. Run
// under the tsan preset as well.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "EventTestSupport.h"
#include "kav/events/DioEvent.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/OscillatorEvent.h"
#include "kav/events/PlugEvent.h"

using namespace evtest;

namespace {

class RaceTest : public EventTest {};

// Sends until accepted; a full queue is retried.
template <class T>
long sendRetrying(EventSource<T>* source, T& e) {
  for (;;) {
    long rc = source->sendAnyEvents(e, 0, false);
    if (rc != -3) return rc;
    std::this_thread::yield();
  }
}

// Checks that the events of every sender thread arrive in its send order.
struct OrderChecker {
  std::mutex mutex;
  std::vector<unsigned> next;
  std::atomic<int> total{0};
  std::atomic<int> outOfOrder{0};
  explicit OrderChecker(unsigned threads) : next(threads, 0) {}
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent& e) {
    unsigned thread = e.getEventId() >> 16, seq = e.getEventId() & 0xFFFF;
    std::lock_guard<std::mutex> l(mutex);
    if (thread >= next.size() || next[thread] != seq) outOfOrder.fetch_add(1);
    if (thread < next.size()) next[thread] = seq + 1;
    total.fetch_add(1);
  }
};

TEST_F(RaceTest, SendersOnSeveralThreadsKeepTheirOrder) {
  constexpr unsigned kThreads = 3, kEvents = 2000;
  EventSource<DioEvent>* source = createEventSource<DioEvent>(64, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  EventRouter<DioEvent> router;
  OrderChecker checker(kThreads);
  registerForEvent(source, &router, &checker, &OrderChecker::handle, false);
  std::vector<std::thread> senders;
  for (unsigned t = 0; t < kThreads; ++t)
    senders.emplace_back([&, t] {
      for (unsigned i = 0; i < kEvents; ++i) {
        DioEvent e((t << 16) | i, 0, 0, 0);
        ASSERT_EQ(0, sendRetrying(source, e));
      }
    });
  for (auto& s : senders) s.join();
  ASSERT_TRUE(waitUntil([&] { return checker.total.load() == static_cast<int>(kThreads * kEvents); }));
  EXPECT_EQ(0, checker.outOfOrder.load());
  deleteEventSource(source);
}

// A busy handler: sends follow-up events (bounded), registers new
// registrations and deregisters older ones, its own included.
struct BusyHandler {
  EventSource<DioEvent>* source = nullptr;
  EventSource<OscillatorEvent>* other = nullptr;
  EventRouter<DioEvent>* router = nullptr;
  std::atomic<int> calls{0};
  std::atomic<int> followUps{0};
  std::mutex mutex;
  std::vector<long> mine;
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent& e, long id) {
    int n = calls.fetch_add(1);
    if (e.getP1() == 0 && followUps.fetch_add(1) < 500) {
      DioEvent f(e.getEventId(), 1, 0, 0);
      source->sendAnyEvents(f, 0, false);
      OscillatorEvent o;
      other->sendAnyEvents(o, 0, false);
    }
    if (n % 3 == 0) {
      long added = registerForEvent(source, router, this, &BusyHandler::handle, false);
      std::lock_guard<std::mutex> l(mutex);
      if (added >= 0) mine.push_back(added);
    }
    if (n % 4 == 1) {
      long victim = -1;
      {
        std::lock_guard<std::mutex> l(mutex);
        if (mine.size() > 2) {
          victim = mine.front();
          mine.erase(mine.begin());
        }
      }
      if (victim >= 0) router->deregisterFromEvent(victim);
    }
    if (n % 7 == 2) {
      {
        std::lock_guard<std::mutex> l(mutex);
        for (auto it = mine.begin(); it != mine.end(); ++it)
          if (*it == id) {
            mine.erase(it);
            break;
          }
      }
      router->deregisterFromEvent(id);  // its own, while it runs
    }
  }
};

struct Counter {
  std::atomic<int> n{0};
  void requestReference() {}
  void releaseReference() {}
  void handle(const OscillatorEvent&) { n.fetch_add(1); }
};

TEST_F(RaceTest, HandlersSendRegisterAndDeregisterWhileOthersDoTheSame) {
  EventSource<DioEvent>* source = createEventSource<DioEvent>(100, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  EventSource<OscillatorEvent>* other = createEventSource<OscillatorEvent>(100, PRIORITY_1, DEBUG_ID_NONE, 0, 4000);
  auto router = std::make_unique<EventRouter<DioEvent>>();
  EventRouter<OscillatorEvent> otherRouter;
  BusyHandler busy;
  busy.source = source;
  busy.other = other;
  busy.router = router.get();
  Counter counter;
  registerForEvent(other, &otherRouter, &counter, &Counter::handle, false);
  for (int i = 0; i < 3; ++i) {
    long id = registerForEvent(source, router.get(), &busy, &BusyHandler::handle, false);
    std::lock_guard<std::mutex> l(busy.mutex);
    busy.mine.push_back(id);
  }
  std::atomic<bool> stop{false};
  // Outside threads register and deregister on the same router meanwhile.
  std::thread churn([&] {
    Counter dummy;
    while (!stop.load()) {
      long id = registerForEvent(source, router.get(), &busy, &BusyHandler::handle, false);
      std::this_thread::yield();
      if (id >= 0) router->deregisterFromEvent(id);
      long q = registerForEvent(other, &otherRouter, &dummy, &Counter::handle, false);
      if (q >= 0) {
        otherRouter.quiesceEvent(q);
        otherRouter.wakeUpEvent(q);
        otherRouter.deregisterFromEvent(q);
      }
    }
  });
  std::vector<std::thread> senders;
  for (unsigned t = 0; t < 2; ++t)
    senders.emplace_back([&, t] {
      for (unsigned i = 0; i < 300; ++i) {
        DioEvent e(t * 1000 + i, 0, 0, 0);
        ASSERT_EQ(0, sendRetrying(source, e));
      }
    });
  for (auto& s : senders) s.join();
  // Let the follow-ups drain: a marker behind everything of priority 0.
  ASSERT_TRUE(waitUntil([&] { return source->getQueue()->getCount() == 0; }));
  stop.store(true);
  churn.join();
  EXPECT_GT(busy.calls.load(), 0);
  deleteEventSource(source);
  deleteEventSource(other);
  router.reset();
  EXPECT_GT(counter.n.load(), 0);
}

TEST_F(RaceTest, ASourceDeletedWhileEventsAreQueuedAndSendersKeepSending) {
  DispatcherHold hold;
  EventSource<DioEvent>* source = createEventSource<DioEvent>(50, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  EventRouter<DioEvent> router;
  Journal j;
  Listener<DioEvent> l(j, 1);
  long id = registerForEvent(source, &router, &l, &Listener<DioEvent>::handle, false);
  ASSERT_TRUE(hold.hold());
  std::atomic<int> accepted{0};
  std::vector<std::thread> senders;
  for (unsigned t = 0; t < 3; ++t)
    senders.emplace_back([&, t] {
      // Until the deletion refuses them; a full queue is retried.
      for (unsigned i = 0;; ++i) {
        DioEvent ev(t * 1000 + i, 0, 0, 0);
        long rc = source->sendAnyEvents(ev, 0, false);
        if (rc == -4) return;
        if (rc == 0) accepted.fetch_add(1);
        std::this_thread::yield();
      }
    });
  ASSERT_TRUE(waitUntil([&] { return accepted.load() >= 10; }));
  std::thread deleter([&] { deleteEventSource(source); });
  for (auto& s : senders) s.join();  // all saw -4: the source is deleting
  hold.release();
  deleter.join();
  EXPECT_EQ(accepted.load(), j.count.load()) << "every accepted event was delivered before the deletion ended";
  EXPECT_FALSE(router.hasSource(id));
}

TEST_F(RaceTest, WaitingSendersWakeWhenTheirSourceGoesAway) {
  DispatcherHold hold;
  EventSource<DioEvent>* source = createEventSource<DioEvent>(10, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  ASSERT_TRUE(hold.hold());
  std::atomic<long> result{1};
  std::thread waiter([&] {
    DioEvent ev(1, 0, 0, 0);
    result.store(source->sendEvents(ev, nullptr, true, -1, false));
  });
  ASSERT_TRUE(waitUntil([&] { return source->getQueue()->getCount() == 1; }));
  std::thread deleter([&] { deleteEventSource(source); });
  hold.release();
  waiter.join();
  deleter.join();
  EXPECT_EQ(0, result.load()) << "the event was delivered before the source went";
}

TEST_F(RaceTest, SendsThroughASenderThatIsBeingTerminatedAreRefusedQuietly) {
  DispatcherHold hold;
  initDioEventSender();
  DioEventSender* sender = DioEventSender::getInstance();
  EventSource<DioEvent>* source = sender->getEventSource();
  Journal j;
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  registerForEvent(source, &router, &l, &Listener<DioEvent>::handle, false);
  // The dispatcher is held, so the deletion of the source waits while the
  // senders go on; 3 x 40 events, typed and any, stay below the 250 places.
  ASSERT_TRUE(hold.hold());
  std::atomic<int> started{0};
  std::vector<std::thread> senders;
  for (unsigned t = 0; t < 3; ++t)
    senders.emplace_back([&, t] {
      for (unsigned i = 0; i < 40; ++i) {
        DioEvent ev(t * 100 + i, 0, 0, 0);
        sender->sendEvent(ev);
        started.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  ASSERT_TRUE(waitUntil([&] { return started.load() >= 3; }));
  std::thread terminator([&] { terminateDioEventSender(); });
  ASSERT_TRUE(waitUntil([&] { return !sender->isInitialised(); }));
  for (auto& s : senders) s.join();
  hold.release();
  terminator.join();
  // The process is still there: no send saw the source being deleted. What
  // was accepted before terminate was delivered before the source went.
  EXPECT_GE(j.count.load(), 3);
  DioEventSender::destroyInstance();
}


// An event type whose filter can hold the registering thread inside its
// registration, at the moment the source's registry builds the filter.
std::atomic<bool> g_filterStalled{false};
std::atomic<bool> g_filterGo{false};
thread_local bool t_stallNextFilter = false;

struct StallFilter {
  unsigned int value = 0;
  StallFilter() {
    if (!t_stallNextFilter) return;
    t_stallNextFilter = false;
    g_filterStalled.store(true);
    while (!g_filterGo.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  explicit StallFilter(unsigned int v) : value(v) {}
  bool operator==(const StallFilter& o) const { return value == o.value; }
};

struct StallEvent {
  typedef StallFilter EventType;
  unsigned int word = 0;
  explicit StallEvent(const void* data) {
    if (data != nullptr) std::memcpy(&word, data, sizeof(word));
  }
  const void* dataPointer() const { return &word; }
  unsigned int dataSize() const { return sizeof(word); }
  EventType getEventType() const { return StallFilter(word); }
};

// A router that notes when its source tells it that it goes away.
struct WitnessRouter : EventRouter<StallEvent> {
  std::atomic<bool> told{false};
  void notify(BaseEventSource* source) override {
    EventRouter<StallEvent>::notify(source);
    told.store(true);
  }
};

struct StallListener {
  void requestReference() {}
  void releaseReference() {}
  void handle(const StallEvent&) {}
};

// A registration under way while its source is deleted: it is either
// refused or reaches the routers' going-away round, so no router keeps a
// registration with the freed source.
TEST_F(RaceTest, ARegistrationUnderWayWhenItsSourceIsDeletedIsToldOrRefused) {
  for (bool any : {false, true}) {
    SCOPED_TRACE(any ? "any-registration" : "typed registration");
    g_filterStalled.store(false);
    g_filterGo.store(false);
    EventSource<StallEvent>* source = new EventSource<StallEvent>(nullptr, 0, 0, 4000);
    WitnessRouter witness;
    StallListener listener;
    ASSERT_GE(registerForEvent(source, &witness, StallFilter(1), &listener, &StallListener::handle, false), 0);
    EventRouter<StallEvent> router;
    std::atomic<long> id{-2};
    std::thread registrar([&] {
      t_stallNextFilter = true;
      id.store(any ? registerForEvent(source, &router, &listener, &StallListener::handle, false)
                   : registerForEvent(source, &router, StallFilter(2), &listener, &StallListener::handle, false));
      t_stallNextFilter = false;
    });
    ASSERT_TRUE(waitUntil([] { return g_filterStalled.load(); }));
    std::thread deleter([&] { delete source; });
    // The deletion tells the witness at once unless the registration under
    // way keeps it out of the going-away round until it is complete.
    for (int i = 0; i < 300 && !witness.told.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_filterGo.store(true);
    registrar.join();
    deleter.join();
    EXPECT_TRUE(witness.told.load());
    if (id.load() >= 0) {
      EXPECT_FALSE(router.hasSource(id.load())) << "the router still points at the deleted source";
    }
  }
}

}  // namespace
