// An event with an id and three parameter words; base of DioEvent.
// Filter key: the event id.
#ifndef KAV_EVENTS_CHPIEVENT_H
#define KAV_EVENTS_CHPIEVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ChpiEvent {
 public:
  typedef unsigned int EventType;

  ChpiEvent();
  ChpiEvent(unsigned int eventId, unsigned int p1, unsigned int p2, unsigned int p3);
  // Rebuilds the event from its 16 payload bytes; null gives the default.
  explicit ChpiEvent(const void* data);
  ChpiEvent(const ChpiEvent& other);
  ChpiEvent& operator=(const ChpiEvent& other);
  virtual ~ChpiEvent();

  virtual const void* dataPointer() const;
  virtual unsigned int dataSize() const;
  EventType getEventType() const { return m_data.eventId; }
  unsigned int getEventId() const { return m_data.eventId; }
  unsigned int getP1() const { return m_data.p1; }

 private:
  struct Data {
    uint32_t eventId;
    uint32_t p1;
    uint32_t p2;
    uint32_t p3;
  } m_data;
};

#endif
