// The one source of an event type. A send appends the event to the
// source's ring queue (or, without queue, delivers it in the sender's
// thread); delivery walks the registrations in registration order and
// hands the payload to the router of every matching one, one at a time,
// each callback watched by the time-out service.
#ifndef KAV_EVENTS_EVENTSOURCE_H
#define KAV_EVENTS_EVENTSOURCE_H

#include <atomic>

#include "kav/events/BaseEventRouter.h"
#include "kav/events/BaseEventSource.h"
#include "kav/events/EventBlock.h"
#include "kav/events/EventDebug.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventSourceQueue.h"
#include "kav/events/EventSourceRegistry.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

template <class T>
class EventSource : public BaseEventSource {
 public:
  typedef typename T::EventType Filter;

  // Send results.
  static constexpr long SEND_OK = 0;
  static constexpr long SEND_TIMED_OUT = -2;
  static constexpr long SEND_QUEUE_FULL = -3;
  static constexpr long SEND_DELETING = -4;
  static constexpr long SEND_TIMED_OUT_IN_DELIVERY = -5;

  // Without dispatcher or with a queue size not above 0 the source
  // delivers in the sender's thread.
  EventSource(EventDispatcher* dispatcher, long queueSize, unsigned int logTime, unsigned int abendTime)
      : BaseEventSource(logTime, abendTime), m_registry(&m_deliveryLock), m_pQueue(nullptr), m_deleting(0) {
    if (dispatcher != nullptr && queueSize > 0)
      m_pQueue = new EventSourceQueue<T>(dispatcher, static_cast<unsigned long>(queueSize), this);
  }

  // Waits until the queued events have been delivered (not when called on
  // the dispatcher's own thread), tells every router, then drops the queue.
  ~EventSource() override {
    m_deliveryLock.block();
    m_deleting.store(1);
    if (m_pQueue != nullptr) m_pQueue->close();
    m_deliveryLock.unblock();
    if (m_pQueue != nullptr) m_pQueue->waitQueueEmpty();
    m_deliveryLock.block();
    m_registry.notifyGoingAway(this);
    m_deliveryLock.unblock();
    if (m_pQueue != nullptr) {
      m_pQueue->terminateQueue();
      delete m_pQueue;
      m_pQueue = nullptr;
    }
  }

