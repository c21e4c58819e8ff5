#include "kav/cards/SlotIdProviderInterface.h"

#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(SlotIdProviderInterface, QueryBase)

SlotIdProviderInterface::SlotIdProviderInterface() {}

SlotIdProviderInterface::~SlotIdProviderInterface() {}

BaseErrorData SlotIdProviderInterface::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step == initSequence::INIT_REMOVE_ID_PROVIDERS && !isDeleted()) {
    KAV_TRACE(KAVT, "SlotIdProviderInterface::init removing provider of slot 0x%08X", getSlotId());
    rc = terminateSubTreeAndAddToGarbageCollector();
  }
  return rc;
}

BaseErrorData SlotIdProviderInterface::initSlotId() { return BaseErrorData(); }
