// The driver of the ICS872Sxx clock-redundancy chip on I2C: 8-bit registers
// addressed by their number, every read-modify-write reads the one
// register and changes only the bits named. The output enables (register 3
// and bit 7 of register 4) are kept in a shadow once known, so that a write
// of some outputs does not disturb the others.
#ifndef KAV_CLOCKCHIPS_CRCHWDICS872SXX_H
#define KAV_CLOCKCHIPS_CRCHWDICS872SXX_H

#include "kav/clockchips/CrcHwdInterface.h"
#include "kav/clockchips/I2cChipDriver.h"

class KAV_EXPORT CrcHwdIcs872Sxx : public I2cChipDriver<CrcHwdInterface> {
  KAV_TREE_CLASS(CrcHwdIcs872Sxx)

 public:
  // Registers 1..10 as getRegister reads them.
  static const unsigned int kRegisterCount = 10;

  CrcHwdIcs872Sxx();
  ~CrcHwdIcs872Sxx() override;

  // Those of I2cChipDriver and the number of output controls
  // (numOutputControls; at most 9 are used). Steps: those of I2cChipDriver.
  BaseErrorData setAttributes(const AttributeInfo& info) override;

  // A power step: off (339) forgets the output shadow, on (340) reads the
  // outputs from the chip and writes them back; another step is 0x7002.
  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int step) override;

  ErrorData writeDividerPattern(unsigned int pattern) override;
  ErrorData readDividerPattern(unsigned int& pattern) override;
  ErrorData writeBandWidth(bandwidth_t bandwidth) override;
  ErrorData readBandWidth(bandwidth_t& bandwidth) override;
  ErrorData enableInterrupt() override;
  ErrorData disableInterrupt() override;
  ErrorData isInterruptEnabled(bool& enabled) override;
  ErrorData writeOutputControl(unsigned int value, unsigned int mask) override;
  ErrorData readOutputControl(unsigned int& value) override;
  unsigned int getNumOfOutputControls() override;
  ErrorData selectInputClock(mode_t mode, inputSelect_t input) override;
  ErrorData readSelectInputClock(mode_t& mode, inputSelect_t& input) override;
  ErrorData writeInputEnable(unsigned int value, unsigned int mask) override;
  ErrorData readInputEnable(unsigned int& value) override;
  ErrorData enableSpreadingSupport() override;
  ErrorData disableSpreadingSupport() override;
  ErrorData isSpreadingSupportEnabled(bool& enabled) override;
  ErrorData enableFrequencyCheck() override;
  ErrorData disableFrequencyCheck() override;
  ErrorData isFrequencyCheckEnabled(bool& enabled) override;
  ErrorData readFrequencyCheckValues(unsigned int& a, unsigned int& b) override;
  ErrorData writeFrequencyCheckValues(unsigned int a, unsigned int b) override;
  ErrorData readErrorFlags(kavstl::set<CrcErrorType_t>& flags) override;
  // Resets the flags until none is left or a reset does not reduce them (a
  // condition that still holds sets its flag again at once).
  ErrorData resetAllErrorFlags() override;
  ErrorData getRegister(unsigned char* buffer, unsigned int& length) override;
  std::string registerDumpAsString() override;

  // The output shadow: the bits whose value is known, and their values.
  // The output shadow and the number of outputs, then the I2C access.
  void dumpXml(std::ostream& os) const override;

  unsigned int getEnabledOutputsMask() const;
  unsigned int getEnabledOutputsValue() const;

 private:
  ErrorData readRegister(unsigned int reg, unsigned char& value) const;
  ErrorData writeRegister(unsigned int reg, unsigned char value) const;
  // Register reg: the bits of mask set to those of bits.
  ErrorData modifyRegister(unsigned int reg, unsigned char mask, unsigned char bits) const;
  ErrorData testBit(unsigned int reg, unsigned char bit, bool& set) const;
  ErrorData readErrorFlagsLocked(kavstl::set<CrcErrorType_t>& flags) const;
  ErrorData writeOutputControlLocked(unsigned int value, unsigned int mask);

  unsigned int m_numOutputControlBits;
  unsigned int m_enabledOutputsMask;
  unsigned int m_enabledOutputsValue;
};

extern "C" KAV_EXPORT BuildBase* createCrcHwdIcs872Sxx(void* argument, BaseErrorData& error);

#endif
