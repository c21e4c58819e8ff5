// Matches when any member matches (stops at the first match); without
// members nothing matches. The members are copies the composite owns.
#ifndef KAV_TREE_ORSEARCHCRITERIA_H
#define KAV_TREE_ORSEARCHCRITERIA_H

#include "kav/tree/search/SearchCriteria.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT OrSearchCriteria : public SearchCriteria {
 public:
  OrSearchCriteria();
  OrSearchCriteria(const OrSearchCriteria& other);
  OrSearchCriteria& operator=(const OrSearchCriteria&) = delete;
  ~OrSearchCriteria() override;

  // Stores a clone of the criterion.
  void addSingleCriteria(const SearchCriteria& criteria);
  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  kavstl::list<SearchCriteria*> m_criteria;
};

#endif
