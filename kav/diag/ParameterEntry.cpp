#include "kav/diag/ParameterEntry.h"

#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

BaseErrorData ParameterEntry::readXmlLine(unsigned int /*index*/, const BinaryReaderNode* node) {
  BaseErrorData rc = getAttributeString(m_key.m_name, kav::sid::PARAMETER_NAME, *node, false);
  if (rc != 0) m_hasKey = false;
  rc = getAttributeString(m_value, kav::sid::PARAMETER_VALUE, *node, false);
  return rc;
}
