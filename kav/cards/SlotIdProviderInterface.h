// Gives a slot its id at start. The provider is only needed until the slot
// has read the id: at step 15 it leaves the tree into deferred deletion.
#ifndef KAV_CARDS_SLOTIDPROVIDERINTERFACE_H
#define KAV_CARDS_SLOTIDPROVIDERINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT SlotIdProviderInterface : public QueryBase {
  KAV_TREE_CLASS(SlotIdProviderInterface)

 public:
  SlotIdProviderInterface();
  ~SlotIdProviderInterface() override;

  // Step 15: detaches itself and hands its subtree to the garbage collector.
  BaseErrorData init(initSequence::Id_t step) override;

  // Prepares the id; nothing to do here.
  virtual BaseErrorData initSlotId();
};

#endif
