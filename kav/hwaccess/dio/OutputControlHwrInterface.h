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
  // A power step switches the output: "enabled" or "on" enables it,
  // "disabled" or "off" disables it; any other position is 0x7013.
  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) override;
};

#endif
