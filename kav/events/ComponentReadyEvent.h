// A component became ready. Filter key: its instance id.
#ifndef KAV_EVENTS_COMPONENTREADYEVENT_H
#define KAV_EVENTS_COMPONENTREADYEVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ComponentReadyEvent {
 public:
  typedef unsigned int EventType;

  ComponentReadyEvent();
  explicit ComponentReadyEvent(unsigned int componentId);
  // Rebuilds the event from its payload word; null gives the default.
  explicit ComponentReadyEvent(const void* data);
  ComponentReadyEvent(const ComponentReadyEvent& other);
  ComponentReadyEvent& operator=(const ComponentReadyEvent& other);
  virtual ~ComponentReadyEvent();

  const void* dataPointer() const { return &m_componentId; }
  unsigned int dataSize() const { return sizeof(m_componentId); }
  EventType getEventType() const { return m_componentId; }
  unsigned int getComponentId() const { return m_componentId; }

 private:
  uint32_t m_componentId;
};

#endif
