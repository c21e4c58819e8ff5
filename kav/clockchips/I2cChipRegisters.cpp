#include "kav/clockchips/I2cChipRegisters.h"

#include <cstdio>
#include <cstring>

#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"
#include "kav/tree/objects/QueryBase.h"

BaseErrorData I2cChipRegisters::init(const QueryBase& owner, I2cAccess& access, initSequence::Id_t step) {
  BaseErrorData rc = access.init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    unsigned int count = 0;
    KavPtr<I2cHwaInterfaceLink> link = singleHiddenChild<I2cHwaInterfaceLink>(owner, count);
    if (link == nullptr)
      KAV_TRACE_STR(KAVE, "%s::init no single I2C link slot=0x%08X count=%u", get_string_by_id(owner.getClassId()),
                    owner.getSlotId(), count);
    rc = access.linkI2cAccess(KavPtr<LinkBase>(link));
  }
  return rc;
}

BaseErrorData I2cChipRegisters::terminate(I2cAccess& access, terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) access.unlinkI2cAccess();
  return access.terminate(step);
}

ErrorData I2cChipRegisters::switchSupply(const QueryBase& owner, I2cAccess& access, unsigned int step) {
  const ErrorData rc = access.switchForPwrCtrl(step);
  KAV_TRACE_STR(KAVT, "%s::switchForPwrCtrl step=%u slot=0x%08X rc=0x%08X", get_string_by_id(owner.getClassId()), step,
                owner.getSlotId(), rc.getRc());
  return rc;
}

namespace {
// A read that returned fewer bytes than asked: an I/O error of the device.
const unsigned int kShortRead = 0x70005u;
}  // namespace

unsigned int I2cChipRegisters::maxOutputValue(unsigned int numOutputControlBits) {
  const unsigned int bits = numOutputControlBits < kMaxOutputBits ? numOutputControlBits : kMaxOutputBits;
  return (1u << bits) - 1u;
}

ErrorData I2cChipRegisters::readOutputs(const I2cAccess& access, unsigned char (&regs)[2], unsigned int& outputs) {
  ErrorData rc = readExactly(access, kOutputRegister, regs, sizeof regs);
  if (rc == 0) outputs = ((static_cast<unsigned int>(regs[1]) & 0x80u) << 1) | regs[0];
  return rc;
}

ErrorData I2cChipRegisters::readRegister(const I2cAccess& access, unsigned int reg, unsigned char& value) {
  return readExactly(access, reg, &value, 1);
}

ErrorData I2cChipRegisters::readExactly(const I2cAccess& access, unsigned int reg, unsigned char* data,
                                        unsigned int len) {
  unsigned int got = len;
  ErrorData rc = access.read(reg, data, got);
  if (rc == 0 && got != len) {
    rc = kShortRead;
    char text[64];
    std::snprintf(text, sizeof text, "short read: %u of %u bytes from register %u", got, len, reg);
    rc.addDataToErrorBuffer(kavstl::string(text));
    KAV_TRACE(KAVE, "I2cChipRegisters: short read %u of %u reg=%u slot=0x%08X", got, len, reg, access.getSlotId());
  }
  return rc;
}

ErrorData I2cChipRegisters::writeRegister(const I2cAccess& access, unsigned int reg, unsigned char value) {
  return access.write(reg, &value, 1);
}

ErrorData I2cChipRegisters::readBlock(const I2cAccess& access, unsigned int first, unsigned int count,
                                      unsigned char* buffer, unsigned int& length, unsigned int shortBufferRc) {
  if (buffer != nullptr) std::memset(buffer, 0, length);
  if (buffer == nullptr || length < count) {
    length = 0;
    return ErrorData(ErrorData::NO_OVERWRITE, shortBufferRc);
  }
  unsigned int len = count;
  ErrorData rc = access.read(first, buffer, len);
  length = rc == 0 ? len : 0;
  return rc;
}

ErrorData I2cChipRegisters::readForDump(const QueryBase& owner, const I2cAccess& access, unsigned int first,
                                        unsigned int count, unsigned char* regs, unsigned int& length) {
  if (count > kMaxDumpRegisters) count = kMaxDumpRegisters;
  length = count;
  IFOSGuard<const QueryBase> guard(owner);
  return readBlock(access, first, count, regs, length, 0);
}

std::string I2cChipRegisters::dumpAsString(const QueryBase& owner, const I2cAccess& access, unsigned int first,
                                           unsigned int count) {
  unsigned char regs[kMaxDumpRegisters];
  unsigned int length = 0;
  const ErrorData rc = readForDump(owner, access, first, count, regs, length);
  const i2c::i2cInfo_s& info = access.getI2cInfo();
  char line[96];
  std::snprintf(line, sizeof line, "SlodId: 0x%.8X, I2CBus: %u, DeviceAddress: 0x%X\n", owner.getSlotId(), info.port,
                info.deviceAddress);
  std::string text(line);
  if (rc != 0) {
    std::snprintf(line, sizeof line, "Registers not readable: rc=0x%.8X\n", rc.getRcWithoutLogFlag());
    return text + line;
  }
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(line, sizeof line, "Register %u: 0x%.2X\n", i, regs[i]);
    text += line;
  }
  return text;
}

void I2cChipRegisters::dumpXml(std::ostream& os, const QueryBase& owner, const I2cAccess& access, unsigned int first,
                               unsigned int count, const char* heading, const char* failureText) {
  if (!os) return;
  unsigned char regs[kMaxDumpRegisters];
  unsigned int length = 0;
  const ErrorData rc = readForDump(owner, access, first, count, regs, length);
  os << "<class className=\"" << heading << "\">\n";
  char value[16];
  if (rc != 0) {
    std::snprintf(value, sizeof value, "0x%.8X", rc.getRcWithoutLogFlag());
    os << "<parameter name=\"" << failureText << "\" value=\"" << value << "\"/>\n";
  } else {
    for (unsigned int i = 0; i < length; ++i) {
      std::snprintf(value, sizeof value, "0x%.2X", regs[i]);
      os << "<parameter name=\"Register " << i << "\" value=\"" << value << "\"/>\n";
    }
  }
  os << "</class>\n";
}
