// A card was plugged or unplugged in a slot. Filter key: the slot id.
#ifndef KAV_EVENTS_PLUGEVENT_H
#define KAV_EVENTS_PLUGEVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT PlugEvent {
 public:
  enum plugType_t : uint32_t { PLUG = 1, UNPLUG = 2 };
  typedef unsigned int EventType;

  PlugEvent();
  PlugEvent(unsigned int slotId, unsigned int plugId, plugType_t type);
  // Rebuilds the event from its 12 payload bytes; null gives the default.
  explicit PlugEvent(const void* data);
  PlugEvent(const PlugEvent& other);
  PlugEvent& operator=(const PlugEvent& other);

  const void* dataPointer() const { return &m_data; }
  unsigned int dataSize() const { return sizeof(m_data); }
  EventType getEventType() const { return m_data.slotId; }

  unsigned int getSlotId() const { return m_data.slotId; }
  unsigned int getPlugId() const { return m_data.plugId; }
  plugType_t getPlugType() const { return static_cast<plugType_t>(m_data.plugType); }
  bool isPlugEvent() const { return m_data.plugType == PLUG; }
  bool isUnplugEvent() const { return m_data.plugType == UNPLUG; }

 private:
  struct Data {
    uint32_t slotId;
    uint32_t plugId;
    uint32_t plugType;
  } m_data;
};

#endif
