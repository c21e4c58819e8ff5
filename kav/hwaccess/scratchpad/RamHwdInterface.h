// A memory device built on an engine (a scratchpad).
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_HWACCESS_RAMHWDINTERFACE_H
#define KAV_HWACCESS_RAMHWDINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT RamHwdInterface : public QueryBase {
  KAV_TREE_CLASS(RamHwdInterface)

 public:
  ~RamHwdInterface() override;

 protected:
  RamHwdInterface();
};

#endif
