#include "kav/hwaccess/pld/IoMuxInfo.h"

IoMuxInfo::IoMuxInfo()
    : m_groupId(0xFFFFFFFFu),
      m_muxEnable(false),
      m_muxLevel(0xFFFFFFFFu),
      m_selectedEngine(0),
      m_enableReceiverControlGate(0xFFFFFFFFu),
      m_receiveThreshold(0xFFFFFFFFu) {}

BaseErrorData IoMuxInfo::setGroupId(unsigned int groupId) {
  m_groupId = groupId;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::enableMux() {
  m_muxEnable = true;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::disableMux() {
  m_muxEnable = false;
  m_muxLevel = 0;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::setMuxLevel(unsigned int level) {
  m_muxLevel = level;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::setSelectedEngine(unsigned int engineNameId) {
  m_selectedEngine = engineNameId;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::setControlGates(unsigned int gates) {
  m_enableReceiverControlGate = gates;
  return BaseErrorData();
}

BaseErrorData IoMuxInfo::setReceiverThreshold(unsigned int threshold) {
  m_receiveThreshold = threshold;
  return BaseErrorData();
}

unsigned int IoMuxInfo::toEntryWord() const {
  // The level has three bits: a larger one must not set the enable bit.
  const unsigned int top = (m_muxEnable ? 8u : 0u) | (m_muxLevel & 7u);
  return top << 28 | (m_enableReceiverControlGate & 0xFu) << 24 | (m_receiveThreshold & 0xFu) << 20;
}

void IoMuxInfo::setFromEntryWord(unsigned int word) {
  if ((word & 0x80000000u) != 0) {
    enableMux();
  } else {
    disableMux();
  }
  m_muxLevel = (word >> 28) & 0x7u;
  m_enableReceiverControlGate = (word >> 24) & 0xFu;
  m_receiveThreshold = (word >> 20) & 0xFu;
}

void IoMuxInfo::dumpXml(std::ostream& os) const {
  os << "<parameter name=\"m_groupId\" value=\"" << m_groupId << "\"/>\n";
  os << "<parameter name=\"m_muxEnable\" value=\"" << (m_muxEnable ? "true" : "false") << "\"/>\n";
  os << "<parameter name=\"m_muxLevel\" value=\"" << m_muxLevel << "\"/>\n";
  os << "<parameter name=\"SelectedEngine\" value=\"" << m_selectedEngine << "\"/>\n";
  os << "<parameter name=\"m_enableReceiverControlGate\" value=\"" << m_enableReceiverControlGate << "\"/>\n";
  os << "<parameter name=\"m_receiveThreshold\" value=\"" << m_receiveThreshold << "\"/>\n";
}
