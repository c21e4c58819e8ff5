#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "EventTestSupport.h"
#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/DioEvent.h"
#include "kav/events/EventDebug.h"
#include "kav/events/EventMemberParameterCallback.h"
#include "kav/events/OscillatorEvent.h"
#include "kav/events/PlugEvent.h"

using namespace evtest;

namespace {

class DeliveryTest : public EventTest {};

template <class T>
EventSource<T>* makeSource(Priority_t p, long size = 20, DebugIdSource_t debugId = DEBUG_ID_NONE) {
  return createEventSource<T>(size, p, debugId, 0, 4000);
}

TEST_F(DeliveryTest, TypedSendReachesOnlyMatchingRegistrationsInRegistrationOrder) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  EventRouter<DioEvent> router;
  Listener<DioEvent> a(j, 1), b(j, 2), c(j, 3), any(j, 4);
  ASSERT_EQ(0, registerForEvent(source, &router, 7u, &a, &Listener<DioEvent>::handle, false));
  ASSERT_EQ(1, registerForEvent(source, &router, 8u, &b, &Listener<DioEvent>::handle, false));
  ASSERT_EQ(2, registerForEvent(source, &router, 7u, &c, &Listener<DioEvent>::handle, false));
  ASSERT_EQ(3, registerForEvent(source, &router, &any, &Listener<DioEvent>::handle, false));
  DioEvent e7(7, 0, 0, 0), e8(8, 0, 0, 0), e9(9, 0, 0, 0);
  EXPECT_EQ(0, source->sendEvents(e7, 7u, 0, false));
  EXPECT_EQ(0, source->sendEvents(e8, 8u, 0, false));
  EXPECT_EQ(0, source->sendEvents(e9, 9u, 0, false));
  EXPECT_EQ(0, source->sendAnyEvents(e9, 0, false));
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 4; }));
  // Everything later sent behind a marker has been delivered once the marker is.
  EXPECT_EQ((std::vector<std::pair<int, unsigned>>{{1, 7}, {3, 7}, {2, 8}, {4, 9}}), j.get());
  deleteEventSource(source);
}

TEST_F(DeliveryTest, ConfigChangeRegistrationsMatchWithWildcards) {
  Journal j;
  EventSource<ConfigChangeEvent>* source = makeSource<ConfigChangeEvent>(PRIORITY_1);
  EventRouter<ConfigChangeEvent> router;
  Listener<ConfigChangeEvent> configOf5(j, 1), eitherOf5(j, 2), anyUnconfig(j, 3);
  registerForEvent(source, &router, ConfigChangeEvent::EventType_s{5, 0}, &configOf5,
                   &Listener<ConfigChangeEvent>::handle, false);
  registerForEvent(source, &router, ConfigChangeEvent::EventType_s{5, 2}, &eitherOf5,
                   &Listener<ConfigChangeEvent>::handle, false);
  registerForEvent(source, &router, ConfigChangeEvent::EventType_s{0, 1}, &anyUnconfig,
                   &Listener<ConfigChangeEvent>::handle, false);
  const ConfigChangeEvent events[] = {{5, ConfigChangeEvent::CONFIGURED},
                                      {5, ConfigChangeEvent::UNCONFIGURED},
                                      {6, ConfigChangeEvent::UNCONFIGURED},
                                      {6, ConfigChangeEvent::CONFIGURED}};
  for (ConfigChangeEvent e : events) EXPECT_EQ(0, source->sendEvents(e, e.getEventType(), 0, false));
  // A final marker that everybody with slot 5 sees.
  ConfigChangeEvent marker(5, ConfigChangeEvent::UNCONFIGURED);
  source->sendEvents(marker, marker.getEventType(), 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.values(2).size() == 3; }));
  EXPECT_EQ((std::vector<unsigned>{5}), j.values(1));
  EXPECT_EQ((std::vector<unsigned>{5, 5, 5}), j.values(2));
  EXPECT_EQ((std::vector<unsigned>{5, 6, 5}), j.values(3));
  deleteEventSource(source);
}

