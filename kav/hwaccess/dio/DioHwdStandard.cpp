#include "kav/hwaccess/dio/DioHwdStandard.h"

#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(DioHwdStandard, DioHwdInterface)

namespace {
const unsigned int kNoEngineTarget = 0x7340u;
const unsigned int kNoEngineLink = 0x7341u;

unsigned int mirror(unsigned int mask) {
  unsigned int result = 0;
  for (unsigned int bit = 0; bit < 32; ++bit)
    if ((mask & (1u << bit)) != 0) result |= 0x80000000u >> bit;
  return result;
}

ErrorData noTarget(const char* what) {
  KAV_TRACE_STR(KAVE, "DioHwdStandard::%s without engine", what);
  return ErrorData(ErrorData::NO_OVERWRITE, kNoEngineTarget);
}
}  // namespace

DioHwdStandard::DioHwdStandard() {}

DioHwdStandard::~DioHwdStandard() {}

unsigned int DioHwdStandard::convertBitOrderStandardToMsb(unsigned int mask) { return mirror(mask); }

unsigned int DioHwdStandard::convertBitOrderMsbToStandard(unsigned int mask) { return mirror(mask); }

BaseErrorData DioHwdStandard::init(initSequence::Id_t step) {
  BaseErrorData rc = DioHwdInterface::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int count = 0;
  KavPtr<DioHwaInterfaceLink> link = singleHiddenChild<DioHwaInterfaceLink>(*this, count);
  if (link == nullptr) {
    KAV_TRACE(KAVE, "DioHwdStandard::init no single engine link count=%u slot=0x%08X", count, getSlotId());
    rc = kNoEngineLink;
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  m_pDioHwaLink = link;
  return rc;
}

BaseErrorData DioHwdStandard::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pDioHwaLink = nullptr;
  }
  return DioHwdInterface::terminate(step);
}

KavPtr<DioHwaInterface> DioHwdStandard::engine() const {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pDioHwaLink == nullptr) return KavPtr<DioHwaInterface>();
  return m_pDioHwaLink->getLinkTarget();
}

ErrorData DioHwdStandard::switchForPwrCtrl(unsigned int signalName, unsigned int switchId) {
  KAV_TRACE(KAVT, "DioHwdStandard::switchForPwrCtrl signal=%u switch=%u", signalName, switchId);
  return ErrorData();
}

ErrorData DioHwdStandard::configure(unsigned int mask, dioMode::DioMode_t mode) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("configure");
  return hwa->configureMode(convertBitOrderStandardToMsb(mask), mode);
}

ErrorData DioHwdStandard::reconfigure(unsigned int mask, dioMode::DioMode_t mode) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("reconfigure");
  return hwa->reconfigureMode(convertBitOrderStandardToMsb(mask), mode);
}

ErrorData DioHwdStandard::readLevel(unsigned int mask, unsigned int& value) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("readLevel");
  unsigned int level = 0;
  ErrorData err = hwa->readLevel(level);
  if (err == 0) value = convertBitOrderMsbToStandard(level) & mask;
  return err;
}

ErrorData DioHwdStandard::writeLevel(unsigned int mask, unsigned int value) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("writeLevel");
  return hwa->writeLevel(convertBitOrderStandardToMsb(mask), convertBitOrderStandardToMsb(value));
}

ErrorData DioHwdStandard::blink(unsigned int mask, unsigned int rate) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("blink");
  ErrorData err = hwa->setBlinkRate(rate);
  if (err == 0) err = hwa->blink(convertBitOrderStandardToMsb(mask));
  return err;
}

ErrorData DioHwdStandard::enableIrq(unsigned int mask, unsigned int levelMask, unsigned int irqId) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("enableIrq");
  return hwa->enableInterrupt(convertBitOrderStandardToMsb(mask), convertBitOrderStandardToMsb(levelMask), irqId);
}

ErrorData DioHwdStandard::disableIrq(unsigned int mask) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("disableIrq");
  return hwa->disableInterrupt(convertBitOrderStandardToMsb(mask));
}

ErrorData DioHwdStandard::resetIrqCondition(unsigned int mask) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return noTarget("resetIrqCondition");
  return hwa->resetInterruptCondition(convertBitOrderStandardToMsb(mask));
}

unsigned int DioHwdStandard::getIrqIdHighLevel(unsigned int mask) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return 0;
  return hwa->getIrqIdHighLevel(convertBitOrderStandardToMsb(mask));
}

unsigned int DioHwdStandard::getIrqIdLowLevel(unsigned int mask) {
  KavPtr<DioHwaInterface> hwa = engine();
  if (hwa == nullptr) return 0;
  return hwa->getIrqIdLowLevel(convertBitOrderStandardToMsb(mask));
}

BuildBase* createDioHwdStandard(void*, BaseErrorData&) { return (new DioHwdStandard())->getBuildInterface(); }
