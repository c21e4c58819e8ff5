// The digital I/O device over one engine: pin n is bit 1 << n here and bit
// 0x80000000 >> n at the engine; every mask is converted on the way down.
// Reaches its engine through its single DioHwaInterfaceLink hidden child.
#ifndef KAV_HWACCESS_DIOHWDSTANDARD_H
#define KAV_HWACCESS_DIOHWDSTANDARD_H

#include "kav/hwaccess/dio/DioHwdInterface.h"
#include "kav/tree/objects/KavPtr.h"

class DioHwaInterfaceLink;

class KAV_EXPORT DioHwdStandard : public DioHwdInterface {
  KAV_TREE_CLASS(DioHwdStandard)

 public:
  DioHwdStandard();
  ~DioHwdStandard() override;

  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Only traces.
  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) override;
  ErrorData configure(unsigned int mask, dioMode::DioMode_t mode) override;
  ErrorData reconfigure(unsigned int mask, dioMode::DioMode_t mode) override;
  ErrorData readLevel(unsigned int mask, unsigned int& value) override;
  ErrorData writeLevel(unsigned int mask, unsigned int value) override;
  // Sets the rate, then blinks the pins.
  ErrorData blink(unsigned int mask, unsigned int rate) override;
  ErrorData enableIrq(unsigned int mask, unsigned int levelMask, unsigned int irqId) override;
  ErrorData disableIrq(unsigned int mask) override;
  ErrorData resetIrqCondition(unsigned int mask) override;
  unsigned int getIrqIdHighLevel(unsigned int mask) override;
  unsigned int getIrqIdLowLevel(unsigned int mask) override;

  // Bit n to bit 31 - n, and back (the same mirror).
  static unsigned int convertBitOrderStandardToMsb(unsigned int mask);
  static unsigned int convertBitOrderMsbToStandard(unsigned int mask);

 private:
  // The engine, or null (no link or no target).
  KavPtr<DioHwaInterface> engine() const;

  KavPtr<DioHwaInterfaceLink> m_pDioHwaLink;
};

extern "C" KAV_EXPORT BuildBase* createDioHwdStandard(void* argument, BaseErrorData& error);

#endif
