// The registrations of one router, sorted by id. Its lock is never held
// while a callback runs.
#ifndef KAV_EVENTS_EVENTROUTERREGISTRY_H
#define KAV_EVENTS_EVENTROUTERREGISTRY_H

#include <new>

#include "kav/events/EventBlock.h"
#include "kav/events/EventRouterRegistryElement.h"

class BaseEventSource;

template <class T>
class EventRouterRegistry {
 public:
  typedef EventRouterRegistryElement<T> Element;

  EventRouterRegistry() : m_pHead(nullptr) {}
  ~EventRouterRegistry() {
    while (m_pHead != nullptr) {
      Element* e = m_pHead;
      m_pHead = e->m_pNext;
      delete e;
    }
  }
  EventRouterRegistry(const EventRouterRegistry&) = delete;
  EventRouterRegistry& operator=(const EventRouterRegistry&) = delete;

  // Takes over the callback and issues the id: from the head, advance
  // while the next id is the current one + 1 and insert behind; an empty
  // list gives 0. -1 (callback deleted) when no element can be allocated.
  long addAssociation(BaseEventCallback<T>* callback, EventSource<T>* source) {
    Element* e = new (std::nothrow) Element();
    if (e == nullptr) {
      delete callback;
      return -1;
    }
    e->m_pCallback = callback;
    e->m_pSource = source;
    EventBlock::Scope lock(m_lock);
    if (m_pHead == nullptr) {
      e->m_id = 0;
      m_pHead = e;
      return 0;
    }
    Element* cur = m_pHead;
    while (cur->m_pNext != nullptr && cur->m_pNext->m_id == cur->m_id + 1) cur = cur->m_pNext;
    e->m_id = cur->m_id + 1;
    e->m_pNext = cur->m_pNext;
    cur->m_pNext = e;
    return e->m_id;
  }

  // Unlinks the registration; a running one is deleted when its callback
  // returns. False when there is none.
  bool deleteAssociation(long id) {
    Element* doomed = nullptr;
    {
      EventBlock::Scope lock(m_lock);
      for (Element** link = &m_pHead; *link != nullptr; link = &(*link)->m_pNext) {
        Element* e = *link;
        if (e->m_id != id) continue;
        *link = e->m_pNext;
        e->m_pNext = nullptr;
        if (e->m_running != 0)
          e->m_deletePending = 1;
        else
          doomed = e;
        delete doomed;
        return true;
      }
    }
    return false;
  }

  // The source of a registration; false when there is none.
  bool findSource(long id, EventSource<T>*& source) {
    EventBlock::Scope lock(m_lock);
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext) {
      if (e->m_id != id) continue;
      source = e->m_pSource;
      return true;
    }
    return false;
  }

  // Marks the registration running and returns it, or null.
  Element* beginRun(long id) {
    EventBlock::Scope lock(m_lock);
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext) {
      if (e->m_id != id) continue;
      e->m_running = 1;
      return e;
    }
    return nullptr;
  }
  // Deletes the registration when it was deleted while running.
  void endRun(Element* e) {
    bool doomed = false;
    {
      EventBlock::Scope lock(m_lock);
      doomed = e->m_deletePending != 0;
      e->m_running = 0;
    }
    if (doomed) delete e;
  }

  // The source goes away.
  void clearSource(BaseEventSource* source) {
    EventBlock::Scope lock(m_lock);
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext)
      if (static_cast<BaseEventSource*>(e->m_pSource) == source) e->m_pSource = nullptr;
  }

  // Unlinks the first registration, or null.
  Element* takeFirst() {
    EventBlock::Scope lock(m_lock);
    Element* e = m_pHead;
    if (e != nullptr) {
      m_pHead = e->m_pNext;
      e->m_pNext = nullptr;
    }
    return e;
  }

  unsigned int getNumberOfRegistrations() {
    EventBlock::Scope lock(m_lock);
    unsigned int n = 0;
    for (Element* e = m_pHead; e != nullptr; e = e->m_pNext) ++n;
    return n;
  }

 private:
  Element* m_pHead;
  EventBlock m_lock;
};

#endif
