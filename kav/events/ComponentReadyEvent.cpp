#include "kav/events/ComponentReadyEvent.h"

#include <cstring>

ComponentReadyEvent::ComponentReadyEvent() : m_componentId(0) {}

ComponentReadyEvent::ComponentReadyEvent(unsigned int componentId) : m_componentId(componentId) {}

ComponentReadyEvent::ComponentReadyEvent(const void* data) : m_componentId(0) {
  if (data != nullptr) std::memcpy(&m_componentId, data, sizeof(m_componentId));
}

ComponentReadyEvent::ComponentReadyEvent(const ComponentReadyEvent& other) = default;

ComponentReadyEvent& ComponentReadyEvent::operator=(const ComponentReadyEvent& other) = default;

ComponentReadyEvent::~ComponentReadyEvent() = default;
