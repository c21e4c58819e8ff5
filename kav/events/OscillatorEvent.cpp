#include "kav/events/OscillatorEvent.h"

#include <cstring>

OscillatorEvent::OscillatorEvent() : m_data{DEFAULT_OSCILLATOR_EVENT, 0} {}

OscillatorEvent::OscillatorEvent(EventType type, unsigned int slotId) : m_data{type, slotId} {}

OscillatorEvent::OscillatorEvent(const void* data) : m_data{DEFAULT_OSCILLATOR_EVENT, 0} {
  if (data != nullptr) std::memcpy(&m_data, data, sizeof(m_data));
}

OscillatorEvent::OscillatorEvent(const OscillatorEvent& other) = default;

OscillatorEvent& OscillatorEvent::operator=(const OscillatorEvent& other) = default;

OscillatorEvent::~OscillatorEvent() = default;
