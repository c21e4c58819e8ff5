// What the drivers of the clock chips on I2C share: the wiring of their
// I2cAccess to the single I2cHwaInterfaceLink hidden child, single-register
// transfers, reading a block of registers into a caller's buffer, and the
// text and XML dumps of those registers. Not a tree class; the drivers call
// it under their own lock.
#ifndef KAV_CLOCKCHIPS_I2CCHIPREGISTERS_H
#define KAV_CLOCKCHIPS_I2CCHIPREGISTERS_H

#include <ostream>
#include <string>

#include "kav/hwaccess/i2c/I2cAccess.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/start/InitSequence.h"

class QueryBase;

class KAV_EXPORT I2cChipRegisters {
 public:
  // A driver's init step for its access: forwarded to the access; at step 3
  // the access is linked to the owner's single I2cHwaInterfaceLink hidden
  // child (none or several: 0x737B, traced with the owner's class).
  static BaseErrorData init(const QueryBase& owner, I2cAccess& access, initSequence::Id_t step);
  // A driver's terminate step: step 5 unlinks the access; then forwarded.
  static BaseErrorData terminate(I2cAccess& access, terminateSequence::Id_t step);

  // A power step of the chip's supply, traced with the owner's class.
  static ErrorData switchSupply(const QueryBase& owner, I2cAccess& access, unsigned int step);

  // The output enables of the chips that have them: outputs 7..0 in
  // register kOutputRegister, output 8 in bit 7 of the register after it.
  static const unsigned int kOutputRegister = 3;
  static const unsigned int kMaxOutputBits = 9;
  // The largest output value of a chip with numOutputControlBits outputs, of
  // which at most kMaxOutputBits are used.
  static unsigned int maxOutputValue(unsigned int numOutputControlBits);
  // The two registers as read, and the outputs they hold.
  static ErrorData readOutputs(const I2cAccess& access, unsigned char (&regs)[2], unsigned int& outputs);

  static ErrorData readRegister(const I2cAccess& access, unsigned int reg, unsigned char& value);
  // len registers from reg, all of them: a read that returns fewer bytes is
  // a failure (0x70005, I/O error), since the rest of the buffer holds no
  // register's value.
  static ErrorData readExactly(const I2cAccess& access, unsigned int reg, unsigned char* data, unsigned int len);
  static ErrorData writeRegister(const I2cAccess& access, unsigned int reg, unsigned char value);

  // Registers first .. first + count - 1 into buffer, in one transfer. The
  // `length` bytes of the buffer are zeroed first; a buffer shorter than
  // count gives shortBufferRc and length 0. length: the buffer's size in,
  // the bytes read out (0 on error).
  static ErrorData readBlock(const I2cAccess& access, unsigned int first, unsigned int count, unsigned char* buffer,
                             unsigned int& length, unsigned int shortBufferRc);

  // The registers first .. first + count - 1 (at most kMaxDumpRegisters)
  // read under the owner's lock, as text: "SlodId: 0x<slot>, I2CBus:
  // <port>, DeviceAddress: 0x<address>", then a line "Register <i>:
  // 0x<value>" per register (i from 0), or the code when they could not be
  // read.
  static std::string dumpAsString(const QueryBase& owner, const I2cAccess& access, unsigned int first,
                                  unsigned int count);
  // The same registers as a class element named `heading` holding a
  // parameter "Register <i>" per register, or one parameter named
  // `failureText` holding the code when they could not be read.
  static void dumpXml(std::ostream& os, const QueryBase& owner, const I2cAccess& access, unsigned int first,
                      unsigned int count, const char* heading, const char* failureText);

  static const unsigned int kMaxDumpRegisters = 16;

 private:
  static ErrorData readForDump(const QueryBase& owner, const I2cAccess& access, unsigned int first, unsigned int count,
                               unsigned char* regs, unsigned int& length);
};

#endif
