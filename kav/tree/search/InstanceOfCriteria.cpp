#include "kav/tree/search/InstanceOfCriteria.h"

#include "kav/tree/objects/QueryBase.h"

InstanceOfCriteria::InstanceOfCriteria(unsigned int classId) : m_classId(classId) {}

bool InstanceOfCriteria::isMatching(KavPtr<const QueryBase> node) const {
  return node != nullptr && node->isInstanceOf(m_classId);
}

SearchCriteria* InstanceOfCriteria::clone() const { return new InstanceOfCriteria(*this); }
