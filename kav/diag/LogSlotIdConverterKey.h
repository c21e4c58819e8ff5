// Key of a slot-id conversion row: the internal slot id.
#ifndef KAV_DIAG_LOGSLOTIDCONVERTERKEY_H
#define KAV_DIAG_LOGSLOTIDCONVERTERKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class LogSlotIdConverterKey : public XmlLineKey<LogSlotIdConverterKey> {
 public:
  LogSlotIdConverterKey() = default;
  explicit LogSlotIdConverterKey(unsigned int slotId) : m_slotId(slotId) {}

  bool operator<(const LogSlotIdConverterKey& other) const { return m_slotId < other.m_slotId; }
  kavstl::string asString() const;

  unsigned int m_slotId = 0;
};

#endif
