// One slot of a source's ring queue: the payload bytes of one event, its
// filter value and whether it was sent as an any-event.
#ifndef KAV_EVENTS_EVENTSOURCEQUEUEELEMENT_H
#define KAV_EVENTS_EVENTSOURCEQUEUEELEMENT_H

#include "kav/events/EventSourceQueueBaseElement.h"

template <class T>
class EventSourceQueueElement : public EventSourceQueueBaseElement {
 public:
  EventSourceQueueElement() = default;

  // Guarded by the dispatcher's queue mutex while the slot is free; owned
  // by the dispatcher while it is being delivered.
  alignas(8) unsigned char m_payload[sizeof(T)] = {};
  unsigned int m_payloadSize = 0;
  typename T::EventType m_filter{};
  unsigned char m_any = 0;
};

#endif
