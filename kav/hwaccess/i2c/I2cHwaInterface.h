// An I2C engine: transfers to the devices on its ports.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_HWACCESS_I2CHWAINTERFACE_H
#define KAV_HWACCESS_I2CHWAINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT I2cHwaInterface : public QueryBase {
  KAV_TREE_CLASS(I2cHwaInterface)

 public:
  ~I2cHwaInterface() override;

 protected:
  I2cHwaInterface();
};

#endif
