// The single hidden child of one class: the link objects a device or a
// signal owns are found this way at their initialisation.
#ifndef KAV_TREE_HIDDENCHILD_H
#define KAV_TREE_HIDDENCHILD_H

#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"

// The hidden child of class T when there is exactly one; null otherwise.
// count tells how many there were (for the caller's trace).
template <class T>
KavPtr<T> singleHiddenChild(const QueryBase& owner, unsigned int& count) {
  KavPtr<T> found;
  count = 0;
  for (const KavPtr<QueryBase>& child : owner.getHiddenChildren()) {
    if (!child->isInstanceOf(T::staticGetClassId())) continue;
    found = KavPtr<T>(child);
    ++count;
  }
  return count == 1 ? found : KavPtr<T>();
}

#endif
