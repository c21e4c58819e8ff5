#include "kav/cards/IdProviderAccess.h"

#include "kav/cards/IdProvider.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"

namespace {
const unsigned int kMissingPointer = 0x7000u;
const unsigned int kInvalidValue = 0x7013u;

// The provider is returned counted: it stays alive while it is asked even
// when another thread removes its subtree meanwhile.
KavPtr<const IdProvider> findProvider(const QueryBase* node) {
  if (node == nullptr) return KavPtr<const IdProvider>();
  const unsigned int providerClass = IdProvider::staticGetClassId();
  for (KavPtr<const QueryBase> level = node->getParent(); level != nullptr; level = level->getParent()) {
    if (level->isInstanceOf(providerClass))
      return KavPtr<const IdProvider>(static_cast<const IdProvider*>(level.getRawPointer()));
    QueryBase::ChildList_t children = level->getChildren();
    QueryBase::ChildList_t hidden = level->getHiddenChildren();
    children.insert(children.end(), hidden.begin(), hidden.end());
    for (const KavPtr<QueryBase>& child : children)
      if (child->isInstanceOf(providerClass))
        return KavPtr<const IdProvider>(static_cast<const IdProvider*>(child.getRawPointer()));
  }
  return KavPtr<const IdProvider>();
}
}  // namespace

BaseErrorData getIdFromProvider(const QueryBase* node, unsigned int key, unsigned int& value) {
  BaseErrorData rc;
  KavPtr<const IdProvider> provider = findProvider(node);
  if (provider == nullptr) {
    KAV_TRACE(KAVE, "getIdFromProvider: no IdProvider above, key=%u", key);
    rc = kMissingPointer;
    return rc;
  }
  return provider->getId(key, value);
}

BaseErrorData getIdFromProviderUint32(const QueryBase* node, unsigned int key, unsigned int& value) {
  unsigned int textId = 0;
  BaseErrorData rc = getIdFromProvider(node, key, textId);
  if (rc != 0) return rc;
  unsigned int number = 0;
  unsigned int attributeId = key;
  BaseErrorData parsed = getVal(get_string_by_id(textId), number, attributeId);
  if (parsed != 0) {
    KAV_TRACE_STR(KAVE, "getIdFromProviderUint32: no number %s", get_string_by_id(textId));
    rc = kInvalidValue;
    return rc;
  }
  value = number;
  return rc;
}
