// Matches the nodes that are instances of a class (or of a class derived from it).
#ifndef KAV_TREE_INSTANCEOFCRITERIA_H
#define KAV_TREE_INSTANCEOFCRITERIA_H

#include "kav/tree/search/SearchCriteria.h"

class KAV_EXPORT InstanceOfCriteria : public SearchCriteria {
 public:
  explicit InstanceOfCriteria(unsigned int classId);
  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  unsigned int m_classId;
};

#endif
