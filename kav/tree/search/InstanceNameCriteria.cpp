#include "kav/tree/search/InstanceNameCriteria.h"

#include "kav/tree/objects/QueryBase.h"

InstanceNameCriteria::InstanceNameCriteria(unsigned int instanceId) : m_instanceId(instanceId) {}

bool InstanceNameCriteria::isMatching(KavPtr<const QueryBase> node) const {
  return node != nullptr && node->getInstanceId() == m_instanceId;
}

SearchCriteria* InstanceNameCriteria::clone() const { return new InstanceNameCriteria(*this); }
