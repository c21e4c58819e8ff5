#include "kav/tree/search/AndSearchCriteria.h"
#include "kav/tree/objects/QueryBase.h"

AndSearchCriteria::AndSearchCriteria() {}

AndSearchCriteria::AndSearchCriteria(const AndSearchCriteria& other) : SearchCriteria(other) {
  for (const SearchCriteria* c : other.m_criteria) m_criteria.push_back(c->clone());
}

AndSearchCriteria::~AndSearchCriteria() {
  for (SearchCriteria* c : m_criteria) delete c;
}

void AndSearchCriteria::addSingleCriteria(const SearchCriteria& criteria) { m_criteria.push_back(criteria.clone()); }

bool AndSearchCriteria::isMatching(KavPtr<const QueryBase> node) const {
  if (m_criteria.empty()) return false;
  for (const SearchCriteria* c : m_criteria)
    if (!c->isMatching(node)) return false;
  return true;
}

SearchCriteria* AndSearchCriteria::clone() const { return new AndSearchCriteria(*this); }
