// An output that is switched as a whole (a group of pins, a chip output).
#ifndef KAV_HWACCESS_OUTPUTCONTROLHWRINTERFACE_H
#define KAV_HWACCESS_OUTPUTCONTROLHWRINTERFACE_H

#include "kav/cards/PowerControllable.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT OutputControlHwrInterface : public PowerControllable {
  KAV_TREE_CLASS(OutputControlHwrInterface)

 public:
  OutputControlHwrInterface();
  ~OutputControlHwrInterface() override;

  virtual ErrorData enableOutput() = 0;
  virtual ErrorData disableOutput() = 0;
};

#endif
