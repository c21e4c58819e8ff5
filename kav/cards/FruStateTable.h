// The state table of a card (FRU): one byte, field 313.
//   bits 0-1  activation state (2 = activated)
//   bit 2     fenced flag
//   bit 3     power-fail flag
//   bits 4-7  not used (0 in a fresh table)
#ifndef KAV_CARDS_FRUSTATETABLE_H
#define KAV_CARDS_FRUSTATETABLE_H

#include "kav/cards/StateTableInterface.h"

namespace kav {
enum FruActivationState_t : unsigned int {
  FRU_NOT_ACTIVATED = 0,
  FRU_ACTIVATING = 1,
  FRU_ACTIVATED = 2,
  FRU_DEACTIVATING = 3
};
}  // namespace kav

class KAV_EXPORT FruStateTable : public StateTableInterface {
  KAV_TREE_CLASS(FruStateTable)

 public:
  static constexpr unsigned int kFruStateFieldId = 313;

  ~FruStateTable() override;

  virtual ErrorData setActivationState(kav::FruActivationState_t state);
  virtual ErrorData getActivationState(kav::FruActivationState_t* state) const;
  virtual ErrorData getActivatedFlag(bool* flag) const;
  virtual ErrorData setFencedFlag();
  virtual ErrorData resetFencedFlag();
  virtual ErrorData getFencedFlag(bool* flag) const;
  virtual ErrorData setPowerFailFlag();
  virtual ErrorData resetPowerFailFlag();
  virtual ErrorData getPowerFailFlag(bool* flag) const;

 protected:
  FruStateTable();

 private:
  ErrorData writeBits(unsigned char data, unsigned char mask);
  ErrorData readByte(unsigned char* value) const;
  // False on a read error.
  ErrorData getFlag(unsigned char bit, bool* flag) const;
};

#endif
