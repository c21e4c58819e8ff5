// Tells the FRU builder the card type and hardware level of the card it has
// built, so that the card-type part of the subtree can be added.
#ifndef KAV_CARDS_FRUIDPROVIDERINTERFACE_H
#define KAV_CARDS_FRUIDPROVIDERINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT FruIdProviderInterface : public QueryBase {
  KAV_TREE_CLASS(FruIdProviderInterface)

 public:
  FruIdProviderInterface();
  ~FruIdProviderInterface() override;

  // The card type / hardware level as text; "0x00000000" when it cannot be
  // read (the error is returned).
  BaseErrorData getCardTypeString(kavstl::string& cardType) const;
  BaseErrorData getHdwLvlString(kavstl::string& hardwareLevel) const;

  virtual BaseErrorData getCardTypeImpl(kavstl::string& cardType) const = 0;
  virtual BaseErrorData getHardwareLevelImpl(kavstl::string& hardwareLevel) const = 0;
};

#endif
