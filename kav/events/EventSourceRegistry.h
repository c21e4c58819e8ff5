// The registrations of one source, in registration order. The short lock
// guards the list links and the flags others may change; deletion also
// holds the source's delivery lock (the long lock), so a registration is
// never freed while it is being delivered.
#ifndef KAV_EVENTS_EVENTSOURCEREGISTRY_H
#define KAV_EVENTS_EVENTSOURCEREGISTRY_H

#include <cstring>

#include "kav/events/BaseEventRouter.h"
#include "kav/events/EventBlock.h"
#include "kav/events/EventSourceRegistryElement.h"

template <class T>
class EventSourceRegistry {
 public:
  typedef EventSourceRegistryElement<T> Element;
  typedef typename T::EventType Filter;

  explicit EventSourceRegistry(EventBlock* longLock) : m_pHead(nullptr), m_pLongLock(longLock) {}
  ~EventSourceRegistry() {
    EventBlock::Scope l(*m_pLongLock);
    EventBlock::Scope s(m_shortLock);
    while (m_pHead != nullptr) {
      Element* e = m_pHead;
      m_pHead = e->m_pNext;
      delete e;
    }
  }
  EventSourceRegistry(const EventSourceRegistry&) = delete;
  EventSourceRegistry& operator=(const EventSourceRegistry&) = delete;

  // Appends at the tail, the filter given as the bytes of the router's
  // filter value (null for an any-registration). False once the routers
  // have been told that the source goes away: such a registration would
  // never be told. The check and the append are one step under the short
  // lock, which the going-away round holds throughout.
  bool addAssociation(BaseEventRouter* router, const void* filter, unsigned int size, bool any, long id) {
    EventBlock::Scope s(m_shortLock);
    if (m_closed) return false;
    Element* e = new Element();
    e->m_id = id;
    if (filter != nullptr) std::memcpy(&e->m_filter, filter, size < sizeof(e->m_filter) ? size : sizeof(e->m_filter));
    e->m_any = any ? 1 : 0;
    e->m_pRouter = router;
    Element** link = &m_pHead;
    while (*link != nullptr) link = &(*link)->m_pNext;
    *link = e;
    return true;
  }

  // Removes the registration of the router with that id; one being
  // delivered is only marked and goes when its delivery returns. False
  // when there is none.
  bool deleteAssociation(long id, BaseEventRouter* router) {
    EventBlock::Scope l(*m_pLongLock);
    EventBlock::Scope s(m_shortLock);
    for (Element** link = &m_pHead; *link != nullptr; link = &(*link)->m_pNext) {
      Element* e = *link;
      if (e->m_id != id || e->m_pRouter != router || e->m_deletePending != 0) continue;
      if (e->m_inDelivery != 0) {
        e->m_deletePending = 1;
      } else {
        *link = e->m_pNext;
        delete e;
      }
      return true;
    }
    return false;
  }

  bool setQuiesced(long id, BaseEventRouter* router, bool quiesced) {
    EventBlock::Scope s(m_shortLock);
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext) {
      if (e->m_id != id || e->m_pRouter != router) continue;
      e->m_quiesced = quiesced ? 1 : 0;
      return true;
    }
    return false;
  }

  // Delivery walk; the caller holds the long lock.
  Element* first() {
    EventBlock::Scope s(m_shortLock);
    return m_pHead;
  }
  // Reads what delivery needs of a registration; false when it is not to
  // be delivered (quiesced, no router, going away).
  bool readForDelivery(Element* e, Filter& filter, unsigned char& any, BaseEventRouter*& router, long& id) {
    EventBlock::Scope s(m_shortLock);
    if (e->m_quiesced != 0 || e->m_pRouter == nullptr || e->m_id < 0 || e->m_deletePending != 0) return false;
    filter = e->m_filter;
    any = e->m_any;
    router = e->m_pRouter;
    id = e->m_id;
    return true;
  }
  // Moves past e (skipping registrations marked for deletion) and deletes
  // e when it was marked during its own delivery.
  Element* nextAfterDelivery(Element* e) {
    EventBlock::Scope s(m_shortLock);
    Element* next = e->m_pNext;
    while (next != nullptr && next->m_deletePending != 0) next = next->m_pNext;
    if (e->m_deletePending != 0) unlinkLocked(e);
    return next;
  }

  // The source goes away: every router is told once, with the source and
  // the id of its first registration; all its registrations get id -1 and
  // lose the router, and later registrations are refused. The caller holds
  // the long lock.
  void notifyGoingAway(BaseEventSource* source) {
    EventBlock::Scope s(m_shortLock);
    m_closed = true;
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext) {
      if (e->m_id == -1 || e->m_pRouter == nullptr) continue;
      BaseEventRouter* router = e->m_pRouter;
      BaseEventRouter::GoingAwayRecord record{source, e->m_id};
      unsigned char data[sizeof(record)];
      std::memcpy(data, &record, sizeof(record));
      router->receiveEVData(data, sizeof(data), -1, 0);
      for (Element* o = e; o != nullptr; o = o->m_pNext) {
        if (o->m_pRouter != router) continue;
        o->m_id = -1;
        o->m_pRouter = nullptr;
      }
    }
  }

  unsigned int getNumberOfRegistrations() {
    EventBlock::Scope s(m_shortLock);
    unsigned int n = 0;
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext)
      if (e->m_deletePending == 0) ++n;
    return n;
  }

 private:
  void unlinkLocked(Element* e) {
    for (Element** link = &m_pHead; *link != nullptr; link = &(*link)->m_pNext) {
      if (*link != e) continue;
      *link = e->m_pNext;
      delete e;
      return;
    }
  }

  Element* m_pHead;
  EventBlock* m_pLongLock;
  EventBlock m_shortLock;
  bool m_closed = false;  // the routers were told that the source goes away
};

#endif
