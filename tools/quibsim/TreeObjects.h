// quibsim's look at the object tree: every object of a class, found by a
// walk from the root.
#ifndef QUIB_TOOLS_QUIBSIM_TREEOBJECTS_H
#define QUIB_TOOLS_QUIBSIM_TREEOBJECTS_H

#include <vector>

#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeRoot.h"

namespace quibsim {

template <class T>
void collectIn(const KavPtr<QueryBase>& node, std::vector<KavPtr<T>>& out, bool withHidden) {
  if (node->isInstanceOf(T::staticGetClassId())) out.push_back(KavPtr<T>(node));
  for (const KavPtr<QueryBase>& child : node->getChildren()) collectIn(child, out, withHidden);
  if (withHidden)
    for (const KavPtr<QueryBase>& child : node->getHiddenChildren()) collectIn(child, out, withHidden);
}

// Every object of class T in the visible tree (with the hidden children
// after the visible ones of each node, when asked for), in prefix order.
template <class T>
std::vector<KavPtr<T>> collect(bool withHidden = false) {
  std::vector<KavPtr<T>> out;
  KavPtr<QueryBase> root = get_tree_root();
  if (root != nullptr) collectIn(root, out, withHidden);
  return out;
}

}  // namespace quibsim

#endif
