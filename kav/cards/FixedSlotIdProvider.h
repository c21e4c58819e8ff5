// A slot-id provider whose id is configured (attribute "slotId").
#ifndef KAV_CARDS_FIXEDSLOTIDPROVIDER_H
#define KAV_CARDS_FIXEDSLOTIDPROVIDER_H

#include "kav/cards/SlotIdProviderInterface.h"

class KAV_EXPORT FixedSlotIdProvider : public SlotIdProviderInterface {
  KAV_TREE_CLASS(FixedSlotIdProvider)

 public:
  FixedSlotIdProvider();
  ~FixedSlotIdProvider() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // The configured id.
  unsigned int getSlotId() const override;

  void setConfiguredSlotId(unsigned int slotId) { m_slotId = slotId; }

 private:
  unsigned int m_slotId;
};

extern "C" KAV_EXPORT BuildBase* createFixedSlotIdProvider(void* argument, BaseErrorData& error);

#endif
