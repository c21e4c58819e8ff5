// Matches when there are members and every one matches (stops at the first
// miss). The members are copies the composite owns.
#ifndef KAV_TREE_ANDSEARCHCRITERIA_H
#define KAV_TREE_ANDSEARCHCRITERIA_H

#include "kav/tree/search/SearchCriteria.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT AndSearchCriteria : public SearchCriteria {
 public:
  AndSearchCriteria();
  AndSearchCriteria(const AndSearchCriteria& other);
  AndSearchCriteria& operator=(const AndSearchCriteria&) = delete;
  ~AndSearchCriteria() override;

  // Stores a clone of the criterion.
  void addSingleCriteria(const SearchCriteria& criteria);
  bool isMatching(KavPtr<const QueryBase> node) const override;
  SearchCriteria* clone() const override;

 private:
  kavstl::list<SearchCriteria*> m_criteria;
};

#endif
