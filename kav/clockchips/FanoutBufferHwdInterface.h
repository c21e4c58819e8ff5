// A clock fanout buffer.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_CLOCKCHIPS_FANOUTBUFFERHWDINTERFACE_H
#define KAV_CLOCKCHIPS_FANOUTBUFFERHWDINTERFACE_H

#include "kav/cards/PowerControllable.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT FanoutBufferHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(FanoutBufferHwdInterface)

 public:
  ~FanoutBufferHwdInterface() override;

 protected:
  FanoutBufferHwdInterface();
};

#endif
