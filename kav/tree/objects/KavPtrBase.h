// The polymorphic base of every counted tree pointer; it carries no data.
// Tree objects receive a KavPtrBase* with each reference they are given.
#ifndef KAV_TREE_KAVPTRBASE_H
#define KAV_TREE_KAVPTRBASE_H

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT KavPtrBase {
 public:
  KavPtrBase() = default;
  KavPtrBase(const KavPtrBase&) = default;
  KavPtrBase& operator=(const KavPtrBase&) = default;
  virtual ~KavPtrBase() {}
};

#endif
