#include "kav/diag/LookupMainEntry.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderNode.h"

BaseErrorData LookupMainEntry::readXmlLine(unsigned int index, const BinaryReaderNode* node) {
  BaseErrorData rc;
  unsigned int result = node->getAttributeValue("mainType", m_key.m_mainType, false);
  if (result != 0) {
    KAV_TRACE(KAVE, "LookupMainEntry row %u has no mainType", index);
    m_hasKey = false;
    rc = result;
  }
  node->getAttributeValue("Name", m_name, true);
  node->getAttributeValue("parseName", m_parseName, true);
  rc = m_subEntries.parseXmlTableForEntry(node);
  return rc;
}

const LookupSubEntry* LookupMainEntry::getSubEntry(const kavstl::string& subType) const {
  const LookupSubEntry* sub = m_subEntries.getMatch(LookupSubKey(subType), true);
  if (sub == nullptr) sub = m_subEntries.getMatch(LookupSubKey("Any"), true);
  return sub;
}
