// One entry of an I/O multiplexer: for one pin group, whether the
// multiplexer drives it, which engine (mux level 0..7) and how its receivers
// behave (control-gate mask, receiver threshold).
//
// The entry word the device takes: bit 31 enable, bits 30..28 level, bits
// 27..24 control gates, bits 23..20 threshold, bits 19..0 zero.
#ifndef KAV_HWACCESS_IOMUXINFO_H
#define KAV_HWACCESS_IOMUXINFO_H

#include <ostream>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT IoMuxInfo {
 public:
  IoMuxInfo();

  BaseErrorData setGroupId(unsigned int groupId);
  BaseErrorData enableMux();
  // Clears the enable and sets level 0.
  BaseErrorData disableMux();
  BaseErrorData setMuxLevel(unsigned int level);
  // The string id of the selected engine's type name.
  BaseErrorData setSelectedEngine(unsigned int engineNameId);
  BaseErrorData setControlGates(unsigned int gates);
  BaseErrorData setReceiverThreshold(unsigned int threshold);

  unsigned int getGroupId() const { return m_groupId; }
  bool isMuxEnabled() const { return m_muxEnable; }
  unsigned int getMuxLevel() const { return m_muxLevel; }
  unsigned int getSelectedEngine() const { return m_selectedEngine; }
  unsigned int getControlGates() const { return m_enableReceiverControlGate; }
  unsigned int getReceiverThreshold() const { return m_receiveThreshold; }

  // The entry word of this entry; and the entry a word read from the
  // device describes (the group id is left as it is).
  unsigned int toEntryWord() const;
  void setFromEntryWord(unsigned int word);

  void dumpXml(std::ostream& os) const;

 private:
  unsigned int m_groupId;
  bool m_muxEnable;
  unsigned int m_muxLevel;
  unsigned int m_selectedEngine;
  unsigned int m_enableReceiverControlGate;
  unsigned int m_receiveThreshold;
};

#endif
