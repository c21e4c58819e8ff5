// One logical lookup-table control of a programmable logic, as the clock
// logic uses it (clock-enable controls, oscillator use controls, propagation
// fences): write or read which input (1, 2, 3) the table follows.
#ifndef KAV_HWACCESS_PLDHWRINTERFACE_H
#define KAV_HWACCESS_PLDHWRINTERFACE_H

#include "kav/hwaccess/dio/DioHwaInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PldHwrInterface : public QueryBase {
  KAV_TREE_CLASS(PldHwrInterface)

 public:
  ~PldHwrInterface() override;

  virtual ErrorData writeLookupTableControl(kavPld::LookupControl_t control) const = 0;
  virtual ErrorData readLookupTableControl(kavPld::LookupControl_t& control) const = 0;

 protected:
  PldHwrInterface();
};

#endif
