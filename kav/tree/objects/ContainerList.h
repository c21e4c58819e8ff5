// The containers of the configured slots: ContainerList::getContainer(slot)
// answers the content of a slot while it is configured (null otherwise).
// Started by initContainerList() after the event senders.
#ifndef KAV_TREE_CONTAINERLIST_H
#define KAV_TREE_CONTAINERLIST_H

#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/SlotListT.h"

class KAV_EXPORT ContainerList : public SlotListT<ContainerList, KavPtr<Container> > {
 public:
  static ContainerList* getInstance();
  static void destroyInstance();

  // The container of a configured slot, or null (also before init).
  static KavPtr<Container> getContainer(unsigned int slotId);

  BaseErrorData init();
  void terminate();
  bool isInitialised() const { return m_initialised; }

  // The single Container child of the slot with that id.
  KavPtr<Container> lookup(unsigned int slotId);

 private:
  ContainerList();
  ~ContainerList() override;

  bool m_initialised;
};

extern "C" {
KAV_EXPORT void initContainerList();
KAV_EXPORT void terminateContainerList();
}

#endif
