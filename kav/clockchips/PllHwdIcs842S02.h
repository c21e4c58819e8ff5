// The driver of the ICS842S02 PLL chip on I2C: 8-bit registers addressed by
// their number.
//   1  bits 7..3 pattern bits 4..0, bits 2..0 pattern bits 13..11
//   2  bits 5..0 pattern bits 10..5
//   3  bits 6..5 spreading direction (00 off, 01 down, 10 up, 11 center),
//      bits 4..0 spreading amount
//   4  bits 0 and 1 error types 0 and 1
// Every operation holds the object's lock for its whole duration, also the
// steps of a spreading change.
#ifndef KAV_CLOCKCHIPS_PLLHWDICS842S02_H
#define KAV_CLOCKCHIPS_PLLHWDICS842S02_H

#include "kav/clockchips/I2cChipDriver.h"
#include "kav/clockchips/PllHwdInterface.h"

class KAV_EXPORT PllHwdIcs842S02 : public I2cChipDriver<PllHwdInterface> {
  KAV_TREE_CLASS(PllHwdIcs842S02)

 public:
  // Registers 1..4 as getRegister reads them.
  static const unsigned int kRegisterCount = 4;
  // The pause before each step of a spreading change.
  static const unsigned int kSpreadingStepMs = 50;

  PllHwdIcs842S02();
  ~PllHwdIcs842S02() override;

  // Attributes, steps and power steps: those of I2cChipDriver.

  ErrorData readPattern(unsigned int& pattern) override;
  // 0x7248 for a pattern of more than 14 bits; nothing is written then.
  ErrorData writePattern(unsigned int pattern) override;
  void dumpXmlHwRegisters(std::ostream& os) override;
  std::string registerDumpAsString() override;
  // 0x733B for a buffer shorter than 4 bytes.
  ErrorData getRegister(unsigned char* buffer, unsigned int& length) override;
  ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) override;
  // 0x7247 for an amount above 31 or a non-zero amount with SPREADING_OFF,
  // 0x7246 for an unknown direction; nothing is written then. Otherwise the
  // chip goes one step a time, each written after a pause of 50 ms: down
  // to amount 0 when the direction changes, through off, into the new
  // direction, and then to the new amount. A failed step is returned (the
  // first one) and the steps of its phase still go on; the steps towards
  // the new amount are not begun after a failure, so the chip is left with
  // no spreading or in the new direction at amount 0.
  ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t direction, unsigned int amount) override;
  ErrorData readErrorFlags(kavstl::set<PllErrorType_t>& flags) override;
  // Resets both error flags (an interrupt reset of register 4).
  ErrorData resetAllErrorFlags() override;

 private:
  ErrorData writeSpreadingStep(unsigned char value) const;
};

extern "C" KAV_EXPORT BuildBase* createPllHwdIcs842S02(void* argument, BaseErrorData& error);

#endif
