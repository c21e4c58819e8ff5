#include "kav/clockchips/CrcHwdIcs872Sxx.h"

#include "kav/clockchips/I2cChipRegisters.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(CrcHwdIcs872Sxx, CrcHwdInterface)

namespace {

// Registers and bits.
const unsigned int kRegControl = 1;  // divider 2..0, bandwidth 3, spreading 6, interrupt 7
const unsigned int kRegOutputs = 3;  // output enables 7..0
const unsigned int kRegInput = 4;    // select 1..0, mode 2, input disables 5..3, check 6, output 8 in 7
const unsigned int kRegCheckA = 5;   // frequency-check values: 5, 6, 7
const unsigned int kRegErrors = 8;   // error flags: 8, 9
const unsigned int kRegSelected = 10;

const unsigned char kDividerBits = 0x07;
const unsigned char kBandwidthBit = 0x08;
const unsigned char kSpreadingBit = 0x40;
const unsigned char kInterruptBit = 0x80;
const unsigned char kSelectBits = 0x03;
const unsigned char kModeBit = 0x04;
const unsigned char kInputDisableShift = 3;
const unsigned char kCheckBit = 0x40;
const unsigned char kOutput8Bit = 0x80;

// Error type by register bit: register 8 bits 0..7, then register 9 bits 0..7
// (-1: no flag).
const int kErrorTypeOfBit[16] = {1, 2, 3, -1, 4, 0, 8, 9, 5, 6, 7, -1, -1, -1, -1, -1};

// The reset-interrupt transfer: every flag bit of registers 8 and 9.
const unsigned char kResetIrqData[2] = {0xF7, 0x07};

const unsigned int kInvalidStep = 0x7002;
const unsigned int kBadDivider = 0x7330;
const unsigned int kBadBandwidth = 0x7331;
const unsigned int kBadInput = 0x7332;
const unsigned int kBadMode = 0x7333;
const unsigned int kBadOutputValue = 0x7334;
const unsigned int kBadOutputMask = 0x7335;
const unsigned int kBadEnableValue = 0x7336;
const unsigned int kBadEnableMask = 0x7337;
const unsigned int kBadCheckA = 0x7338;
const unsigned int kBadCheckB = 0x7339;
const unsigned int kShortBuffer = 0x733B;

ErrorData failure(unsigned int rc) { return ErrorData(ErrorData::NO_OVERWRITE, rc); }

}  // namespace

CrcHwdIcs872Sxx::CrcHwdIcs872Sxx()
    : m_numOutputControlBits(0), m_enabledOutputsMask(0), m_enabledOutputsValue(0) {}

CrcHwdIcs872Sxx::~CrcHwdIcs872Sxx() {}

BaseErrorData CrcHwdIcs872Sxx::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = I2cChipDriver<CrcHwdInterface>::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) rc = getAttributeUint32(&m_numOutputControlBits, kav::sid::NUM_OUTPUT_CONTROLS, *node, false);
  return rc;
}

ErrorData CrcHwdIcs872Sxx::readRegister(unsigned int reg, unsigned char& value) const {
  return I2cChipRegisters::readRegister(m_i2cAccess, reg, value);
}

ErrorData CrcHwdIcs872Sxx::writeRegister(unsigned int reg, unsigned char value) const {
  return I2cChipRegisters::writeRegister(m_i2cAccess, reg, value);
}

ErrorData CrcHwdIcs872Sxx::modifyRegister(unsigned int reg, unsigned char mask, unsigned char bits) const {
  unsigned char value = 0;
  ErrorData rc = readRegister(reg, value);
  if (rc != 0) return rc;
  return writeRegister(reg, static_cast<unsigned char>((value & ~mask) | (bits & mask)));
}