TEST_F(DeliveryTest, AppendOrderHoldsAcrossSourcesOfOneDispatcherAndDispatchersAreIndependent) {
  Journal j;
  EventSource<DioEvent>* dio = makeSource<DioEvent>(PRIORITY_0);
  EventSource<OscillatorEvent>* osc = makeSource<OscillatorEvent>(PRIORITY_0);
  EventSource<PlugEvent>* plug = makeSource<PlugEvent>(PRIORITY_1);
  EventRouter<DioEvent> dioRouter;
  EventRouter<OscillatorEvent> oscRouter;
  EventRouter<PlugEvent> plugRouter;
  Gate<DioEvent> gate;
  Listener<DioEvent> dioListener(j, 1);
  Listener<OscillatorEvent> oscListener(j, 2);
  Listener<PlugEvent> plugListener(j, 3);
  registerForEvent(dio, &dioRouter, 0u, &gate, &Gate<DioEvent>::handle, false);
  registerForEvent(dio, &dioRouter, &dioListener, &Listener<DioEvent>::handle, false);
  registerForEvent(osc, &oscRouter, &oscListener, &Listener<OscillatorEvent>::handle, false);
  registerForEvent(plug, &plugRouter, 4u, &plugListener, &Listener<PlugEvent>::handle, false);

  DioEvent hold(0, 0, 0, 0);
  dio->sendEvents(hold, 0u, 0, false);
  ASSERT_TRUE(waitUntil([&] { return gate.entered.load(); }));
  // Priority 0 is held; these queue up behind the gate in append order.
  for (unsigned i = 1; i <= 6; ++i) {
    if (i % 2) {
      DioEvent e(100 + i, 0, 0, 0);
      ASSERT_EQ(0, dio->sendAnyEvents(e, 0, false));
    } else {
      OscillatorEvent e(static_cast<OscillatorEvent::EventType>(100 + i), 0);
      ASSERT_EQ(0, osc->sendAnyEvents(e, 0, false));
    }
  }
  // Priority 1 is not held by priority 0.
  PlugEvent p(4, 1, PlugEvent::PLUG);
  plug->sendEvents(p, 4u, 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.values(3).size() == 1; }));
  EXPECT_EQ(1, j.count.load()) << "nothing of priority 0 passed the gate";
  gate.open.store(true);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 7; }));
  std::vector<std::pair<int, unsigned>> expected = {{3, 4}, {1, 101}, {2, 102}, {1, 103}, {2, 104}, {1, 105}, {2, 106}};
  EXPECT_EQ(expected, j.get());
  deleteEventSource(dio);
  deleteEventSource(osc);
  deleteEventSource(plug);
}

TEST_F(DeliveryTest, RouterIdsFillTheLeadingRunOnly) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  auto reg = [&] { return registerForEvent(source, &router, 1u, &l, &Listener<DioEvent>::handle, false); };
  EXPECT_EQ(0, reg());
  EXPECT_EQ(1, reg());
  EXPECT_EQ(2, reg());
  EXPECT_EQ(0, router.deregisterFromEvent(1));
  EXPECT_EQ(1, reg()) << "a freed id inside the leading run is reused";
  EXPECT_EQ(3, reg());
  EXPECT_EQ(0, router.deregisterFromEvent(0));
  EXPECT_EQ(4, reg()) << "an id below the head is not reused";
  EXPECT_EQ(-1, router.deregisterFromEvent(0));
  EXPECT_EQ(-1, router.quiesceEvent(42));
  EXPECT_EQ(-1, router.wakeUpEvent(42));
  EXPECT_EQ(4u, router.getNumberOfRegistrations());
  EXPECT_EQ(4u, source->getNumberOfRegistrations());
  deleteEventSource(source);
}

