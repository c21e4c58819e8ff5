// A digital I/O device as the rest of the tree sees it: pin n is bit 1 << n.
#ifndef KAV_HWACCESS_DIOHWDINTERFACE_H
#define KAV_HWACCESS_DIOHWDINTERFACE_H

#include "kav/cards/PowerControllable.h"
#include "kav/hwaccess/dio/DioHwaInterface.h"

class KAV_EXPORT DioHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(DioHwdInterface)

 public:
  DioHwdInterface();
  ~DioHwdInterface() override;

  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) override = 0;
  virtual ErrorData configure(unsigned int mask, dioMode::DioMode_t mode) = 0;
  virtual ErrorData reconfigure(unsigned int mask, dioMode::DioMode_t mode) = 0;
  // The levels of the pins of mask (other bits clear).
  virtual ErrorData readLevel(unsigned int mask, unsigned int& value) = 0;
  virtual ErrorData writeLevel(unsigned int mask, unsigned int value) = 0;
  virtual ErrorData blink(unsigned int mask, unsigned int rate) = 0;
  // levelMask: a set bit waits for the high level of that pin.
  virtual ErrorData enableIrq(unsigned int mask, unsigned int levelMask, unsigned int irqId) = 0;
  virtual ErrorData disableIrq(unsigned int mask) = 0;
  virtual ErrorData resetIrqCondition(unsigned int mask) = 0;
  // 0 when the engine is not reachable.
  virtual unsigned int getIrqIdHighLevel(unsigned int mask) = 0;
  virtual unsigned int getIrqIdLowLevel(unsigned int mask) = 0;
};

#endif
