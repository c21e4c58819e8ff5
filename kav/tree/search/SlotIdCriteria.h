// Matches the nodes whose slot id, masked with the mask, equals the slot id.
// SlotIdCriteria(0x10000, 0xFFFFFFFF) selects the objects of the base domain.
#ifndef KAV_TREE_SLOTIDCRITERIA_H
#define KAV_TREE_SLOTIDCRITERIA_H

#include "kav/tree/search/SearchCriteria.h"

class KAV_EXPORT SlotIdCriteria : public SearchCriteria {
 public:
  SlotIdCriteria(unsigned int slotId, unsigned int mask);
  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  unsigned int m_slotId;
  unsigned int m_mask;
};

#endif