TEST_F(DeliveryTest, QuiescedRegistrationsAreSkippedUntilWokenUp) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  EventRouter<DioEvent> router;
  Listener<DioEvent> quiet(j, 1), marker(j, 2);
  long id = registerForEvent(source, &router, 5u, &quiet, &Listener<DioEvent>::handle, false);
  registerForEvent(source, &router, 6u, &marker, &Listener<DioEvent>::handle, false);
  ASSERT_EQ(0, router.quiesceEvent(id));
  DioEvent e5(5, 0, 0, 0), e6(6, 0, 0, 0);
  source->sendEvents(e5, 5u, 0, false);
  source->sendEvents(e6, 6u, 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 1; }));
  ASSERT_EQ(0, router.wakeUpEvent(id));
  source->sendEvents(e5, 5u, 0, false);
  source->sendEvents(e6, 6u, 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 3; }));
  EXPECT_EQ((std::vector<std::pair<int, unsigned>>{{2, 6}, {1, 5}, {2, 6}}), j.get());
  deleteEventSource(source);
}

// Deregisters a registration from inside the handler, on its first call:
// the victim's, or without victim its own.
struct Remover {
  EventRouter<DioEvent>* router = nullptr;
  long victim = -1;
  std::atomic<int> calls{0};
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent&, long id) {
    if (calls.fetch_add(1) == 0) {
      EXPECT_EQ(0, router->deregisterFromEvent(victim < 0 ? id : victim));
    }
  }
};

TEST_F(DeliveryTest, AHandlerDeregisteringDuringDeliveryCompletesAndTheRegistrationIsGone) {
  struct Case {
    const char* what;
    bool own;               // its own registration, else the next one
    int removerCalls;       // of three events
    size_t middleDeliveries;
  } const cases[] = {
      {"its own: the call completes, no further event reaches it", true, 1, 3},
      {"the next one, before its turn: not even the running event reaches it", false, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Journal j;
    EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
    EventRouter<DioEvent> router;
    Remover remover;
    remover.router = &router;
    Listener<DioEvent> middle(j, 1), last(j, 2);
    registerForEvent(source, &router, 3u, &remover, &Remover::handle, false);
    long middleId = registerForEvent(source, &router, 3u, &middle, &Listener<DioEvent>::handle, false);
    registerForEvent(source, &router, 3u, &last, &Listener<DioEvent>::handle, false);
    if (!c.own) remover.victim = middleId;
    DioEvent e(3, 0, 0, 0);
    for (int i = 0; i < 3; ++i) source->sendEvents(e, 3u, 0, false);
    ASSERT_TRUE(waitUntil([&] { return j.values(2).size() == 3; }));
    EXPECT_EQ(c.removerCalls, remover.calls.load());
    EXPECT_EQ(c.middleDeliveries, j.values(1).size());
    EXPECT_EQ(2u, router.getNumberOfRegistrations());
    EXPECT_EQ(2u, source->getNumberOfRegistrations());
    deleteEventSource(source);
  }
}

// Sends with a wait from a handler: to its own dispatcher (it can not wait
// for itself) and to the other dispatcher (it waits for the delivery).
struct WaitingFromHandler {
  EventSource<DioEvent>* sameDispatcher = nullptr;
  EventSource<PlugEvent>* otherDispatcher = nullptr;
  std::atomic<long> sameResult{1}, otherResult{1};
  std::atomic<bool> done{false};
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent& e) {
    if (e.getEventId() != 1) return;
    DioEvent next(2, 0, 0, 0);
    sameResult.store(sameDispatcher->sendEvents(next, 2u, 10000, false));
    PlugEvent plug(4, 0, PlugEvent::PLUG);
    otherResult.store(otherDispatcher->sendEvents(plug, 4u, 10000, false));
    done.store(true);
  }
};

