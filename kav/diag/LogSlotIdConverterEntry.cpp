#include "kav/diag/LogSlotIdConverterEntry.h"

#include <atomic>

#include "kav/diag/XmlLookupTable.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringAttributeProvider.h"
#include "kav/tree/config/StringIds.h"

namespace {
// Filled once during start and then only read, from any thread.
std::atomic<XmlLookupTable<LogSlotIdConverterEntry>*> g_converter{nullptr};
}  // namespace

BaseErrorData LogSlotIdConverterEntry::readXmlLine(unsigned int /*index*/, const BinaryReaderNode* node) {
  BaseErrorData rc = getAttributeUint32(&m_key.m_slotId, kav::sid::LOG_SLOT_ID_INTERNAL, *node, false);
  if (rc != 0) m_hasKey = false;
  rc = getAttributeUint32(&m_logSlotId, kav::sid::LOG_SLOT_ID_OFFICIAL, *node, false);
  return rc;
}

void initLogSlotIdConverter(const StringAttributeProvider& parameters, BaseErrorData& rc) {
  if (g_converter.load() != nullptr) return;
  auto* table = new XmlLookupTable<LogSlotIdConverterEntry>();
  kavstl::string mainType;
  BaseErrorData result = getAttributeString(mainType, kav::sid::SLOT_ID_CONVERTER_TABLE, parameters, false);
  if (result == 0) result = table->readXmlTable(mainType);
  KAV_TRACE_STR(KAVT, "initLogSlotIdConverter %s rows=%u rc=0x%08X", mainType, table->elementCount(),
                result.getRc());
  XmlLookupTable<LogSlotIdConverterEntry>* expected = nullptr;
  if (!g_converter.compare_exchange_strong(expected, table)) delete table;
  rc = result;
}

unsigned int convertSlotIdToLogSlotId(unsigned int slotId) {
  XmlLookupTable<LogSlotIdConverterEntry>* table = g_converter.load();
  if (table == nullptr) {
    BaseErrorData rc;
    rc = 0x7000;
    rc.microcodeLog("kav/LogSlotIdConverterEntry", __LINE__, "LogSlotIdConverter used before initialisation!", 2,
                    false);
    return slotId;
  }
  const LogSlotIdConverterEntry* row = table->getMatch(LogSlotIdConverterKey(slotId), true);
  return row != nullptr ? row->getLogSlotId() : slotId;
}

void terminateLogSlotIdConverter() { delete g_converter.exchange(nullptr); }