ErrorData CrcHwdIcs872Sxx::testBit(unsigned int reg, unsigned char bit, bool& set) const {
  unsigned char value = 0;
  ErrorData rc = readRegister(reg, value);
  if (rc == 0) set = (value & bit) != 0;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::switchForPwrCtrl(unsigned int, unsigned int step) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (step != kav::sid::STATE_OFF && step != kav::sid::STATE_ON) {
    KAV_TRACE(KAVE, "CrcHwdIcs872Sxx::switchForPwrCtrl unknown step %u slot=0x%08X", step, getSlotId());
    return failure(kInvalidStep);
  }
  rc = m_i2cAccess.switchForPwrCtrl(step);
  if (step == kav::sid::STATE_OFF) {
    // Switched off, the chip forgets its outputs.
    m_enabledOutputsMask = 0;
    m_enabledOutputsValue = 0;
  } else {
    rc = writeOutputControlLocked(0, 0);
  }
  KAV_TRACE(KAVT, "CrcHwdIcs872Sxx::switchForPwrCtrl step=%u slot=0x%08X rc=0x%08X", step, getSlotId(), rc.getRc());
  return rc;
}

ErrorData CrcHwdIcs872Sxx::writeDividerPattern(unsigned int pattern) {
  if (pattern > kDividerBits) return failure(kBadDivider);
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kDividerBits, static_cast<unsigned char>(pattern));
}

ErrorData CrcHwdIcs872Sxx::readDividerPattern(unsigned int& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char value = 0;
  ErrorData rc = readRegister(kRegControl, value);
  if (rc == 0) pattern = value & kDividerBits;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::writeBandWidth(bandwidth_t bandwidth) {
  if (bandwidth != BANDWIDTH_1 && bandwidth != BANDWIDTH_2) return failure(kBadBandwidth);
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kBandwidthBit, bandwidth == BANDWIDTH_2 ? kBandwidthBit : 0);
}

ErrorData CrcHwdIcs872Sxx::readBandWidth(bandwidth_t& bandwidth) {
  IFOSGuard<const QueryBase> guard(*this);
  bool set = false;
  ErrorData rc = testBit(kRegControl, kBandwidthBit, set);
  if (rc == 0) bandwidth = set ? BANDWIDTH_2 : BANDWIDTH_1;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::enableInterrupt() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kInterruptBit, kInterruptBit);
}

ErrorData CrcHwdIcs872Sxx::disableInterrupt() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kInterruptBit, 0);
}

ErrorData CrcHwdIcs872Sxx::isInterruptEnabled(bool& enabled) {
  IFOSGuard<const QueryBase> guard(*this);
  return testBit(kRegControl, kInterruptBit, enabled);
}

ErrorData CrcHwdIcs872Sxx::enableSpreadingSupport() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kSpreadingBit, kSpreadingBit);
}

ErrorData CrcHwdIcs872Sxx::disableSpreadingSupport() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegControl, kSpreadingBit, 0);
}

ErrorData CrcHwdIcs872Sxx::isSpreadingSupportEnabled(bool& enabled) {
  IFOSGuard<const QueryBase> guard(*this);
  return testBit(kRegControl, kSpreadingBit, enabled);
}

ErrorData CrcHwdIcs872Sxx::enableFrequencyCheck() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegInput, kCheckBit, kCheckBit);
}

ErrorData CrcHwdIcs872Sxx::disableFrequencyCheck() {
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegInput, kCheckBit, 0);
}

ErrorData CrcHwdIcs872Sxx::isFrequencyCheckEnabled(bool& enabled) {
  IFOSGuard<const QueryBase> guard(*this);
  return testBit(kRegInput, kCheckBit, enabled);
}

ErrorData CrcHwdIcs872Sxx::selectInputClock(mode_t mode, inputSelect_t input) {
  ErrorData rc;
  unsigned char bits = 0;
  if (mode == MODE_2) {
    bits |= kModeBit;
  } else if (mode != MODE_1) {
    rc = kBadMode;
  }
  if (input == INPUT_2) {
    bits |= 0x01;
  } else if (input == INPUT_3) {
    bits |= 0x02;
  } else if (input != INPUT_1) {
    rc = kBadInput;
  }
  if (rc != 0) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegInput, kModeBit | kSelectBits, bits);
}

