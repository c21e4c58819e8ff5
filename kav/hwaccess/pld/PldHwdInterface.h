// A programmable-logic device: its lookup-table controls (which input each
// table follows).
#ifndef KAV_HWACCESS_PLDHWDINTERFACE_H
#define KAV_HWACCESS_PLDHWDINTERFACE_H

#include "kav/hwaccess/dio/DioHwaInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PldHwdInterface : public QueryBase {
  KAV_TREE_CLASS(PldHwdInterface)

 public:
  ~PldHwdInterface() override;

  virtual ErrorData writeLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const = 0;
  virtual ErrorData readLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const = 0;

 protected:
  PldHwdInterface();
};

#endif
