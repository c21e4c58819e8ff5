#include "kav/tree/objects/TreeRoot.h"

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/tree/objects/QueryBase.h"

namespace {

// Never destroyed: threads may still ask for the root while the process ends.
KavPtr<QueryBase>& root() {
  static KavPtr<QueryBase>* s_root = new KavPtr<QueryBase>();
  return *s_root;
}

}  // namespace

void set_tree_root(KavPtr<QueryBase> newRoot) {
  QueryBase::g_childListsProtector.mutexRequest(-1);
  root() = newRoot;
  QueryBase::g_childListsProtector.mutexRelease();
}

KavPtr<QueryBase> get_tree_root() {
  QueryBase::g_childListsProtector.mutexRequest(-1);
  KavPtr<QueryBase> r = root();
  QueryBase::g_childListsProtector.mutexRelease();
  return r;
}
