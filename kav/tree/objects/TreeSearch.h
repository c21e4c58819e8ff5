// Finding objects in the tree: every instance of a class in a subtree, the
// whole tree or a list, and the nearest matching ancestor.
#ifndef KAV_TREE_TREESEARCH_H
#define KAV_TREE_TREESEARCH_H

#include "kav/tree/start/ExecList.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/search/SearchCriteria.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/objects/kavstl.h"

namespace treesearch {
// The node as a T when it is an instance of T, else null.
template <class T>
KavPtr<T> asInstanceOf(const QueryBase* node) {
  if (node == nullptr || !node->isInstanceOf(T::staticGetClassId())) return KavPtr<T>();
  return KavPtr<T>(static_cast<T*>(const_cast<QueryBase*>(node)));
}
}  // namespace treesearch

// Every instance of T in the subtree of start, in prefix order (hidden
// children included with the flag). A null start gives an empty list.
template <class T>
ExecList<T> collectClasstypeInSubTree(KavPtr<const QueryBase> start, bool withHidden) {
  ExecList<T> result;
  if (start == nullptr) return result;
  ExecList<QueryBase> all;
  const_cast<QueryBase*>(start.getRawPointer())->addToExecListInPrefixOrder(all, withHidden);
  for (typename ExecList<QueryBase>::const_iterator it = all.begin(); it != all.end(); ++it) {
    KavPtr<T> e = treesearch::asInstanceOf<T>(it->getRawPointer());
    if (e != nullptr) result.addElement(e);
  }
  return result;
}

// The same from the tree root.
template <class T>
ExecList<T> collectClasstypeInTree(bool withHidden) {
  return collectClasstypeInSubTree<T>(KavPtr<const QueryBase>(get_tree_root()), withHidden);
}

// The members of the list that are instances of T, in list order.
template <class T>
ExecList<T> collectClasstypeInList(const kavstl::list<KavPtr<QueryBase> >& list) {
  ExecList<T> result;
  for (const KavPtr<QueryBase>& node : list) {
    KavPtr<T> e = treesearch::asInstanceOf<T>(node.getRawPointer());
    if (e != nullptr) result.addElement(e);
  }
  return result;
}

// From the start node up through its parents until the criterion matches;
// the start node itself is not tested. The ancestor found if it is a T,
// else null.
template <class T>
KavPtr<T> seekUp(KavPtr<const QueryBase> start, const SearchCriteria& criteria) {
  if (start == nullptr) return KavPtr<T>();
  KavPtr<const QueryBase> node = start->getParent();
  while (node != nullptr && !criteria.isMatching(node)) node = node->getParent();
  return treesearch::asInstanceOf<T>(node.getRawPointer());
}

#endif
