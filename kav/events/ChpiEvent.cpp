#include "kav/events/ChpiEvent.h"

#include <cstring>

ChpiEvent::ChpiEvent() : m_data{0, 0, 0, 0} {}

ChpiEvent::ChpiEvent(unsigned int eventId, unsigned int p1, unsigned int p2, unsigned int p3)
    : m_data{eventId, p1, p2, p3} {}

ChpiEvent::ChpiEvent(const void* data) : m_data{0, 0, 0, 0} {
  if (data != nullptr) std::memcpy(&m_data, data, sizeof(m_data));
}

ChpiEvent::ChpiEvent(const ChpiEvent& other) = default;

ChpiEvent& ChpiEvent::operator=(const ChpiEvent& other) = default;

ChpiEvent::~ChpiEvent() = default;

const void* ChpiEvent::dataPointer() const { return &m_data; }

unsigned int ChpiEvent::dataSize() const { return sizeof(m_data); }
