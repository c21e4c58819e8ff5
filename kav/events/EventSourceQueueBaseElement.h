// One slot of a source's ring queue as the dispatcher sees it.
#ifndef KAV_EVENTS_EVENTSOURCEQUEUEBASEELEMENT_H
#define KAV_EVENTS_EVENTSOURCEQUEUEBASEELEMENT_H

#include <cstdint>

class EventSourceBaseQueue;

class EventSourceQueueBaseElement {
 public:
  enum State_t : uint32_t { QUEUED = 0, DELIVERING = 1, CANCELLED = 2, FREE = 3 };

  EventSourceQueueBaseElement() = default;
  virtual ~EventSourceQueueBaseElement() = default;
  EventSourceQueueBaseElement(const EventSourceQueueBaseElement&) = delete;
  EventSourceQueueBaseElement& operator=(const EventSourceQueueBaseElement&) = delete;

  // All fields are guarded by the dispatcher's queue mutex.
  uint32_t m_state = FREE;
  EventSourceBaseQueue* m_pQueue = nullptr;
  EventSourceQueueBaseElement* m_pNext = nullptr;  // the dispatcher's list
};

#endif