TEST_F(DeliveryTest, AWaitingSendFromAHandlerDoesNotWaitForItsOwnDispatcher) {
  Journal j;
  EventSource<DioEvent>* dio = makeSource<DioEvent>(PRIORITY_0);
  EventSource<PlugEvent>* plug = makeSource<PlugEvent>(PRIORITY_1);
  EventRouter<DioEvent> dioRouter;
  EventRouter<PlugEvent> plugRouter;
  WaitingFromHandler handler;
  handler.sameDispatcher = dio;
  handler.otherDispatcher = plug;
  Listener<DioEvent> second(j, 1);
  Listener<PlugEvent> plugListener(j, 2);
  registerForEvent(dio, &dioRouter, 1u, &handler, &WaitingFromHandler::handle, false);
  registerForEvent(dio, &dioRouter, 2u, &second, &Listener<DioEvent>::handle, false);
  registerForEvent(plug, &plugRouter, 4u, &plugListener, &Listener<PlugEvent>::handle, false);
  DioEvent first(1, 0, 0, 0);
  ASSERT_EQ(0, dio->sendEvents(first, 1u, 0, false));
  ASSERT_TRUE(waitUntil([&] { return handler.done.load(); }));
  EXPECT_EQ(0, handler.sameResult.load()) << "queued without waiting";
  EXPECT_EQ(0, handler.otherResult.load());
  EXPECT_EQ(1u, j.values(2).size()) << "delivered on the other dispatcher before the send returned";
  ASSERT_TRUE(waitUntil([&] { return j.values(1).size() == 1; }));
  deleteEventSource(dio);
  deleteEventSource(plug);
}

TEST(DeliveryDeathTest, ACallbackOverrunningTheAbendTimeEndsTheProcess) {
  EXPECT_DEATH(
      {
        TimeoutService::getInstance()->init(false);
        initEventDispatcherProvider();
        EventSource<DioEvent>* source = createEventSource<DioEvent>(10, PRIORITY_1, DEBUG_ID_NONE, 0, 5);
        EventRouter<DioEvent> router;
        Gate<DioEvent> hanging;
        registerForEvent(source, &router, &hanging, &Gate<DioEvent>::handle, false);
        DioEvent e(1, 0, 0, 0);
        source->sendAnyEvents(e, 0, false);
        for (int i = 0; i < 20000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      "percAbend: reason=0x0000F0D1(.|\n)*EventSource: timeout during event delivery!");
}

struct Shapes {
  Journal& j;
  explicit Shapes(Journal& journal) : j(journal) {}
  void byRef(const DioEvent& e) { j.add(1, e.getEventId()); }
  void byRefId(const DioEvent& e, long id) { j.add(2, e.getEventId() + static_cast<unsigned>(id)); }
  void byValue(DioEvent e) { j.add(3, e.getEventId()); }
  void byValueId(DioEvent e, long id) { j.add(4, e.getEventId() + static_cast<unsigned>(id)); }
  void withParam(const DioEvent& e, unsigned p) { j.add(5, e.getEventId() + p); }
  void withParamId(const DioEvent& e, unsigned p, long id) { j.add(6, e.getEventId() + p + static_cast<unsigned>(id)); }
};

TEST(EventCallbackTest, EveryShapeIsCalledWithTheEventAndWhatItAsksFor) {
  Journal j;
  Shapes s(j);
  DioEvent e(10, 0, 0, 0);
  std::unique_ptr<BaseEventCallback<DioEvent>> callbacks[] = {
      std::unique_ptr<BaseEventCallback<DioEvent>>(new EventMemberCallback<Shapes, DioEvent>(&s, &Shapes::byRef)),
      std::unique_ptr<BaseEventCallback<DioEvent>>(new EventMemberCallback<Shapes, DioEvent>(&s, &Shapes::byRefId)),
      std::unique_ptr<BaseEventCallback<DioEvent>>(new EventMemberCallback<Shapes, DioEvent>(&s, &Shapes::byValue)),
      std::unique_ptr<BaseEventCallback<DioEvent>>(new EventMemberCallback<Shapes, DioEvent>(&s, &Shapes::byValueId)),
      std::unique_ptr<BaseEventCallback<DioEvent>>(
          new EventMemberParameterCallback<Shapes, DioEvent, unsigned>(&s, &Shapes::withParam, 100u)),
      std::unique_ptr<BaseEventCallback<DioEvent>>(
          new EventMemberParameterCallback<Shapes, DioEvent, unsigned>(&s, &Shapes::withParamId, 100u)),
  };
  for (auto& c : callbacks) {
    c->run(e, 5);
    std::unique_ptr<BaseEventCallback<DioEvent>> copy(c->createCopy());
    copy->run(e, 7);
  }
  std::vector<std::pair<int, unsigned>> expected = {{1, 10}, {1, 10}, {2, 15},  {2, 17},  {3, 10},  {3, 10},
                                                    {4, 15}, {4, 17}, {5, 110}, {5, 110}, {6, 115}, {6, 117}};
  EXPECT_EQ(expected, j.get());
}

TEST(EventCallbackTest, AccessControlKeepsTheObjectReferenced) {
  Journal j;
  Listener<DioEvent> l(j, 1);
  DioEvent e(1, 0, 0, 0);
  {
    EventMemberCallbackAccessControl<Listener<DioEvent>, DioEvent> plain(&l, &Listener<DioEvent>::handle, false);
    EXPECT_EQ(0, l.references.load());
    plain.run(e, 0);
    EXPECT_EQ(1, l.referencesSeenInHandler.load()) << "raised around the call";
    EXPECT_EQ(0, l.references.load());
    EventMemberCallbackAccessControl<Listener<DioEvent>, DioEvent> holding(&l, &Listener<DioEvent>::handle, true);
    EXPECT_EQ(1, l.references.load());
    std::unique_ptr<BaseEventCallback<DioEvent>> copy(holding.createCopy());
    EXPECT_EQ(2, l.references.load()) << "a copy holds too";
    copy->run(e, 0);
    EXPECT_EQ(3, l.referencesSeenInHandler.load());
  }
  EXPECT_EQ(0, l.references.load());
}

TEST_F(DeliveryTest, AHoldingRegistrationKeepsTheReferenceUntilDeregistered) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  long id = registerForEvent(source, &router, 1u, &l, &Listener<DioEvent>::handle, true);
  EXPECT_EQ(1, l.references.load());
  DioEvent e(1, 0, 0, 0);
  source->sendEvents(e, 1u, 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 1; }));
  EXPECT_EQ(2, l.referencesSeenInHandler.load());
  EXPECT_EQ(0, router.deregisterFromEvent(id));
  EXPECT_EQ(0, l.references.load());
  deleteEventSource(source);
}

