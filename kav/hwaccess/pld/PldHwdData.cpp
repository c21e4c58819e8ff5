#include "kav/hwaccess/pld/PldHwdData.h"

#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(PldHwdData, QueryBase)

PldHwdData::PldHwdData() : m_pldId(0xFFFFFFFFu), m_configValue(0) {}

PldHwdData::~PldHwdData() {}

BaseErrorData PldHwdData::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeUint32(&m_pldId, kav::sid::PLD_ID, *node, false);
  rc = getAttributeUint32(&m_configValue, kav::sid::PLD_CONFIG_VALUE, *node, false);
  return rc;
}

void PldHwdData::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"PldHwdData\">\n";
  os << "<parameter name=\"m_pldId\" value=\"" << m_pldId << "\"/>\n";
  os << "<parameter name=\"m_configValue\" value=\"" << m_configValue << "\"/>\n";
  os << "</class>\n";
  QueryBase::dumpXml(os);
}

BuildBase* createPldHwdData(void*, BaseErrorData&) { return (new PldHwdData())->getBuildInterface(); }
