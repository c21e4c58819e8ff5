// The root of the object tree, kept in one global KavPtr.
#ifndef KAV_TREE_TREEROOT_H
#define KAV_TREE_TREEROOT_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"

class QueryBase;

KAV_EXPORT void set_tree_root(KavPtr<QueryBase> root);
KAV_EXPORT KavPtr<QueryBase> get_tree_root();

#endif
