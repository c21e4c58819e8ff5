// A programmable-logic device: its lookup-table controls.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_HWACCESS_PLDHWDINTERFACE_H
#define KAV_HWACCESS_PLDHWDINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PldHwdInterface : public QueryBase {
  KAV_TREE_CLASS(PldHwdInterface)

 public:
  ~PldHwdInterface() override;

 protected:
  PldHwdInterface();
};

#endif