  // Typed send: reaches the registrations whose filter matches.
  long sendEvents(T& event, const Filter& filter, long timeout, bool stopOnError) {
    return sendEvents(event, &filter, false, timeout, stopOnError);
  }
  // Any-send: reaches every any-registration.
  long sendAnyEvents(T& event, long timeout, bool stopOnError) {
    return sendEvents(event, nullptr, true, timeout, stopOnError);
  }
  // A timeout other than 0 waits for the delivery (negative: without
  // limit); a waiting send that times out before the delivery began
  // cancels the event when cancelOnTimeout is set. A typed send without
  // filter ends the process.
  long sendEvents(T& event, const Filter* filter, bool any, long timeout, bool stopOnError,
                  bool cancelOnTimeout = true) {
    if (!any && filter == nullptr) {
      KAV_TRACE(KAVE, "EventSource::sendEvents typed send without filter %p", this);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    if (m_deleting.load() != 0) {
      KAV_TRACE(KAVT, "EventSource::sendEvents source being deleted %p", this);
      return SEND_DELETING;
    }
    if (m_pQueue == nullptr) {
      EventBlock::Scope lock(m_deliveryLock);
      return deliverEvents(static_cast<const unsigned char*>(event.dataPointer()), event.dataSize(), filter, any,
                           timeout, stopOnError);
    }
    if (timeout == 0) {
      uint32_t ticket = 0;
      return m_pQueue->appendEvent(event, filter, any, ticket);
    }
    return m_pQueue->appendEventAndWait(event, filter, any, timeout, cancelOnTimeout);
  }

  // Delivers one event to the matching registrations. The caller holds
  // the delivery lock.
  long deliverEvents(const unsigned char* payload, unsigned int size, const Filter* filter, bool any, long timeout,
                     bool /*stopOnError*/) {
    if (!any && filter == nullptr) {
      KAV_TRACE(KAVE, "EventSource::deliverEvents typed delivery without filter %p", this);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    startTimeout();
    typedef typename EventSourceRegistry<T>::Element Element;
    for (Element* e = m_registry.first(); e != nullptr;) {
      Filter registered{};
      unsigned char registeredAny = 0;
      BaseEventRouter* router = nullptr;
      long id = 0;
      if (m_registry.readForDelivery(e, registered, registeredAny, router, id) && (registeredAny != 0) == any &&
          (any || registered == *filter)) {
        resetTimeout();
        e->m_inDelivery = 1;
        router->receiveEVData(payload, static_cast<long>(size), id, timeout);
        e->m_inDelivery = 0;
      }
      e = m_registry.nextAfterDelivery(e);
    }
    stopTimeout();
    return 0;
  }

  // Source side of a router's registration; -4 while the source is being
  // deleted. A registration under way when the deletion tells the routers
  // either is complete before and is told, or is refused.
  long registerRouter(BaseEventRouter* router, const void* type, unsigned int size, long id) {
    if (m_deleting.load() != 0) return SEND_DELETING;
    return m_registry.addAssociation(router, type, size, false, id) ? 0 : SEND_DELETING;
  }
  long registerRouterForAnyEvent(BaseEventRouter* router, long id) {
    if (m_deleting.load() != 0) return SEND_DELETING;
    return m_registry.addAssociation(router, nullptr, 0, true, id) ? 0 : SEND_DELETING;
  }
  // Removes a registration; one being delivered goes when its delivery
  // returns. -1 when there is none.
  long deregister(BaseEventRouter* router, long id) { return m_registry.deleteAssociation(id, router) ? 0 : -1; }
  long quiesce(BaseEventRouter* router, long id) { return m_registry.setQuiesced(id, router, true) ? 0 : -1; }
  long wakeUp(BaseEventRouter* router, long id) { return m_registry.setQuiesced(id, router, false) ? 0 : -1; }

  void blockDelivery() { m_deliveryLock.block(); }
  void unblockDelivery() { m_deliveryLock.unblock(); }

  EventSourceQueue<T>* getQueue() const { return m_pQueue; }
  bool isDeleting() const { return m_deleting.load() != 0; }
  unsigned int getNumberOfRegistrations() { return m_registry.getNumberOfRegistrations(); }

 private:
  EventBlock m_deliveryLock;  // held for the whole delivery of one event
  EventSourceRegistry<T> m_registry;
  EventSourceQueue<T>* m_pQueue;
  std::atomic<unsigned char> m_deleting;
};

// Sends a debug-injected event: typed with the filter when given, else to
// the any-registrations.
template <class T>
void debugSendEvent(BaseEventSource const* source, void* data, void const* filter) {
  EventSource<T>* s = const_cast<EventSource<T>*>(static_cast<EventSource<T> const*>(source));
  T event(data);
  if (filter != nullptr)
    s->sendEvents(event, *static_cast<typename T::EventType const*>(filter), 0, false);
  else
    s->sendAnyEvents(event, 0, false);
}

// Creates a source on the dispatcher of the priority and registers it for
// debug injection when debugId is not 0.
template <class T>
EventSource<T>* createEventSource(long queueSize, Priority_t priority, DebugIdSource_t debugId, unsigned int logTime,
                                  unsigned int abendTime) {
  EventDispatcher* dispatcher = EventDispatcherProvider::getInstance()->getEventDispatcher(priority);
  EventSource<T>* source = new EventSource<T>(dispatcher, queueSize, logTime, abendTime);
  if (debugId != DEBUG_ID_NONE) EventDebug::getInstance()->registerSource(source, &debugSendEvent<T>, debugId);
  return source;
}

template <class T>
void deleteEventSource(EventSource<T>* source) {
  if (source == nullptr) return;
  EventDebug::getInstance()->deleteSource(source);
  delete source;
}

#endif
