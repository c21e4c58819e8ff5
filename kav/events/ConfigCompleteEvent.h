// The (minimum) configuration became complete. Filter key: the event type.
#ifndef KAV_EVENTS_CONFIGCOMPLETEEVENT_H
#define KAV_EVENTS_CONFIGCOMPLETEEVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ConfigCompleteEvent {
 public:
  enum EventType : uint32_t { MINIMUM_CONFIG_COMPLETE = 0, CONFIG_COMPLETE = 1, UNDEFINED_CONFIG_COMPLETE = 2 };

  ConfigCompleteEvent();
  explicit ConfigCompleteEvent(EventType type);
  // Rebuilds the event from its payload word; null gives the default.
  explicit ConfigCompleteEvent(const void* data);
  ConfigCompleteEvent(const ConfigCompleteEvent& other);
  ConfigCompleteEvent& operator=(const ConfigCompleteEvent& other);
  virtual ~ConfigCompleteEvent();

  const void* dataPointer() const { return &m_type; }
  unsigned int dataSize() const { return sizeof(m_type); }
  EventType getEventType() const { return static_cast<EventType>(m_type); }

 private:
  uint32_t m_type;
};

#endif
