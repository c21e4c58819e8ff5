#include "kav/diag/StringToIdLineEntry.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderNode.h"

BaseErrorData StringToIdLineEntry::readXmlLine(unsigned int index, const BinaryReaderNode* node) {
  BaseErrorData rc;
  m_key = StringToIdLineKey(index + 1);
  unsigned int result = node->getAttributeValue("String", m_text, false);
  if (result != 0) {
    KAV_TRACE(KAVE, "StringToIdLineEntry row %u has no String", index + 1);
    m_hasKey = false;
    rc = result;
  }
  return rc;
}
