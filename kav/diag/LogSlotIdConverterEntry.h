// The slot-id conversion table: rows "LogSlotIdConverterEntry" turn an
// internal slot id (string id 26) into the id error logs use (string id 27).
// The table is created once by initLogSlotIdConverter() and then only read.
#ifndef KAV_DIAG_LOGSLOTIDCONVERTERENTRY_H
#define KAV_DIAG_LOGSLOTIDCONVERTERENTRY_H

#include "kav/diag/LogSlotIdConverterKey.h"
#include "kav/diag/XmlLineEntry.h"
#include "kav/tree/objects/KavExport.h"

class StringAttributeProvider;

class LogSlotIdConverterEntry : public XmlLineEntry<LogSlotIdConverterKey> {
 public:
  static const char* getEntryName() { return "LogSlotIdConverterEntry"; }

  // A row without internal slot id has no key.
  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  unsigned int getLogSlotId() const { return m_logSlotId; }

 private:
  unsigned int m_logSlotId = 0;
};

// On the first call creates the table and reads it from the main type named
// by the parameter with string id 92; later calls do nothing. The read
// result is assigned to `rc`.
KAV_EXPORT void initLogSlotIdConverter(const StringAttributeProvider& parameters, BaseErrorData& rc);
// The log slot id of the row for `slotId`, or `slotId` itself without such a
// row. Used before initLogSlotIdConverter() it logs an internal error.
KAV_EXPORT unsigned int convertSlotIdToLogSlotId(unsigned int slotId);
// Deletes the table (the library keeps it for the life of the process; tests
// use this to start again).
void terminateLogSlotIdConverter();

#endif
