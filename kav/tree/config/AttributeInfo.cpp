#include "kav/tree/config/AttributeInfo.h"

#include "kav/runtime/KavTrace.h"

AttributeInfo::AttributeInfo(QueryBase* parent, const BinaryReaderNode* local, const BinaryReaderNode* file)
    : m_parent(parent), m_local(local), m_file(file) {}

QueryBase* AttributeInfo::getParent() const {
  KAV_TRACE(KAVT, "AttributeInfo::getParent %p", m_parent);
  return m_parent;
}
