// The receiving end of an event type for one object: it registers callbacks
// with sources, one per (source, filter) pair, and runs them when the
// source delivers. Routers never queue.
#ifndef KAV_EVENTS_EVENTROUTER_H
#define KAV_EVENTS_EVENTROUTER_H

#include "kav/events/BaseEventRouter.h"
#include "kav/events/EventMemberCallbackAccessControl.h"
#include "kav/events/EventRouterRegistry.h"
#include "kav/events/EventSource.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

// A queue of a router; routers are built without one.
class EventRouterQueue;

template <class T>
class EventRouter : public BaseEventRouter {
 public:
  typedef typename T::EventType Filter;

  // A queue other than null ends the process.
  explicit EventRouter(EventRouterQueue* queue = nullptr) {
    if (queue != nullptr) {
      KAV_TRACE(KAVE, "EventRouter: routers do not queue %p", queue);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
  }

  // Deregisters everything from the sources that are still there.
  ~EventRouter() override {
    while (EventRouterRegistryElement<T>* e = m_registry.takeFirst()) {
      if (e->m_pSource != nullptr) e->m_pSource->deregister(this, e->m_id);
      delete e;
    }
  }

  // Registers a copy of the callback for events whose filter matches
  // `type`; the registration id, or -1.
  long registerForEvent(EventSource<T>* source, const Filter& type, const BaseEventCallback<T>& callback) {
    if (source == nullptr) {
      KAV_TRACE(KAVE, "EventRouter::registerForEvent no source %p", this);
      return -1;
    }
    long id = m_registry.addAssociation(callback.createCopy(), source);
    if (id < 0) return -1;
    if (source->registerRouter(this, &type, sizeof(type), id) != 0) {
      m_registry.deleteAssociation(id);
      return -1;
    }
    return id;
  }
  // Registers a copy of the callback for any-events.
  long registerForEvent(EventSource<T>* source, const BaseEventCallback<T>& callback) {
    if (source == nullptr) {
      KAV_TRACE(KAVE, "EventRouter::registerForEvent no source %p", this);
      return -1;
    }
    long id = m_registry.addAssociation(callback.createCopy(), source);
    if (id < 0) return -1;
    if (source->registerRouterForAnyEvent(this, id) != 0) {
      m_registry.deleteAssociation(id);
      return -1;
    }
    return id;
  }

  long deregisterFromEvent(long id) override {
    EventSource<T>* source = nullptr;
    if (!m_registry.findSource(id, source)) {
      KAV_TRACE(KAVE, "EventRouter::deregisterFromEvent unknown id %p,%ld", this, id);
      return -1;
    }
    if (source != nullptr) source->deregister(this, id);
    m_registry.deleteAssociation(id);
    return 0;
  }
  long quiesceEvent(long id) override {
    EventSource<T>* source = nullptr;
    if (!m_registry.findSource(id, source)) {
      KAV_TRACE(KAVE, "EventRouter::quiesceEvent unknown id %p,%ld", this, id);
      return -1;
    }
    if (source != nullptr) source->quiesce(this, id);
    return 0;
  }
  long wakeUpEvent(long id) override {
    EventSource<T>* source = nullptr;
    if (!m_registry.findSource(id, source)) {
      KAV_TRACE(KAVE, "EventRouter::wakeUpEvent unknown id %p,%ld", this, id);
      return -1;
    }
    if (source != nullptr) source->wakeUp(this, id);
    return 0;
  }

  // Rebuilds the event on this thread's stack and runs the callback.
  void createEvent(const unsigned char* data, long id) override {
    EventRouterRegistryElement<T>* e = m_registry.beginRun(id);
    if (e == nullptr) {
      KAV_TRACE(KAVE, "EventRouter::createEvent unknown id %p,%ld", this, id);
      return;
    }
    T event(static_cast<const void*>(data));
    e->m_pCallback->run(event, id);
    m_registry.endRun(e);
  }

  void notify(BaseEventSource* source) override { m_registry.clearSource(source); }

  unsigned int getNumberOfRegistrations() { return m_registry.getNumberOfRegistrations(); }
  // True when the registration exists and its source is still there.
  bool hasSource(long id) {
    EventSource<T>* source = nullptr;
    return m_registry.findSource(id, source) && source != nullptr;
  }

 private:
  EventRouterRegistry<T> m_registry;
};

// Registers object->handler for events of `type` from the source: an
// EventMemberCallbackAccessControl that, with holdReference, keeps the
// object's reference count raised while the registration exists. Handlers
// take the event by const reference, optionally with the registration id.
template <class T, class C, class H>
long registerForEvent(EventSource<T>* source, EventRouter<T>* router, typename T::EventType const& type, C* object,
                      H handler, bool holdReference) {
  if (router == nullptr) return -1;
  EventMemberCallbackAccessControl<C, T> callback(object, handler, holdReference);
  return router->registerForEvent(source, type, callback);
}

// The same for any-events.
template <class T, class C, class H>
long registerForEvent(EventSource<T>* source, EventRouter<T>* router, C* object, H handler, bool holdReference) {
  if (router == nullptr) return -1;
  EventMemberCallbackAccessControl<C, T> callback(object, handler, holdReference);
  return router->registerForEvent(source, callback);
}

#endif
