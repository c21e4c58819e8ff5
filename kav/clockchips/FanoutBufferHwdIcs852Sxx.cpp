#include "kav/clockchips/FanoutBufferHwdIcs852Sxx.h"

#include "kav/clockchips/I2cChipRegisters.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(FanoutBufferHwdIcs852Sxx, FanoutBufferHwdInterface)

namespace {

const unsigned int kRegFirst = 1;
const unsigned char kOutput8Bit = 0x80;

const unsigned int kShortBuffer = 0x733D;
const unsigned int kBadOutputValue = 0x733E;
const unsigned int kBadOutputMask = 0x733F;

}  // namespace

FanoutBufferHwdIcs852Sxx::FanoutBufferHwdIcs852Sxx() : m_numOutputControlBits(0) {}

FanoutBufferHwdIcs852Sxx::~FanoutBufferHwdIcs852Sxx() {}

namespace {
const unsigned int kMissingAttribute = 0x7145u;
}  // namespace

BaseErrorData FanoutBufferHwdIcs852Sxx::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = I2cChipDriver<FanoutBufferHwdInterface>::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) {
    // Optional: a missing attribute leaves the default; a malformed one is
    // an error.
    const BaseErrorData read = getAttributeUint32(&m_numOutputControlBits, kav::sid::NUM_OUTPUT_CONTROLS, *node, true);
    if (read != 0 && read != kMissingAttribute) rc = read;
  }
  return rc;
}

ErrorData FanoutBufferHwdIcs852Sxx::writeOutputControl(unsigned int value, unsigned int mask) {
  // More outputs than the registers hold would be accepted and never
  // switched: only the nine are used.
  const unsigned int max = I2cChipRegisters::maxOutputValue(m_numOutputControlBits);
  ErrorData rc;
  if (value > max) rc = kBadOutputValue;
  if (mask > max) rc = kBadOutputMask;
  if (rc != 0) {
    KAV_TRACE(KAVE, "FanoutBufferHwdIcs852Sxx::writeOutputControl value=0x%X mask=0x%X outputs=%u slot=0x%08X", value,
              mask, m_numOutputControlBits, getSlotId());
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char regs[2] = {0, 0};
  unsigned int outputs = 0;
  rc = I2cChipRegisters::readOutputs(m_i2cAccess, regs, outputs);
  // Without the registers' contents a write would change outputs outside
  // the mask and the other bits of register 4.
  if (rc != 0) return rc;
  regs[0] = static_cast<unsigned char>((regs[0] & ~mask) | (mask & value));
  if ((mask & 0x100u) != 0)
    regs[1] = static_cast<unsigned char>((regs[1] & ~kOutput8Bit) | (((value & mask) >> 1) & kOutput8Bit));
  rc = m_i2cAccess.write(I2cChipRegisters::kOutputRegister, regs, sizeof regs);
  KAV_TRACE(KAVT, "FanoutBufferHwdIcs852Sxx::writeOutputControl value=0x%X mask=0x%X slot=0x%08X rc=0x%08X", value,
            mask, getSlotId(), rc.getRc());
  return rc;
}

ErrorData FanoutBufferHwdIcs852Sxx::readOutputControl(unsigned int& value) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char regs[2] = {0, 0};
  return I2cChipRegisters::readOutputs(m_i2cAccess, regs, value);
}

unsigned int FanoutBufferHwdIcs852Sxx::getNumOfOutputControls() { return m_numOutputControlBits; }

ErrorData FanoutBufferHwdIcs852Sxx::getRegister(unsigned char* buffer, unsigned int& length) {
  IFOSGuard<const QueryBase> guard(*this);
  return I2cChipRegisters::readBlock(m_i2cAccess, kRegFirst, kRegisterCount, buffer, length, kShortBuffer);
}

std::string FanoutBufferHwdIcs852Sxx::registerDumpAsString() {
  return I2cChipRegisters::dumpAsString(*this, m_i2cAccess, kRegFirst, kRegisterCount);
}

void FanoutBufferHwdIcs852Sxx::dumpXmlHwRegisters(std::ostream& os) {
  I2cChipRegisters::dumpXml(os, *this, m_i2cAccess, kRegFirst, kRegisterCount, "RegisterContent",
                            "Reading Device Registers fails with rc:");
}

BuildBase* createFanoutBufferHwdIcs852Sxx(void*, BaseErrorData&) {
  return (new FanoutBufferHwdIcs852Sxx())->getBuildInterface();
}
