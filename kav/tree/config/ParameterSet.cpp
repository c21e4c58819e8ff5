#include "kav/tree/config/ParameterSet.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

BaseErrorData ParameterSet::readParameterSet(const BinaryReaderNode* node) {
  BaseErrorData result(BaseErrorData::NO_OVERWRITE);
  if (node == nullptr) {
    KAV_TRACE(KAVE, "ParameterSet::readParameterSet: no node");
    result << "ParameterSet::readParameterSet: no node";
    result = 0x7000;
    return result;
  }
  BinaryReaderNode::NodeList_t entries;
  node->getChildrenWithNodeName("ParameterEntry", entries);
  for (const BinaryReaderNode* entry : entries) {
    kavstl::string name;
    kavstl::string value;
    BaseErrorData err = getAttributeString(name, kav::sid::PARAMETER_NAME, *entry, false);
    if (err != 0) {
      result = err;
      continue;
    }
    err = getAttributeString(value, kav::sid::PARAMETER_VALUE, *entry, false);
    if (err != 0) {
      result = err;
      continue;
    }
    if (!addValue(name, value)) {
      KAV_TRACE_STR(KAVE, "ParameterSet: parameter %s given twice, first value kept", name);
      BaseErrorData dup(BaseErrorData::NO_OVERWRITE);
      dup << "ParameterSet: parameter given twice: " << name;
      dup = 0x7013;
      result = dup;
    }
  }
  return result;
}

bool ParameterSet::addValue(const kavstl::string& name, const kavstl::string& value) {
  return m_entries.emplace(name, value).second;
}

const kavstl::string* ParameterSet::getValue(const kavstl::string& name, bool quiet) const {
  auto it = m_entries.find(name);
  if (it == m_entries.end()) {
    if (!quiet) KAV_TRACE_STR(KAVE, "ParameterSet: no parameter %s", name);
    return nullptr;
  }
  return &it->second;
}

unsigned int ParameterSet::getAttributeValue(const kavstl::string& name, kavstl::string& value, bool optional) const {
  const kavstl::string* v = getValue(name, optional);
  if (v == nullptr) {
    value.clear();
    return 0x7145;
  }
  value = *v;
  return 0;
}
