#include "SimI2cDevice.h"

namespace ravosim {
namespace detail {

RegisterFileDevice::RegisterFileDevice(unsigned size)
    : m_value(size, 0), m_reset(size, 0), m_readOnly(size, 0), m_w1c(size, 0) {}

void RegisterFileDevice::setRegister(unsigned reg, uint8_t reset, uint8_t readOnly, uint8_t writeOneToClear) {
  if (reg >= m_value.size()) return;
  m_reset[reg] = reset;
  m_readOnly[reg] = readOnly;
  m_w1c[reg] = writeOneToClear;
  m_value[reg] = reset;
}

void RegisterFileDevice::reset() {
  m_value = m_reset;
  m_position = 0;
}

bool RegisterFileDevice::write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) {
  if (hasOffset) m_position = offset;
  for (size_t i = 0; i < len; ++i) {
    if (m_position >= m_value.size()) return false;
    const uint8_t ro = m_readOnly[m_position];
    const uint8_t w1c = m_w1c[m_position] & static_cast<uint8_t>(~ro);
    const uint8_t plain = static_cast<uint8_t>(~(ro | w1c));
    uint8_t v = m_value[m_position];
    v = static_cast<uint8_t>((v & ~plain) | (data[i] & plain));
    v = static_cast<uint8_t>(v & ~(data[i] & w1c));
    m_value[m_position] = v;
    ++m_position;
  }
  return true;
}

bool RegisterFileDevice::read(bool hasOffset, uint32_t offset, bool /*specialRead*/, uint8_t* data, size_t len) {
  if (hasOffset) m_position = offset;
  for (size_t i = 0; i < len; ++i) {
    if (m_position >= m_value.size()) return false;
    data[i] = m_value[m_position++];
  }
  return true;
}

bool RegisterFileDevice::peek(unsigned reg, uint8_t& value) const {
  if (reg >= m_value.size()) return false;
  value = m_value[reg];
  return true;
}

bool RegisterFileDevice::poke(unsigned reg, uint8_t value) {
  if (reg >= m_value.size()) return false;
  m_value[reg] = value;
  return true;
}

}  // namespace detail
}  // namespace ravosim
