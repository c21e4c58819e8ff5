// Card identity from the firmware adapter's card-type and hardware-level
// queries for the provider's slot. The card type is formatted "%.8X", the
// hardware level "%.4X".
#ifndef KAV_CARDS_FRUIDPROVIDERIP_H
#define KAV_CARDS_FRUIDPROVIDERIP_H

#include "kav/cards/FruIdProviderInterface.h"

class KAV_EXPORT FruIdProviderIp : public FruIdProviderInterface {
  KAV_TREE_CLASS(FruIdProviderIp)

 public:
  FruIdProviderIp();
  ~FruIdProviderIp() override;

  // 0x7047 (value 0) when the query fails; 0x7000 for a null pointer.
  BaseErrorData getCardType(unsigned int* cardType) const;
  // 0x7048 (value 0) when the query fails; 0x7000 for a null pointer.
  BaseErrorData getHardwareLevel(unsigned int* hardwareLevel) const;

  BaseErrorData getCardTypeImpl(kavstl::string& cardType) const override;
  BaseErrorData getHardwareLevelImpl(kavstl::string& hardwareLevel) const override;
};

extern "C" KAV_EXPORT BuildBase* createFruIdProviderIp(void* argument, BaseErrorData& error);

#endif