TEST_F(DeliveryTest, ASourceWithoutQueueDeliversInTheSendersThread) {
  Journal j;
  EventSource<DioEvent> source(nullptr, 0, 0, 4000);
  EXPECT_EQ(nullptr, source.getQueue());
  EventSource<DioEvent> alsoSynchronous(dispatcher(PRIORITY_0), 0, 0, 4000);
  EXPECT_EQ(nullptr, alsoSynchronous.getQueue());
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  registerForEvent(&source, &router, 2u, &l, &Listener<DioEvent>::handle, false);
  DioEvent e(2, 0, 0, 0);
  EXPECT_EQ(0, source.sendEvents(e, 2u, 0, false));
  EXPECT_EQ(1, j.count.load()) << "delivered before the send returned";
}

TEST_F(DeliveryTest, ASuspendedQueueKeepsItsEventsUntilResumed) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  EventSource<OscillatorEvent>* marker = makeSource<OscillatorEvent>(PRIORITY_0);
  EventRouter<DioEvent> router;
  EventRouter<OscillatorEvent> markerRouter;
  Listener<DioEvent> l(j, 1);
  Listener<OscillatorEvent> m(j, 2);
  registerForEvent(source, &router, &l, &Listener<DioEvent>::handle, false);
  registerForEvent(marker, &markerRouter, &m, &Listener<OscillatorEvent>::handle, false);
  source->getQueue()->suspend();
  EXPECT_TRUE(source->getQueue()->isSuspended());
  for (unsigned i = 1; i <= 3; ++i) {
    DioEvent e(i, 0, 0, 0);
    EXPECT_EQ(0, source->sendAnyEvents(e, 0, false));
  }
  OscillatorEvent o;
  marker->sendAnyEvents(o, 0, false);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 1; }));
  EXPECT_EQ(3u, source->getQueue()->getCount()) << "stored, not dispatched";
  source->getQueue()->unsuspend();
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 4; }));
  EXPECT_EQ((std::vector<unsigned>{1, 2, 3}), j.values(1));
  deleteEventSource(source);
  deleteEventSource(marker);
}

