// Matches when the criterion it owns a copy of does not match.
#ifndef KAV_TREE_SEARCHCRITERIANEGATOR_H
#define KAV_TREE_SEARCHCRITERIANEGATOR_H

#include "kav/tree/search/SearchCriteria.h"

class KAV_EXPORT SearchCriteriaNegator : public SearchCriteria {
 public:
  explicit SearchCriteriaNegator(const SearchCriteria& criteria);
  SearchCriteriaNegator(const SearchCriteriaNegator& other);
  SearchCriteriaNegator& operator=(const SearchCriteriaNegator&) = delete;
  ~SearchCriteriaNegator() override;

  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  SearchCriteria* m_pCriteria;
};

#endif
