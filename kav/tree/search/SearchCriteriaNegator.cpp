#include "kav/tree/search/SearchCriteriaNegator.h"
#include "kav/tree/objects/QueryBase.h"

SearchCriteriaNegator::SearchCriteriaNegator(const SearchCriteria& criteria) : m_pCriteria(criteria.clone()) {}

SearchCriteriaNegator::SearchCriteriaNegator(const SearchCriteriaNegator& other)
    : SearchCriteria(other), m_pCriteria(other.m_pCriteria->clone()) {}

SearchCriteriaNegator::~SearchCriteriaNegator() { delete m_pCriteria; }

bool SearchCriteriaNegator::isMatching(KavPtr<const QueryBase> node) const { return !m_pCriteria->isMatching(node); }

SearchCriteria* SearchCriteriaNegator::clone() const { return new SearchCriteriaNegator(*this); }
