#include "kav/clockchips/PllHwdIcs842S02.h"

#include "kav/clockchips/I2cChipRegisters.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/KavWait.h"

KAV_TREE_CLASS_IMPL(PllHwdIcs842S02, PllHwdInterface)

namespace {

// Registers and bits.
const unsigned int kRegPattern = 1;    // 1 and 2
const unsigned int kRegSpreading = 3;  // direction 6..5, amount 4..0
const unsigned int kRegErrors = 4;     // error types 0 and 1 in bits 0 and 1

const unsigned int kPatternLimit = 0x4000;
const unsigned char kDirectionBits = 0x60;
const unsigned char kAmountBits = 0x1F;
const unsigned int kMaxAmount = 31;
const unsigned char kUpBits = 0x40;
const unsigned char kDownBits = 0x20;
const unsigned char kCenterBits = 0x60;

// The reset-interrupt transfer: both flag bits of register 4.
const unsigned char kResetIrqData[1] = {0x03};

const unsigned int kBadDirection = 0x7246;
const unsigned int kBadAmount = 0x7247;
const unsigned int kBadPattern = 0x7248;
const unsigned int kShortBuffer = 0x733B;

}  // namespace

PllHwdIcs842S02::PllHwdIcs842S02() {}

PllHwdIcs842S02::~PllHwdIcs842S02() {}

ErrorData PllHwdIcs842S02::readPattern(unsigned int& pattern) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char regs[2] = {0, 0};
  ErrorData rc = I2cChipRegisters::readExactly(m_i2cAccess, kRegPattern, regs, sizeof regs);
  if (rc == 0)
    pattern = ((regs[0] & 7u) << 11) | (static_cast<unsigned int>(regs[0]) >> 3) | ((regs[1] & 0x3Fu) << 5);
  return rc;
}

