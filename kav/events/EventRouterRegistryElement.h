// One registration held by a router: its id, the callback copy and the
// source it is registered with.
#ifndef KAV_EVENTS_EVENTROUTERREGISTRYELEMENT_H
#define KAV_EVENTS_EVENTROUTERREGISTRYELEMENT_H

#include "kav/events/BaseEventCallback.h"

template <class T>
class EventSource;

template <class T>
class EventRouterRegistryElement {
 public:
  EventRouterRegistryElement() = default;
  ~EventRouterRegistryElement() { delete m_pCallback; }
  EventRouterRegistryElement(const EventRouterRegistryElement&) = delete;
  EventRouterRegistryElement& operator=(const EventRouterRegistryElement&) = delete;

  EventRouterRegistryElement<T>* m_pNext = nullptr;
  long m_id = 0;
  BaseEventCallback<T>* m_pCallback = nullptr;  // owned
  EventSource<T>* m_pSource = nullptr;          // null once the source went away
  unsigned char m_running = 0;                  // 1 while the callback runs
  unsigned char m_deletePending = 0;
};

#endif
