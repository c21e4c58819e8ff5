#include "kav/tree/search/SlotIdCriteria.h"

#include "kav/tree/objects/QueryBase.h"

SlotIdCriteria::SlotIdCriteria(unsigned int slotId, unsigned int mask) : m_slotId(slotId), m_mask(mask) {}

bool SlotIdCriteria::isMatching(KavPtr<const QueryBase> node) const {
  return node != nullptr && (node->getSlotId() & m_mask) == m_slotId;
}

SearchCriteria* SlotIdCriteria::clone() const { return new SlotIdCriteria(*this); }