TEST_F(DeliveryTest, AFullQueueRefusesWithMinus3) {
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0, 3);
  source->getQueue()->suspend();
  DioEvent e(1, 0, 0, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, source->sendEvents(e, 1u, 0, false));
  EXPECT_EQ(-3, source->sendEvents(e, 1u, 0, false));
  EXPECT_EQ(3u, source->getQueue()->getCount());
  source->getQueue()->unsuspend();
  deleteEventSource(source);
}

TEST_F(DeliveryTest, DeletingASourceDeliversWhatIsQueuedRefusesNewSendsAndDetachesRouters) {
  Journal j;
  DispatcherHold hold;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0);
  auto router = std::make_unique<EventRouter<DioEvent>>();
  Listener<DioEvent> l(j, 1);
  long id = registerForEvent(source, router.get(), &l, &Listener<DioEvent>::handle, false);
  long id2 = registerForEvent(source, router.get(), 9u, &l, &Listener<DioEvent>::handle, false);
  ASSERT_TRUE(hold.hold());
  for (unsigned i = 1; i <= 5; ++i) {
    DioEvent ev(i, 0, 0, 0);
    ASSERT_EQ(0, source->sendAnyEvents(ev, 0, false));
  }
  std::thread deleter([&] { deleteEventSource(source); });
  ASSERT_TRUE(waitUntil([&] { return source->isDeleting(); }));
  DioEvent late(99, 0, 0, 0);
  EXPECT_EQ(-4, source->sendAnyEvents(late, 0, false));
  hold.release();
  deleter.join();
  EXPECT_EQ((std::vector<unsigned>{1, 2, 3, 4, 5}), j.values(1)) << "the queued events were delivered first";
  EXPECT_FALSE(router->hasSource(id));
  EXPECT_FALSE(router->hasSource(id2));
  EXPECT_EQ(0, router->deregisterFromEvent(id)) << "still known to the router, without source";
  router.reset();
}

TEST_F(DeliveryTest, DebugInjectionSendsToTheSourcesOfTheDebugId) {
  Journal j;
  EventSource<DioEvent>* source = makeSource<DioEvent>(PRIORITY_0, 20, DEBUG_ID_DIO_EVENT);
  EXPECT_EQ(1u, EventDebug::getInstance()->getNumberOfEntries(DEBUG_ID_DIO_EVENT));
  EventRouter<DioEvent> router;
  Listener<DioEvent> typed(j, 1), any(j, 2);
  registerForEvent(source, &router, 21u, &typed, &Listener<DioEvent>::handle, false);
  registerForEvent(source, &router, &any, &Listener<DioEvent>::handle, false);
  DioEvent e(21, 0, 0, 0);
  unsigned filter = 21;
  EXPECT_EQ(1u, EventDebug::sendEvent(DEBUG_ID_DIO_EVENT, const_cast<void*>(e.dataPointer()), &filter));
  EXPECT_EQ(1u, EventDebug::sendEvent(DEBUG_ID_DIO_EVENT, const_cast<void*>(e.dataPointer()), nullptr));
  EXPECT_EQ(0u, EventDebug::sendEvent(DEBUG_ID_PLUG_EVENT, const_cast<void*>(e.dataPointer()), nullptr));
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 2; }));
  EXPECT_EQ((std::vector<std::pair<int, unsigned>>{{1, 21}, {2, 21}}), j.get());
  deleteEventSource(source);
  EXPECT_EQ(0u, EventDebug::getInstance()->getNumberOfEntries(DEBUG_ID_DIO_EVENT));
}