ErrorData CrcHwdIcs872Sxx::readSelectInputClock(mode_t& mode, inputSelect_t& input) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char control = 0;
  ErrorData rc = readRegister(kRegInput, control);
  if (rc != 0) return rc;
  unsigned char selected = 0;
  rc = readRegister(kRegSelected, selected);
  if (rc != 0) return rc;
  mode = (control & kModeBit) != 0 ? MODE_2 : MODE_1;
  const unsigned int index = (selected >> 3) & 3u;
  input = index == 0 ? INPUT_1 : index == 1 ? INPUT_2 : INPUT_3;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::writeInputEnable(unsigned int value, unsigned int mask) {
  if (value > 7) return failure(kBadEnableValue);
  if (mask > 7) return failure(kBadEnableMask);
  // A disable bit per input: the inverse of the enable bit.
  const unsigned char disables = static_cast<unsigned char>((~value & 7u) << kInputDisableShift);
  IFOSGuard<const QueryBase> guard(*this);
  return modifyRegister(kRegInput, static_cast<unsigned char>(mask << kInputDisableShift), disables);
}

ErrorData CrcHwdIcs872Sxx::readInputEnable(unsigned int& value) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char control = 0;
  ErrorData rc = readRegister(kRegInput, control);
  if (rc == 0) value = ~(static_cast<unsigned int>(control) >> kInputDisableShift) & 7u;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::writeFrequencyCheckValues(unsigned int a, unsigned int b) {
  if (a > 0x3FFFF) return failure(kBadCheckA);
  if (b > 0x1FF) return failure(kBadCheckB);
  // Bit 0 of A and bits 1..0 of B are not stored by the chip.
  const unsigned char data[3] = {static_cast<unsigned char>(a >> 10), static_cast<unsigned char>((a >> 2) & 0xFF),
                                 static_cast<unsigned char>(((a << 6) & 0x80) | ((b >> 2) & 0x7F))};
  IFOSGuard<const QueryBase> guard(*this);
  return m_i2cAccess.write(kRegCheckA, data, sizeof data);
}

ErrorData CrcHwdIcs872Sxx::readFrequencyCheckValues(unsigned int& a, unsigned int& b) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char data[3] = {0, 0, 0};
  ErrorData rc = I2cChipRegisters::readExactly(m_i2cAccess, kRegCheckA, data, sizeof data);
  if (rc != 0) return rc;
  a = (static_cast<unsigned int>(data[0]) << 10) | (static_cast<unsigned int>(data[1]) << 2) | ((data[2] >> 6) & 2u);
  b = (static_cast<unsigned int>(data[2]) << 2) & 0x1FCu;
  return rc;
}

ErrorData CrcHwdIcs872Sxx::writeOutputControl(unsigned int value, unsigned int mask) {
  IFOSGuard<const QueryBase> guard(*this);
  return writeOutputControlLocked(value, mask);
}

ErrorData CrcHwdIcs872Sxx::writeOutputControlLocked(unsigned int value, unsigned int mask) {
  const unsigned int max = I2cChipRegisters::maxOutputValue(m_numOutputControlBits);
  if (value > max) return failure(kBadOutputValue);
  if (mask > max) return failure(kBadOutputMask);
  m_enabledOutputsMask |= mask;
  m_enabledOutputsValue = (m_enabledOutputsValue & ~mask) | (value & mask);
  unsigned char regs[2] = {0, 0};
  unsigned int hardware = 0;
  ErrorData rc = I2cChipRegisters::readOutputs(m_i2cAccess, regs, hardware);
  // Without the registers' contents a write would clear the other bits of
  // register 4 (input selection, mode, disables): the shadow keeps the
  // request, the chip gets it with the next write.
  if (rc != 0) return rc;
  // Outputs not known yet keep what the chip has.
  m_enabledOutputsValue |= ~m_enabledOutputsMask & hardware & max;
  m_enabledOutputsMask = max;
  const unsigned int known = m_enabledOutputsMask;
  const unsigned int shadow = m_enabledOutputsValue & known;
  regs[0] = static_cast<unsigned char>((regs[0] & ~known) | shadow);
  regs[1] = static_cast<unsigned char>((regs[1] & ~kOutput8Bit) | ((shadow >> 1) & kOutput8Bit));
  return m_i2cAccess.write(kRegOutputs, regs, sizeof regs);
}

