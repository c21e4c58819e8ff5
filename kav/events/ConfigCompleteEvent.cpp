#include "kav/events/ConfigCompleteEvent.h"

#include <cstring>

ConfigCompleteEvent::ConfigCompleteEvent() : m_type(UNDEFINED_CONFIG_COMPLETE) {}

ConfigCompleteEvent::ConfigCompleteEvent(EventType type) : m_type(type) {}

ConfigCompleteEvent::ConfigCompleteEvent(const void* data) : m_type(UNDEFINED_CONFIG_COMPLETE) {
  if (data != nullptr) std::memcpy(&m_type, data, sizeof(m_type));
}

ConfigCompleteEvent::ConfigCompleteEvent(const ConfigCompleteEvent& other) = default;

ConfigCompleteEvent& ConfigCompleteEvent::operator=(const ConfigCompleteEvent& other) = default;

ConfigCompleteEvent::~ConfigCompleteEvent() = default;
