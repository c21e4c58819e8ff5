// One logical digital signal (a card's present line, an enable, a fault
// input) on one pin, in terms of on and off.
#ifndef KAV_HWACCESS_DIOHWRINTERFACE_H
#define KAV_HWACCESS_DIOHWRINTERFACE_H

#include "kav/cards/PowerControllable.h"
#include "kav/hwaccess/dio/DioHwaInterface.h"

namespace dioState {
enum DioState_t : unsigned int { DIO_STATE_NONE = 0, DIO_STATE_ON = 1, DIO_STATE_OFF = 2 };
}  // namespace dioState

namespace dioPolarity {
// 1: on is the high level; 2: on is the low level.
enum DioPolarity_t : unsigned int { DIO_POLARITY_NONE = 0, DIO_POLARITY_HIGH_ON = 1, DIO_POLARITY_LOW_ON = 2 };
// The polarity a configuration names by string id; false for any other id.
bool fromStringId(unsigned int stringId, unsigned int& polarity);
}  // namespace dioPolarity

class KAV_EXPORT DioHwrInterface : public PowerControllable {
  KAV_TREE_CLASS(DioHwrInterface)

 public:
  DioHwrInterface();
  ~DioHwrInterface() override;

  virtual ErrorData reconfigure(dioMode::DioMode_t mode) = 0;
  virtual ErrorData read(dioState::DioState_t& state) = 0;
  virtual ErrorData on() = 0;
  virtual ErrorData off() = 0;
  virtual ErrorData blink(unsigned int rate) = 0;
  // Arms a one-shot interrupt for the signal reaching state.
  virtual ErrorData enableIrq(dioState::DioState_t state) = 0;
  virtual ErrorData disableIrq() = 0;
  virtual ErrorData resetIrqCondition() = 0;
  virtual unsigned int getOnIrqId() = 0;
  virtual unsigned int getOffIrqId() = 0;
  virtual unsigned int getLogicalId() const = 0;
};

#endif