// Waiting sends: the dispatcher is held by a gate handler on another source.
class WaitingSendTest : public EventTest {
 protected:
  void SetUp() override {
    EventTest::SetUp();
    holder = createEventSource<DioEvent>(10, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
    source = createEventSource<DioEvent>(10, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
    registerForEvent(holder, &holderRouter, &gate, &Gate<DioEvent>::handle, false);
  }
  void TearDown() override {
    gate.open.store(true);
    deleteEventSource(source);
    deleteEventSource(holder);
    EventTest::TearDown();
  }
  void holdDispatcher() {
    DioEvent e(0, 0, 0, 0);
    holder->sendAnyEvents(e, 0, false);
    ASSERT_TRUE(waitUntil([&] { return gate.entered.load(); }));
  }
  EventSource<DioEvent>* holder = nullptr;
  EventSource<DioEvent>* source = nullptr;
  EventRouter<DioEvent> holderRouter;
  Gate<DioEvent> gate;
};

TEST_F(WaitingSendTest, DeliveredWaitReturns0) {
  Journal j;
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  registerForEvent(source, &router, 4u, &l, &Listener<DioEvent>::handle, false);
  DioEvent e(4, 0, 0, 0);
  EXPECT_EQ(0, source->sendEvents(e, 4u, 10000, false));
  EXPECT_EQ(1, j.count.load()) << "delivered when the wait returned";
  EXPECT_EQ(0, source->sendEvents(e, 4u, -1, false)) << "without limit";
  EXPECT_EQ(2, j.count.load());
}

TEST_F(WaitingSendTest, StillQueuedAtTheTimeoutGivesMinus2AndCancelsTheEvent) {
  Journal j;
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  registerForEvent(source, &router, &l, &Listener<DioEvent>::handle, false);
  holdDispatcher();
  DioEvent cancelled(1, 0, 0, 0), kept(2, 0, 0, 0);
  EXPECT_EQ(-2, source->sendEvents(cancelled, nullptr, true, 50, false, true));
  EXPECT_EQ(-2, source->sendEvents(kept, nullptr, true, 20, false, false)) << "not cancelled";
  DioEvent marker(3, 0, 0, 0);
  source->sendAnyEvents(marker, 0, false);
  gate.open.store(true);
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 2; }));
  EXPECT_EQ((std::vector<unsigned>{2, 3}), j.values(1)) << "the cancelled event is never delivered";
}

// Blocks in the handler until the waiting send has returned.
struct SlowListener {
  std::atomic<bool> release{false};
  std::atomic<bool> entered{false};
  void requestReference() {}
  void releaseReference() {}
  void handle(const DioEvent&) {
    entered.store(true);
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST_F(WaitingSendTest, BeingDeliveredAtTheTimeoutGivesMinus5) {
  EventRouter<DioEvent> router;
  SlowListener slow;
  registerForEvent(source, &router, 6u, &slow, &SlowListener::handle, false);
  DioEvent e(6, 0, 0, 0);
  // On a busy machine the dispatcher may not have begun within the 50 ms:
  // that attempt gives -2 and is cancelled, and the send is made again.
  long rc = -2;
  for (int attempt = 0; attempt < 20 && rc == -2; ++attempt) rc = source->sendEvents(e, 6u, 50, false);
  EXPECT_TRUE(slow.entered.load());
  EXPECT_EQ(-5, rc);
  slow.release.store(true);
}

TEST_F(WaitingSendTest, SeveralWaitersMeetTheDispatcher) {
  Journal j;
  EventRouter<DioEvent> router;
  Listener<DioEvent> l(j, 1);
  registerForEvent(source, &router, &l, &Listener<DioEvent>::handle, false);
  std::vector<std::thread> waiters;
  std::atomic<int> delivered{0}, timedOut{0};
  for (int t = 0; t < 3; ++t)
    waiters.emplace_back([&, t] {
      for (int i = 0; i < 30; ++i) {
        DioEvent e(static_cast<unsigned>(t * 100 + i), 0, 0, 0);
        long rc = source->sendEvents(e, nullptr, true, (i % 5 == 0) ? 1 : 5000, false, false);
        if (rc == 0)
          delivered.fetch_add(1);
        else if (rc == -2 || rc == -5)
          timedOut.fetch_add(1);
        else
          ADD_FAILURE() << rc;
      }
    });
  for (auto& w : waiters) w.join();
  EXPECT_EQ(90, delivered.load() + timedOut.load());
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 90; })) << "nothing was cancelled";
}

}  // namespace
