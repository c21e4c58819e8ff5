#include "kav/cards/IdProvider.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(IdProvider, QueryBase)

IdProvider::IdProvider() {}

IdProvider::~IdProvider() {}

BaseErrorData IdProvider::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  BinaryReaderNode::NodeList_t entries;
  node->getChildrenWithNodeName(get_string_by_id(kav::sid::ID_MAP_ENTRY), entries);
  for (const BinaryReaderNode* entry : entries) {
    unsigned int key = 0;
    unsigned int value = 0;
    if (getAttributeStringId(&key, kav::sid::ID_MAP_KEY, *entry, false) != 0) {
      KAV_TRACE(KAVE, "IdProvider::setAttributes entry without key");
      rc = 0x7049u;
      continue;
    }
    if (getAttributeStringId(&value, kav::sid::ID_MAP_VALUE, *entry, false) != 0) {
      KAV_TRACE(KAVE, "IdProvider::setAttributes entry without value key=%u", key);
      rc = 0x704Au;
      continue;
    }
    rc = addId(key, value);
  }
  return rc;
}

BaseErrorData IdProvider::getId(unsigned int key, unsigned int& value) const {
  BaseErrorData rc;
  IFOSGuard<IFOSRcFastMutex> guard(m_lock);
  kavstl::map<unsigned int, unsigned int>::const_iterator it = m_ids.find(key);
  if (it == m_ids.end()) {
    KAV_TRACE(KAVE, "IdProvider::getId key %u not mapped", key);
    rc = 0x704Cu;
    return rc;
  }
  value = it->second;
  return rc;
}

BaseErrorData IdProvider::addId(unsigned int key, unsigned int value) {
  BaseErrorData rc;
  IFOSGuard<IFOSRcFastMutex> guard(m_lock);
  std::pair<kavstl::map<unsigned int, unsigned int>::iterator, bool> ins = m_ids.insert(std::make_pair(key, value));
  if (!ins.second && ins.first->second != value) {
    KAV_TRACE_STR(KAVE, " %s,%X", get_string_by_id(key), value);
    rc = 0x704Bu;
  }
  return rc;
}

BaseErrorData IdProvider::removeId(unsigned int key) {
  IFOSGuard<IFOSRcFastMutex> guard(m_lock);
  m_ids.erase(key);
  return BaseErrorData();
}

BuildBase* createIdProvider(void*, BaseErrorData&) { return (new IdProvider())->getBuildInterface(); }