ErrorData CrcHwdIcs872Sxx::readOutputControl(unsigned int& value) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char regs[2] = {0, 0};
  return I2cChipRegisters::readOutputs(m_i2cAccess, regs, value);
}

unsigned int CrcHwdIcs872Sxx::getNumOfOutputControls() { return m_numOutputControlBits; }

void CrcHwdIcs872Sxx::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    char mask[16];
    char value[16];
    std::snprintf(mask, sizeof mask, "0x%X", m_enabledOutputsMask);
    std::snprintf(value, sizeof value, "0x%X", m_enabledOutputsValue);
    os << "<class className=\"CrcHwdIcs872Sxx\">\n";
    os << "<parameter name=\"m_numOutputControlBits\" value=\"" << m_numOutputControlBits << "\"/>\n";
    os << "<parameter name=\"m_enabledOutputsMask\" value=\"" << mask << "\"/>\n";
    os << "<parameter name=\"m_enabledOutputsValue\" value=\"" << value << "\"/>\n";
    os << "</class>\n";
  }
  I2cChipDriver<CrcHwdInterface>::dumpXml(os);
}

unsigned int CrcHwdIcs872Sxx::getEnabledOutputsMask() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_enabledOutputsMask;
}

unsigned int CrcHwdIcs872Sxx::getEnabledOutputsValue() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_enabledOutputsValue;
}

ErrorData CrcHwdIcs872Sxx::readErrorFlagsLocked(kavstl::set<CrcErrorType_t>& flags) const {
  flags.clear();
  unsigned char regs[2] = {0, 0};
  ErrorData rc = I2cChipRegisters::readExactly(m_i2cAccess, kRegErrors, regs, sizeof regs);
  if (rc != 0) return rc;
  const unsigned int bits = regs[0] | (static_cast<unsigned int>(regs[1]) << 8);
  for (unsigned int bit = 0; bit < 16; ++bit)
    if ((bits & (1u << bit)) != 0 && kErrorTypeOfBit[bit] >= 0)
      flags.insert(static_cast<CrcErrorType_t>(kErrorTypeOfBit[bit]));
  return rc;
}

ErrorData CrcHwdIcs872Sxx::readErrorFlags(kavstl::set<CrcErrorType_t>& flags) {
  IFOSGuard<const QueryBase> guard(*this);
  return readErrorFlagsLocked(flags);
}

ErrorData CrcHwdIcs872Sxx::resetAllErrorFlags() {
  IFOSGuard<const QueryBase> guard(*this);
  kavstl::set<CrcErrorType_t> flags;
  ErrorData rc = readErrorFlagsLocked(flags);
  if (rc != 0) return rc;
  // Every round clears at least one flag or ends: at most ten rounds.
  for (;;) {
    const size_t before = flags.size();
    rc = m_i2cAccess.resetIrq(kRegErrors, kResetIrqData, sizeof kResetIrqData);
    if (rc != 0) return rc;
    rc = readErrorFlagsLocked(flags);
    if (rc != 0 || flags.empty() || flags.size() >= before) break;
  }
  KAV_TRACE(KAVT, "CrcHwdIcs872Sxx::resetAllErrorFlags slot=0x%08X left=%u rc=0x%08X", getSlotId(),
            static_cast<unsigned int>(flags.size()), rc.getRc());
  return rc;
}

ErrorData CrcHwdIcs872Sxx::getRegister(unsigned char* buffer, unsigned int& length) {
  IFOSGuard<const QueryBase> guard(*this);
  return I2cChipRegisters::readBlock(m_i2cAccess, kRegControl, kRegisterCount, buffer, length, kShortBuffer);
}

std::string CrcHwdIcs872Sxx::registerDumpAsString() {
  return I2cChipRegisters::dumpAsString(*this, m_i2cAccess, kRegControl, kRegisterCount);
}

BuildBase* createCrcHwdIcs872Sxx(void*, BaseErrorData&) { return (new CrcHwdIcs872Sxx())->getBuildInterface(); }
