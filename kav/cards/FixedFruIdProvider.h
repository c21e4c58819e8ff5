// Card identity from the IdProvider above: the card type is the text of the
// value of key "CardTypeId", the hardware level that of "HardwareLevelId".
#ifndef KAV_CARDS_FIXEDFRUIDPROVIDER_H
#define KAV_CARDS_FIXEDFRUIDPROVIDER_H

#include "kav/cards/FruIdProviderInterface.h"

class KAV_EXPORT FixedFruIdProvider : public FruIdProviderInterface {
  KAV_TREE_CLASS(FixedFruIdProvider)

 public:
  FixedFruIdProvider();
  ~FixedFruIdProvider() override;

  BaseErrorData getCardTypeImpl(kavstl::string& cardType) const override;
  BaseErrorData getHardwareLevelImpl(kavstl::string& hardwareLevel) const override;

  // The value of the key in the nearest IdProvider above: an ancestor that
  // is one, or else the first one among an ancestor's children, going up.
  // 0x7000 when there is none.
  BaseErrorData getIdFromProvider(unsigned int key, unsigned int& value) const;
};

extern "C" KAV_EXPORT BuildBase* createFixedFruIdProvider(void* argument, BaseErrorData& error);

#endif
