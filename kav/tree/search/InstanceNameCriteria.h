// Matches the nodes whose instance name (a string id) is the given one.
#ifndef KAV_TREE_INSTANCENAMECRITERIA_H
#define KAV_TREE_INSTANCENAMECRITERIA_H

#include "kav/tree/search/SearchCriteria.h"

class KAV_EXPORT InstanceNameCriteria : public SearchCriteria {
 public:
  explicit InstanceNameCriteria(unsigned int instanceId);
  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  unsigned int m_instanceId;
};

#endif
