#include "kav/events/PlugEvent.h"

#include <cstring>

PlugEvent::PlugEvent() : m_data{0, 0, PLUG} {}

PlugEvent::PlugEvent(unsigned int slotId, unsigned int plugId, plugType_t type) : m_data{slotId, plugId, type} {}

PlugEvent::PlugEvent(const void* data) : m_data{0, 0, PLUG} {
  if (data != nullptr) std::memcpy(&m_data, data, sizeof(m_data));
}

PlugEvent::PlugEvent(const PlugEvent& other) = default;

PlugEvent& PlugEvent::operator=(const PlugEvent& other) = default;
