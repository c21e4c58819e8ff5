#include "kav/cards/FixedFruIdProvider.h"

#include "kav/cards/IdProvider.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(FixedFruIdProvider, FruIdProviderInterface)

FixedFruIdProvider::FixedFruIdProvider() {}

FixedFruIdProvider::~FixedFruIdProvider() {}

BaseErrorData FixedFruIdProvider::getIdFromProvider(unsigned int key, unsigned int& value) const {
  BaseErrorData rc;
  const unsigned int providerClass = IdProvider::staticGetClassId();
  for (KavPtr<const QueryBase> level = getParent(); level != nullptr; level = level->getParent()) {
    if (level->isInstanceOf(providerClass)) {
      return static_cast<const IdProvider*>(level.getRawPointer())->getId(key, value);
    }
    QueryBase::ChildList_t children = level->getChildren();
    QueryBase::ChildList_t hidden = level->getHiddenChildren();
    children.insert(children.end(), hidden.begin(), hidden.end());
    for (const KavPtr<QueryBase>& child : children) {
      if (child->isInstanceOf(providerClass)) {
        return static_cast<const IdProvider*>(child.getRawPointer())->getId(key, value);
      }
    }
  }
  KAV_TRACE(KAVE, "FixedFruIdProvider: no IdProvider above slot=0x%08X", getSlotId());
  rc = 0x7000u;
  return rc;
}

BaseErrorData FixedFruIdProvider::getCardTypeImpl(kavstl::string& cardType) const {
  unsigned int value = 0;
  BaseErrorData rc = getIdFromProvider(kav::sid::ID_KEY_CARD_TYPE, value);
  if (rc == 0) cardType = get_string_by_id(value);
  return rc;
}

BaseErrorData FixedFruIdProvider::getHardwareLevelImpl(kavstl::string& hardwareLevel) const {
  unsigned int value = 0;
  BaseErrorData rc = getIdFromProvider(kav::sid::ID_KEY_HARDWARE_LEVEL, value);
  if (rc == 0) hardwareLevel = get_string_by_id(value);
  return rc;
}

BuildBase* createFixedFruIdProvider(void*, BaseErrorData&) {
  return (new FixedFruIdProvider())->getBuildInterface();
}
