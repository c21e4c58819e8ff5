// A clock-redundancy chip.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_CLOCKCHIPS_CRCHWDINTERFACE_H
#define KAV_CLOCKCHIPS_CRCHWDINTERFACE_H

#include "kav/cards/PowerControllable.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT CrcHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(CrcHwdInterface)

 public:
  ~CrcHwdInterface() override;

 protected:
  CrcHwdInterface();
};

#endif
