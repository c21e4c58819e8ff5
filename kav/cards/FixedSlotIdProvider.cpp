#include "kav/cards/FixedSlotIdProvider.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(FixedSlotIdProvider, SlotIdProviderInterface)

FixedSlotIdProvider::FixedSlotIdProvider() : m_slotId(0) {}

FixedSlotIdProvider::~FixedSlotIdProvider() {}

BaseErrorData FixedSlotIdProvider::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = SlotIdProviderInterface::setAttributes(info);
  if (info.getLocalAttributes() != nullptr) {
    rc = getAttributeUint32(&m_slotId, kav::sid::SLOT_ID, *info.getLocalAttributes(), false);
  }
  KAV_TRACE(KAVT, "FixedSlotIdProvider::setAttributes slot=0x%08X rc=0x%08X", m_slotId, rc.getRc());
  return rc;
}

unsigned int FixedSlotIdProvider::getSlotId() const { return m_slotId; }

BuildBase* createFixedSlotIdProvider(void*, BaseErrorData&) {
  return (new FixedSlotIdProvider())->getBuildInterface();
}
