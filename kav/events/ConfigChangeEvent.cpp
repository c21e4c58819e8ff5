#include "kav/events/ConfigChangeEvent.h"

#include <cstring>

bool ConfigChangeEvent::EventType_s::operator==(const EventType_s& other) const {
  if (this == &other) return true;
  if (slotId != 0 && other.slotId != 0 && slotId != other.slotId) return false;
  return state == other.state || state == ANY_CONFIGURATION_STATE || other.state == ANY_CONFIGURATION_STATE;
}

ConfigChangeEvent::ConfigChangeEvent() : m_type{0, UNDEFINED_CONFIGURATION_STATE} {}

ConfigChangeEvent::ConfigChangeEvent(unsigned int slotId, ConfigurationState_t state) : m_type{slotId, state} {}

ConfigChangeEvent::ConfigChangeEvent(const EventType_s& type) : m_type(type) {}

ConfigChangeEvent::ConfigChangeEvent(const void* data) : m_type{0, UNDEFINED_CONFIGURATION_STATE} {
  if (data != nullptr) std::memcpy(&m_type, data, sizeof(m_type));
}

ConfigChangeEvent::ConfigChangeEvent(const ConfigChangeEvent& other) = default;

ConfigChangeEvent& ConfigChangeEvent::operator=(const ConfigChangeEvent& other) = default;

ConfigChangeEvent::~ConfigChangeEvent() = default;
