// An oscillator event for clients outside the library; nothing inside sends
// or receives it. Filter key: the event type.
#ifndef KAV_EVENTS_OSCILLATOREVENT_H
#define KAV_EVENTS_OSCILLATOREVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT OscillatorEvent {
 public:
  enum EventType : uint32_t { DEFAULT_OSCILLATOR_EVENT = 3 };

  OscillatorEvent();
  OscillatorEvent(EventType type, unsigned int slotId);
  // Rebuilds the event from its 8 payload bytes; null gives the default.
  explicit OscillatorEvent(const void* data);
  OscillatorEvent(const OscillatorEvent& other);
  OscillatorEvent& operator=(const OscillatorEvent& other);
  virtual ~OscillatorEvent();

  const void* dataPointer() const { return &m_data; }
  unsigned int dataSize() const { return sizeof(m_data); }
  EventType getEventType() const { return static_cast<EventType>(m_data.type); }
  unsigned int getSlotId() const { return m_data.slotId; }

 private:
  struct Data {
    uint32_t type;
    uint32_t slotId;
  } m_data;
};

#endif
