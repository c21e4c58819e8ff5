#include "kav/tree/search/OrSearchCriteria.h"
#include "kav/tree/objects/QueryBase.h"

OrSearchCriteria::OrSearchCriteria() {}

OrSearchCriteria::OrSearchCriteria(const OrSearchCriteria& other) : SearchCriteria(other) {
  for (const SearchCriteria* c : other.m_criteria) m_criteria.push_back(c->clone());
}

OrSearchCriteria::~OrSearchCriteria() {
  for (SearchCriteria* c : m_criteria) delete c;
}

void OrSearchCriteria::addSingleCriteria(const SearchCriteria& criteria) { m_criteria.push_back(criteria.clone()); }

bool OrSearchCriteria::isMatching(KavPtr<const QueryBase> node) const {
  for (const SearchCriteria* c : m_criteria)
    if (c->isMatching(node)) return true;
  return false;
}

SearchCriteria* OrSearchCriteria::clone() const { return new OrSearchCriteria(*this); }