ErrorData PllHwdIcs842S02::writePattern(unsigned int pattern) {
  if (pattern >= kPatternLimit) {
    KAV_TRACE(KAVE, "PllHwdIcs842S02::writePattern pattern=0x%X too large slot=0x%08X", pattern, getSlotId());
    return ErrorData(ErrorData::NO_OVERWRITE, kBadPattern);
  }
  // Register 1: pattern bits 4..0 above bits 13..11; register 2: bits 10..5.
  const unsigned char regs[2] = {static_cast<unsigned char>(((pattern & 0x3800u) >> 11) | ((pattern & 0xFFu) << 3)),
                                 static_cast<unsigned char>((pattern & 0x7E0u) >> 5)};
  IFOSGuard<const QueryBase> guard(*this);
  const ErrorData rc = m_i2cAccess.write(kRegPattern, regs, sizeof regs);
  KAV_TRACE(KAVT, "PllHwdIcs842S02::writePattern pattern=0x%X slot=0x%08X rc=0x%08X", pattern, getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllHwdIcs842S02::readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char value = 0;
  ErrorData rc = I2cChipRegisters::readRegister(m_i2cAccess, kRegSpreading, value);
  if (rc != 0) return rc;
  amount = value & kAmountBits;
  switch (value & kDirectionBits) {
    case kUpBits:
      direction = kavosc::SPREADING_UP;
      break;
    case kDownBits:
      direction = kavosc::SPREADING_DOWN;
      break;
    case kCenterBits:
      direction = kavosc::SPREADING_CENTER;
      break;
    default:
      direction = kavosc::SPREADING_OFF;
      break;
  }
  return rc;
}

ErrorData PllHwdIcs842S02::writeSpreadingStep(unsigned char value) const {
  KavWait(kSpreadingStepMs);
  return I2cChipRegisters::writeRegister(m_i2cAccess, kRegSpreading, value);
}

ErrorData PllHwdIcs842S02::writeSpreadingMode(kavosc::SpreadingDirection_t direction, unsigned int amount) {
  ErrorData rc;
  if (amount > kMaxAmount || (direction == kavosc::SPREADING_OFF && amount != 0)) rc = kBadAmount;
  unsigned char target = 0;
  switch (direction) {
    case kavosc::SPREADING_OFF:
      break;
    case kavosc::SPREADING_UP:
      target = kUpBits;
      break;
    case kavosc::SPREADING_DOWN:
      target = kDownBits;
      break;
    case kavosc::SPREADING_CENTER:
      target = kCenterBits;
      break;
    default:
      rc = kBadDirection;
      break;
  }
  if (rc != 0) {
    KAV_TRACE(KAVE, "PllHwdIcs842S02::writeSpreadingMode direction=%u amount=%u slot=0x%08X rc=0x%08X",
              static_cast<unsigned int>(direction), amount, getSlotId(), rc.getRc());
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  unsigned char r = 0;
  rc = I2cChipRegisters::readRegister(m_i2cAccess, kRegSpreading, r);
  if (rc != 0) return rc;
  const unsigned char from = r;
  unsigned int steps = 0;
  if ((r & kDirectionBits) != target) {
    // Down to no spreading in the old direction, through off, into the new
    // direction at amount 0.
    for (unsigned int n = r & kAmountBits; n > 0; --n, ++steps) rc = writeSpreadingStep(--r);
    if ((r & kDirectionBits) != 0) {
      r = 0;
      rc = writeSpreadingStep(r);
      ++steps;
    }
    if (target != r) {
      r = target;
      rc = writeSpreadingStep(r);
      ++steps;
    }
  }
  if (rc == 0) {
    while ((r & kAmountBits) != amount) {
      const unsigned int current = r & kAmountBits;
      const unsigned int next = current < amount ? current + 1 : current - 1;
      r = static_cast<unsigned char>((r & ~kAmountBits) | next);
      rc = writeSpreadingStep(r);
      ++steps;
    }
  }
  KAV_TRACE(KAVT, "PllHwdIcs842S02::writeSpreadingMode 0x%02X to 0x%02X in %u steps slot=0x%08X rc=0x%08X", from, r,
            steps, getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllHwdIcs842S02::readErrorFlags(kavstl::set<PllErrorType_t>& flags) {
  IFOSGuard<const QueryBase> guard(*this);
  flags.clear();
  unsigned char value = 0;
  ErrorData rc = I2cChipRegisters::readRegister(m_i2cAccess, kRegErrors, value);
  if (rc != 0) return rc;
  if ((value & 0x01) != 0) flags.insert(PLL_ERROR_0);
  if ((value & 0x02) != 0) flags.insert(PLL_ERROR_1);
  return rc;
}

ErrorData PllHwdIcs842S02::resetAllErrorFlags() {
  IFOSGuard<const QueryBase> guard(*this);
  const ErrorData rc = m_i2cAccess.resetIrq(kRegErrors, kResetIrqData, sizeof kResetIrqData);
  KAV_TRACE(KAVT, "PllHwdIcs842S02::resetAllErrorFlags slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllHwdIcs842S02::getRegister(unsigned char* buffer, unsigned int& length) {
  IFOSGuard<const QueryBase> guard(*this);
  return I2cChipRegisters::readBlock(m_i2cAccess, kRegPattern, kRegisterCount, buffer, length, kShortBuffer);
}

std::string PllHwdIcs842S02::registerDumpAsString() {
  return I2cChipRegisters::dumpAsString(*this, m_i2cAccess, kRegPattern, kRegisterCount);
}

void PllHwdIcs842S02::dumpXmlHwRegisters(std::ostream& os) {
  I2cChipRegisters::dumpXml(os, *this, m_i2cAccess, kRegPattern, kRegisterCount, "RegisterContent of PllHwdIcs842S02",
                            "Reading Device Registers failed with rc:");
}

BuildBase* createPllHwdIcs842S02(void*, BaseErrorData&) { return (new PllHwdIcs842S02())->getBuildInterface(); }
