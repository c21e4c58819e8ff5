// A scratchpad memory engine: bytes kept across service-processor restarts.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_HWACCESS_SCRATCHPADHWAINTERFACE_H
#define KAV_HWACCESS_SCRATCHPADHWAINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT ScratchpadHwaInterface : public QueryBase {
  KAV_TREE_CLASS(ScratchpadHwaInterface)

 public:
  ~ScratchpadHwaInterface() override;

 protected:
  ScratchpadHwaInterface();
};

#endif
