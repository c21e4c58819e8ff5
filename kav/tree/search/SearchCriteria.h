// A filter over tree nodes for ExecList::keepAllForCriteria,
// removeAllForCriteria and seekUp.
#ifndef KAV_TREE_SEARCHCRITERIA_H
#define KAV_TREE_SEARCHCRITERIA_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"

class QueryBase;

class KAV_EXPORT SearchCriteria {
 public:
  SearchCriteria() = default;
  virtual ~SearchCriteria();
  virtual bool isMatching(KavPtr<const QueryBase> node) const = 0;
  // A new object with the same fields; the caller owns it.
  virtual SearchCriteria* clone() const = 0;

  bool operator()(KavPtr<const QueryBase> node) const { return isMatching(node); }

 protected:
  SearchCriteria(const SearchCriteria&) = default;
  SearchCriteria& operator=(const SearchCriteria&) = default;
};

#endif
