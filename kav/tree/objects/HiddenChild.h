// The single hidden child of one class: the link objects a device or a
// signal owns are found this way at their initialisation.
#ifndef KAV_TREE_HIDDENCHILD_H
#define KAV_TREE_HIDDENCHILD_H

#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"

// The hidden child of class T when there is exactly one; null otherwise.
// count tells how many there were (for the caller's trace).
// With a name id other than 0, only the children of that instance name count.
template <class T>
KavPtr<T> singleHiddenChild(const QueryBase& owner, unsigned int& count, unsigned int nameId = 0) {
  KavPtr<T> found;
  count = 0;
  for (const KavPtr<QueryBase>& child : owner.getHiddenChildren()) {
    if (!child->isInstanceOf(T::staticGetClassId())) continue;
    if (nameId != 0 && child->getInstanceId() != nameId) continue;
    found = KavPtr<T>(child);
    ++count;
  }
  return count == 1 ? found : KavPtr<T>();
}

#endif
