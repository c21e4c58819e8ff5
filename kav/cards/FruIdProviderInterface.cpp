#include "kav/cards/FruIdProviderInterface.h"

#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(FruIdProviderInterface, QueryBase)

namespace {
const char* const kUnreadable = "0x00000000";
}

FruIdProviderInterface::FruIdProviderInterface() {}

FruIdProviderInterface::~FruIdProviderInterface() {}

BaseErrorData FruIdProviderInterface::getCardTypeString(kavstl::string& cardType) const {
  BaseErrorData rc = getCardTypeImpl(cardType);
  if (rc != 0) {
    KAV_TRACE(KAVE, "getCardTypeString slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
    cardType = kUnreadable;
  }
  return rc;
}

BaseErrorData FruIdProviderInterface::getHdwLvlString(kavstl::string& hardwareLevel) const {
  BaseErrorData rc = getHardwareLevelImpl(hardwareLevel);
  if (rc != 0) {
    KAV_TRACE(KAVE, "getHdwLvlString slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
    hardwareLevel = kUnreadable;
  }
  return rc;
}
