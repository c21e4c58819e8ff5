// A slot became configured or unconfigured. Filter key: EventType_s, the
// slot id and the configuration state, with wildcards on either side.
#ifndef KAV_EVENTS_CONFIGCHANGEEVENT_H
#define KAV_EVENTS_CONFIGCHANGEEVENT_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT ConfigChangeEvent {
 public:
  enum ConfigurationState_t : uint32_t {
    CONFIGURED = 0,
    UNCONFIGURED = 1,
    ANY_CONFIGURATION_STATE = 2,      // in a filter: matches either state
    UNDEFINED_CONFIGURATION_STATE = 3  // default of a default-constructed event
  };

  struct KAV_EXPORT EventType_s {
    uint32_t slotId;  // 0 matches any slot
    uint32_t state;   // a ConfigurationState_t

    // Same object; else slot ids that are both set must agree, and the
    // states must be equal or one of them ANY_CONFIGURATION_STATE.
    bool operator==(const EventType_s& other) const;
    bool operator!=(const EventType_s& other) const { return !(*this == other); }
  };
  typedef EventType_s EventType;

  ConfigChangeEvent();
  ConfigChangeEvent(unsigned int slotId, ConfigurationState_t state);
  explicit ConfigChangeEvent(const EventType_s& type);
  // Rebuilds the event from its 8 payload bytes; null gives the default.
  explicit ConfigChangeEvent(const void* data);
  ConfigChangeEvent(const ConfigChangeEvent& other);
  ConfigChangeEvent& operator=(const ConfigChangeEvent& other);
  virtual ~ConfigChangeEvent();

  const void* dataPointer() const { return &m_type; }
  unsigned int dataSize() const { return sizeof(m_type); }
  const EventType_s& getEventType() const { return m_type; }

  unsigned int getSlotId() const { return m_type.slotId; }
  ConfigurationState_t getConfigurationState() const { return static_cast<ConfigurationState_t>(m_type.state); }
  bool isConfigEvent() const { return m_type.state == CONFIGURED; }
  bool isUnconfigEvent() const { return m_type.state == UNCONFIGURED; }

 private:
  EventType_s m_type;
};

#endif
