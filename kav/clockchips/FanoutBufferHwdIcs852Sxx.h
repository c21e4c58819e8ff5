// The driver of the ICS852Sxx clock fanout buffer on I2C: 8-bit registers
// addressed by their number; register 3 holds the enables of outputs 7..0,
// bit 7 of register 4 that of output 8 (1 = enabled). The driver keeps no
// copy of the outputs: every write reads the two registers first.
#ifndef KAV_CLOCKCHIPS_FANOUTBUFFERHWDICS852SXX_H
#define KAV_CLOCKCHIPS_FANOUTBUFFERHWDICS852SXX_H

#include "kav/clockchips/FanoutBufferHwdInterface.h"
#include "kav/clockchips/I2cChipDriver.h"

class KAV_EXPORT FanoutBufferHwdIcs852Sxx : public I2cChipDriver<FanoutBufferHwdInterface> {
  KAV_TREE_CLASS(FanoutBufferHwdIcs852Sxx)

 public:
  // Registers 1..4 as getRegister reads them.
  static const unsigned int kRegisterCount = 4;

  FanoutBufferHwdIcs852Sxx();
  ~FanoutBufferHwdIcs852Sxx() override;

  // Those of I2cChipDriver and the number of output controls
  // (numOutputControls, optional, 0 by default). Steps and power steps:
  // those of I2cChipDriver.
  BaseErrorData setAttributes(const AttributeInfo& info) override;

  // With N output controls (at most 9 are used) and max = 2^N - 1: value
  // above max 0x733E, mask above max 0x733F; nothing is written then.
  // Registers 3 and 4 are read and written back in one transfer with the
  // bits of the mask changed; a failed read writes nothing.
  ErrorData writeOutputControl(unsigned int value, unsigned int mask) override;
  ErrorData readOutputControl(unsigned int& value) override;
  unsigned int getNumOfOutputControls() override;
  // 0x733D for a buffer shorter than 4 bytes.
  ErrorData getRegister(unsigned char* buffer, unsigned int& length) override;
  std::string registerDumpAsString() override;
  void dumpXmlHwRegisters(std::ostream& os) override;

 private:
  unsigned int m_numOutputControlBits;
};

extern "C" KAV_EXPORT BuildBase* createFanoutBufferHwdIcs852Sxx(void* argument, BaseErrorData& error);

#endif
