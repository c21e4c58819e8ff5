#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/DioEventSender.h"
#include "kav/events/EventDebug.h"
#include "kav/events/OscillatorEventSender.h"
#include "kav/events/PlugEventSender.h"

using namespace evtest;

namespace {

class SenderTest : public EventTest {};

struct SenderCase {
  const char* name;
  void (*init)();
  void (*terminate)();
  EventSourceBaseQueue* (*queue)();
  unsigned long (*capacity)();
  BaseEventSource* (*source)();
  bool sendAny;
  long queueSize;
  Priority_t priority;
  DebugIdSource_t debugId;
  unsigned abendTime;
};

template <class S, class T>
SenderCase senderCase(const char* name, void (*init)(), void (*terminate)()) {
  return SenderCase{name,
                    init,
                    terminate,
                    [] { return static_cast<EventSourceBaseQueue*>(S::getInstance()->getEventSource()->getQueue()); },
                    [] { return S::getInstance()->getEventSource()->getQueue()->getCapacity(); },
                    [] { return static_cast<BaseEventSource*>(S::getInstance()->getEventSource()); },
                    S::getInstance()->isSendingAny(),
                    S::kQueueSize,
                    S::kPriority,
                    S::kDebugId,
                    S::kAbendTime};
}

TEST_F(SenderTest, EachSenderCreatesItsSourceWithItsConstants) {
  const SenderCase cases[] = {
      senderCase<PlugEventSender, PlugEvent>("plug", initPlugEventSender, terminatePlugEventSender),
      senderCase<DioEventSender, DioEvent>("dio", initDioEventSender, terminateDioEventSender),
      senderCase<OscillatorEventSender, OscillatorEvent>("osc", initOscillatorEventSender,
                                                         terminateOscillatorEventSender),
      senderCase<ConfigChangeEventSender, ConfigChangeEvent>("change", initConfigChangeEventSender,
                                                             terminateConfigChangeEventSender),
      senderCase<ConfigCompleteEventSender, ConfigCompleteEvent>("complete", initConfigCompleteEventSender,
                                                                 terminateConfigCompleteEventSender),
      senderCase<ComponentReadyEventSender, ComponentReadyEvent>("ready", initComponentReadyEventSender,
                                                                 terminateComponentReadyEventSender),
  };
  struct Expected {
    long size;
    Priority_t prio;
    DebugIdSource_t debugId;
    unsigned abend;
    bool any;
  } const expected[] = {{100, PRIORITY_1, DEBUG_ID_PLUG_EVENT, 4000, false},
                        {250, PRIORITY_0, DEBUG_ID_DIO_EVENT, 4000, true},
                        {100, PRIORITY_0, DEBUG_ID_NONE, 4000, false},
                        {150, PRIORITY_1, DEBUG_ID_CONFIG_CHANGE_EVENT, 15000, true},
                        {100, PRIORITY_1, DEBUG_ID_NONE, 22000, true},
                        {10, PRIORITY_1, DEBUG_ID_COMPONENT_READY_EVENT, 4000, true}};
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    const SenderCase& c = cases[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(expected[i].size, c.queueSize);
    EXPECT_EQ(expected[i].prio, c.priority);
    EXPECT_EQ(expected[i].debugId, c.debugId);
    EXPECT_EQ(expected[i].abend, c.abendTime);
    EXPECT_EQ(expected[i].any, c.sendAny);
    c.init();
    c.init();  // once
    EXPECT_EQ(static_cast<unsigned long>(c.queueSize), c.capacity());
    EXPECT_EQ(dispatcher(c.priority), c.queue()->getDispatcher());
    EXPECT_EQ(0u, c.source()->getLogTime());
    EXPECT_EQ(c.abendTime, c.source()->getAbendTime());
    if (c.debugId != DEBUG_ID_NONE) {
      EXPECT_EQ(1u, EventDebug::getInstance()->getNumberOfEntries(c.debugId));
    }
    c.terminate();
    if (c.debugId != DEBUG_ID_NONE) {
      EXPECT_EQ(0u, EventDebug::getInstance()->getNumberOfEntries(c.debugId));
    }
  }
  PlugEventSender::destroyInstance();
  DioEventSender::destroyInstance();
  OscillatorEventSender::destroyInstance();
  ConfigChangeEventSender::destroyInstance();
  ConfigCompleteEventSender::destroyInstance();
  ComponentReadyEventSender::destroyInstance();
}

TEST_F(SenderTest, TypedCopyFirstThenTheAnyCopy) {
  Journal j;
  initConfigChangeEventSender();
  EventSource<ConfigChangeEvent>* source = ConfigChangeEventSender::getInstance()->getEventSource();
  EventRouter<ConfigChangeEvent> router;
  Listener<ConfigChangeEvent> any(j, 2), typed(j, 1);
  // Registered any first: the order of delivery still is typed, then any.
  registerForEvent(source, &router, &any, &Listener<ConfigChangeEvent>::handle, false);
  registerForEvent(source, &router, ConfigChangeEvent::EventType_s{8, 0}, &typed,
                   &Listener<ConfigChangeEvent>::handle, false);
  source->getQueue()->suspend();
  ConfigChangeEvent e(8, ConfigChangeEvent::CONFIGURED);
  ConfigChangeEventSender::getInstance()->sendEvent(e);
  EXPECT_EQ(2u, source->getQueue()->getCount()) << "one event, two queue elements";
  source->getQueue()->unsuspend();
  ASSERT_TRUE(waitUntil([&] { return j.count.load() == 2; }));
  EXPECT_EQ((std::vector<std::pair<int, unsigned>>{{1, 8}, {2, 8}}), j.get());
  terminateConfigChangeEventSender();
  ConfigChangeEventSender::destroyInstance();
}

TEST_F(SenderTest, WithoutSendAnyOnlyTheTypedCopyIsQueued) {
  initPlugEventSender();
  EventSource<PlugEvent>* source = PlugEventSender::getInstance()->getEventSource();
  source->getQueue()->suspend();
  PlugEvent e(3, 1, PlugEvent::PLUG);
  PlugEventSender::getInstance()->sendEvent(e);
  EXPECT_EQ(1u, source->getQueue()->getCount());
  source->getQueue()->unsuspend();
  terminatePlugEventSender();
  PlugEventSender::destroyInstance();
}

TEST_F(SenderTest, AfterTerminateSendsAreRefusedQuietly) {
  initDioEventSender();
  terminateDioEventSender();
  terminateDioEventSender();  // once
  DioEvent e(1, 0, 0, 0);
  DioEventSender::getInstance()->sendEvent(e);
  EXPECT_EQ(nullptr, DioEventSender::getInstance()->getEventSource());
  EXPECT_FALSE(DioEventSender::getInstance()->isInitialised());
  DioEventSender::destroyInstance();
}

TEST_F(SenderTest, The101stQueuedPlugEventEndsTheProcess) {
  EXPECT_DEATH(
      {
        initPlugEventSender();
        PlugEventSender::getInstance()->getEventSource()->getQueue()->suspend();
        for (unsigned i = 0; i < 101; ++i) {
          PlugEvent e(i, 0, PlugEvent::PLUG);
          PlugEventSender::getInstance()->sendEvent(e);
        }
      },
      "typed send failed FFFFFFFD");
}

TEST_F(SenderTest, ADispatchOfAnElementThatIsNotTheOldestEndsTheProcess) {
  EventSource<DioEvent>* source = createEventSource<DioEvent>(4, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  source->getQueue()->suspend();
  DioEvent e(1, 0, 0, 0);
  source->sendEvents(e, 1u, 0, false);
  source->sendEvents(e, 1u, 0, false);
  EXPECT_DEATH(source->getQueue()->dispatchEvent(source->getQueue()->getElement(1)), "not the oldest");
  EXPECT_DEATH(source->getQueue()->dispatchEvent(source->getQueue()->getElement(2)), "percAbend: reason=0x0000F0D1")
      << "a free element";
  source->getQueue()->unsuspend();
  deleteEventSource(source);
}

TEST_F(SenderTest, ProgrammingErrorsEndTheProcess) {
  EventSource<DioEvent>* source = createEventSource<DioEvent>(4, PRIORITY_0, DEBUG_ID_NONE, 0, 4000);
  DioEvent e(1, 0, 0, 0);
  EXPECT_DEATH(source->sendEvents(e, nullptr, false, 0, false), "percAbend: reason=0x0000F0D1")
      << "typed send without filter";
  EXPECT_DEATH(EventRouter<DioEvent> r(reinterpret_cast<EventRouterQueue*>(0x10)), "percAbend: reason=0x0000F0D1")
      << "a router with a queue";
  EXPECT_DEATH(EventSourceQueue<DioEvent>(dispatcher(PRIORITY_0), 0, nullptr), "percAbend: reason=0x0000F0D1")
      << "a queue of capacity 0";
  deleteEventSource(source);
}

TEST(SenderDeathTest, AnUninitialisedSenderEndsTheProcess) {
  DioEvent e(1, 0, 0, 0);
  EXPECT_DEATH(DioEventSender::getInstance()->sendEvent(e), "percAbend: reason=0x0000F0D1");
  EXPECT_DEATH(PlugEventSender::getInstance()->getEventSource(), "percAbend: reason=0x0000F0D1");
}

TEST(SenderDeathTest, DeliveryBeforeTheTimeoutServiceEndsTheProcess) {
  EXPECT_DEATH(
      {
        EventSource<DioEvent> synchronous(nullptr, 0, 0, 4000);
        DioEvent e(1, 0, 0, 0);
        synchronous.sendEvents(e, 1u, 0, false);
      },
      "percAbend: reason=0x0000F0D1");
}

TEST(DispatcherProviderTest, OnlyPriorities0And1HaveADispatcher) {
  EventDispatcherProvider* p = EventDispatcherProvider::getInstance();
  EXPECT_EQ(nullptr, p->getEventDispatcher(PRIORITY_0)) << "before init";
  initEventDispatcherProvider();
  EventDispatcher* d0 = p->getEventDispatcher(PRIORITY_0);
  EventDispatcher* d1 = p->getEventDispatcher(PRIORITY_1);
  EXPECT_NE(nullptr, d0);
  EXPECT_NE(nullptr, d1);
  EXPECT_NE(d0, d1);
  EXPECT_EQ(nullptr, p->getEventDispatcher(static_cast<Priority_t>(2)));
  EXPECT_EQ(nullptr, p->getEventDispatcher(static_cast<Priority_t>(-1)));
  initEventDispatcherProvider();
  EXPECT_EQ(d0, p->getEventDispatcher(PRIORITY_0)) << "once";
  terminateEventDispatcherProvider();
  EXPECT_EQ(nullptr, p->getEventDispatcher(PRIORITY_1));
  EventDispatcherProvider::destroyInstance();
}

}  // namespace
