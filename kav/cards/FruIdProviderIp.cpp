#include "kav/cards/FruIdProviderIp.h"

#include <cstdio>

#include "kav/runtime/KavTrace.h"
#include "quib/Quib.h"

KAV_TREE_CLASS_IMPL(FruIdProviderIp, FruIdProviderInterface)

FruIdProviderIp::FruIdProviderIp() {}

FruIdProviderIp::~FruIdProviderIp() {}

BaseErrorData FruIdProviderIp::getCardType(unsigned int* cardType) const {
  BaseErrorData rc;
  if (cardType == nullptr) {
    rc = 0x7000u;
    return rc;
  }
  int value = 0;
  unsigned int result = QUIB::quib_getCT(getSlotId(), value);
  if ((result & 0xFFFFu) != 0) {
    KAV_TRACE(KAVE, " %hX", result & 0xFFFFu);
    *cardType = 0;
    rc = 0x7047u;
    return rc;
  }
  *cardType = static_cast<unsigned int>(value);
  return rc;
}

BaseErrorData FruIdProviderIp::getHardwareLevel(unsigned int* hardwareLevel) const {
  BaseErrorData rc;
  if (hardwareLevel == nullptr) {
    rc = 0x7000u;
    return rc;
  }
  int value = 0;
  unsigned int result = QUIB::quib_getHwl(getSlotId(), value);
  if ((result & 0xFFFFu) != 0) {
    KAV_TRACE(KAVE, " %hX", result & 0xFFFFu);
    *hardwareLevel = 0;
    rc = 0x7048u;
    return rc;
  }
  *hardwareLevel = static_cast<unsigned int>(value);
  return rc;
}

BaseErrorData FruIdProviderIp::getCardTypeImpl(kavstl::string& cardType) const {
  unsigned int value = 0;
  BaseErrorData rc = getCardType(&value);
  char text[16];
  std::snprintf(text, sizeof text, "%.8X", value);
  cardType = text;
  return rc;
}

BaseErrorData FruIdProviderIp::getHardwareLevelImpl(kavstl::string& hardwareLevel) const {
  unsigned int value = 0;
  BaseErrorData rc = getHardwareLevel(&value);
  char text[16];
  std::snprintf(text, sizeof text, "%.4X", value);
  hardwareLevel = text;
  return rc;
}

BuildBase* createFruIdProviderIp(void*, BaseErrorData&) { return (new FruIdProviderIp())->getBuildInterface(); }
