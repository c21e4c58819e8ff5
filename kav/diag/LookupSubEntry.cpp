#include "kav/diag/LookupSubEntry.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderNode.h"

BaseErrorData LookupSubEntry::readXmlLine(unsigned int index, const BinaryReaderNode* node) {
  BaseErrorData rc;
  unsigned int result = node->getAttributeValue("subType", m_key.m_subType, false);
  if (result != 0) {
    KAV_TRACE(KAVE, "LookupSubEntry row %u has no subType", index);
    m_hasKey = false;
    rc = result;
  }
  m_fileName = node->getValue();
  return rc;
}
