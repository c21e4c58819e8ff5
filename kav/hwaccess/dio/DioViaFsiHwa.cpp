#include "kav/hwaccess/dio/DioViaFsiHwa.h"

#include <cstdio>

#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/fsi/FsiEngineFrame.h"
#include "kav/hwaccess/fsi/IrqId.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(DioViaFsiHwa, DioHwaInterface)

namespace {

const unsigned int kDeviceGone = 0x50013u;  // gpio library failure with ENODEV

// The engine numbering of the device access layer for the modes 0..6.
const edalDio::dioMode_t kModeMap[] = {
    edalDio::DIO_MODE_UNUSED,                // 0 none
    edalDio::DIO_MODE_INPUT,                 // 1
    edalDio::DIO_MODE_OUTPUT_PUSHPULL,       // 2
    edalDio::DIO_MODE_OUTPUT_PUSHPULL_SLOW,  // 3
    edalDio::DIO_MODE_OUTPUT_OPEN_DRAIN,     // 4
    edalDio::DIO_MODE_OUTPUT_BLINK,          // 5
    edalDio::DIO_MODE_OUTPUT_OPEN_SOURCE,    // 6
};

}  // namespace

DioViaFsiHwa::DioViaFsiHwa(const FsiEngineInfo& info)
    : m_engineInfo(info), m_pHandle(nullptr), m_deviceGoneLogged(false) {
  setInstanceId(m_engineInfo.getEngineInstanceNameStringId());
}

DioViaFsiHwa::~DioViaFsiHwa() {
  if (m_pHandle != nullptr) {
    std::string msg;
    edalDioClose(m_pHandle, msg);
  }
}

BaseErrorData DioViaFsiHwa::init(initSequence::Id_t step) {
  BaseErrorData rc = DioHwaInterface::init(step);
  if (step == initSequence::INIT_OPEN_ENGINES) rc = openEngine();
  return rc;
}

BaseErrorData DioViaFsiHwa::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_CLOSE_ENGINES) rc = closeEngine();
  rc = DioHwaInterface::terminate(step);
  return rc;
}

bool DioViaFsiHwa::mapMode(unsigned int mode, edalDio::dioMode_t& edalMode) {
  if (mode >= sizeof(kModeMap) / sizeof(kModeMap[0])) return false;
  edalMode = kModeMap[mode];
  return true;
}

bool DioViaFsiHwa::isOpen() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pHandle != nullptr;
}

ErrorData DioViaFsiHwa::openEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pHandle != nullptr) return err;
  std::string msg;
  const EdalInfo info(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                      m_engineInfo.getPhysEngineNumber());
  const unsigned int rc = edalDioOpen(info, m_pHandle, msg);
  if (rc != 0) {
    m_pHandle = nullptr;
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "DioViaFsiHwa::openEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  } else {
    KAV_TRACE_STR(KAVT, "DioViaFsiHwa::openEngine %s", m_engineInfo.getStringPath());
  }
  return err;
}

ErrorData DioViaFsiHwa::closeEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pHandle == nullptr) return err;
  std::string msg;
  const unsigned int rc = edalDioClose(m_pHandle, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "DioViaFsiHwa::closeEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  // A failed close that kept the handle (interrupts could not be disabled)
  // leaves the engine open; a close that was attempted released it.
  return err;
}

ErrorData DioViaFsiHwa::checkForEngineOpen() const {
  return FsiEngineFrame::checkOpen(*this, m_engineInfo, m_pHandle, "DioViaFsiHwa");
}

void DioViaFsiHwa::handleError(ErrorData& err, unsigned long rc, std::string& msg) const {
  const bool gone = rc == kDeviceGone;
  if (gone) {
    err.overwrite(0x7017u);
  } else {
    err = static_cast<unsigned int>(rc);
  }
  char text[64];
  std::snprintf(text, sizeof(text), "DIO Error on FSI  rc=0x%.8lX", rc);
  const std::string path = m_engineInfo.getStringPath();
  setFsiHwaErrorData(err, text, "FSI_DIO_ACCESS", "", getSlotId(), path.c_str(), msg);
  if (!gone || isDeleted()) return;
  // The handle outlived its device: every further call fails the same way
  // until the engine is built again. Say so once.
  if (m_deviceGoneLogged) {
    err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
    return;
  }
  m_deviceGoneLogged = true;
  KAV_TRACE_STR(KAVE, "DioViaFsiHwa device gone %s", path);
  err.logSynchron(kavstl::string(), kavstl::string(), KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
}

// The common frame of an engine operation: lock, open check, the call, and
// the conversion of a failed call.
#define DIO_ENGINE_CALL(callExpr, what)                                                              \
  IFOSGuard<const QueryBase> guard(*this);                                                           \
  ErrorData err = checkForEngineOpen();                                                              \
  if (err != 0) return err;                                                                          \
  std::string msg;                                                                                   \
  const unsigned int rc = (callExpr);                                                                \
  if (rc != 0) {                                                                                     \
    handleError(err, rc, msg);                                                                       \
    KAV_TRACE_STR(KAVE, "DioViaFsiHwa::" what " %s rc=0x%08X", m_engineInfo.getStringPath(), rc);    \
  }                                                                                                  \
  return err

ErrorData DioViaFsiHwa::configureMode(unsigned int mask, dioMode::DioMode_t mode) const {
  edalDio::dioMode_t edalMode = edalDio::DIO_MODE_UNUSED;
  if (!mapMode(mode, edalMode)) {
    KAV_TRACE(KAVE, "DioViaFsiHwa::configureMode invalid mode %u", static_cast<unsigned int>(mode));
    return ErrorData(ErrorData::NO_OVERWRITE, 0x7172u);
  }
  DIO_ENGINE_CALL(edalDioSetMode(m_pHandle, mask, edalMode, msg), "configureMode");
}

ErrorData DioViaFsiHwa::reconfigureMode(unsigned int mask, dioMode::DioMode_t mode) const {
  edalDio::dioMode_t edalMode = edalDio::DIO_MODE_UNUSED;
  if (!mapMode(mode, edalMode)) {
    KAV_TRACE(KAVE, "DioViaFsiHwa::reconfigureMode invalid mode %u", static_cast<unsigned int>(mode));
    return ErrorData(ErrorData::NO_OVERWRITE, 0x7172u);
  }
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  unsigned int rc = edalDioSetMode(m_pHandle, mask, edalDio::DIO_MODE_UNUSED, msg);
  if (rc == 0) rc = edalDioSetMode(m_pHandle, mask, edalMode, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "DioViaFsiHwa::reconfigureMode %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData DioViaFsiHwa::getMode(unsigned int& mask, dioMode::DioMode_t mode) const {
  edalDio::dioMode_t edalMode = edalDio::DIO_MODE_UNUSED;
  if (!mapMode(mode, edalMode)) {
    KAV_TRACE(KAVE, "DioViaFsiHwa::getMode invalid mode %u", static_cast<unsigned int>(mode));
    return ErrorData(ErrorData::NO_OVERWRITE, 0x7172u);
  }
  DIO_ENGINE_CALL(edalDioGetMode(m_pHandle, mask, edalMode, msg), "getMode");
}

ErrorData DioViaFsiHwa::writeLevel(unsigned int mask, unsigned int value) const {
  DIO_ENGINE_CALL(edalDioSet(m_pHandle, mask, value, msg), "writeLevel");
}

ErrorData DioViaFsiHwa::readLevel(unsigned int& value) const {
  DIO_ENGINE_CALL(edalDioGet(m_pHandle, value, msg), "readLevel");
}

ErrorData DioViaFsiHwa::setBlinkRate(unsigned int rate) const {
  DIO_ENGINE_CALL(edalDioSetBlinkRate(m_pHandle, rate, msg), "setBlinkRate");
}

ErrorData DioViaFsiHwa::blink(unsigned int mask) const {
  DIO_ENGINE_CALL(edalDioBlink(m_pHandle, mask, msg), "blink");
}

ErrorData DioViaFsiHwa::enableInterrupt(unsigned int mask, unsigned int polarity, unsigned int irqId) const {
  DIO_ENGINE_CALL(edalDioEnableInterrupt(m_pHandle, mask, polarity, irqId, msg), "enableInterrupt");
}

ErrorData DioViaFsiHwa::disableInterrupt(unsigned int mask) const {
  DIO_ENGINE_CALL(edalDioDisableInterrupt(m_pHandle, mask, msg), "disableInterrupt");
}

ErrorData DioViaFsiHwa::resetInterruptCondition(unsigned int mask) const {
  DIO_ENGINE_CALL(edalDioResetInterruptCondition(m_pHandle, mask, msg), "resetInterruptCondition");
}

unsigned int DioViaFsiHwa::getIrqIdHighLevel(unsigned int mask) const {
  return get_fsi_dio_high_irq_id(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                                 m_engineInfo.getPhysEngineNumber(), mask);
}

unsigned int DioViaFsiHwa::getIrqIdLowLevel(unsigned int mask) const {
  return get_fsi_dio_low_irq_id(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                                m_engineInfo.getPhysEngineNumber(), mask);
}

ErrorData DioViaFsiHwa::pldSetConfig(unsigned int pldId, unsigned int config) const {
  DIO_ENGINE_CALL(edalPldSetConfig(m_pHandle, pldId, static_cast<unsigned short>(config), msg), "pldSetConfig");
}

ErrorData DioViaFsiHwa::pldGetConfig(unsigned int pldId, unsigned int& config) const {
  unsigned short value = 0;
  ErrorData result;
  {
    auto call = [&]() -> ErrorData { DIO_ENGINE_CALL(edalPldGetConfig(m_pHandle, pldId, value, msg), "pldGetConfig"); };
    result = call();
  }
  if (result == 0) config = value;
  return result;
}

namespace {
bool validControl(unsigned int control) { return control >= 1 && control <= 3; }
}  // namespace

ErrorData DioViaFsiHwa::pldWriteLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const {
  if (!validControl(control)) {
    KAV_TRACE(KAVE, "DioViaFsiHwa::pldWriteLookupTableControl table %u invalid control %u", tableId,
              static_cast<unsigned int>(control));
    return ErrorData(ErrorData::NO_OVERWRITE, 0x7035u);
  }
  DIO_ENGINE_CALL(
      edalWriteLookupTableControl(m_pHandle, tableId, static_cast<edalPld::LookupControl_t>(control), msg),
      "pldWriteLookupTableControl");
}

ErrorData DioViaFsiHwa::pldReadLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const {
  edalPld::LookupControl_t value = edalPld::LOOKUP_CONTROL_1;
  ErrorData result;
  {
    auto call = [&]() -> ErrorData {
      DIO_ENGINE_CALL(edalReadLookupTableControl(m_pHandle, tableId, value, msg), "pldReadLookupTableControl");
    };
    result = call();
  }
  if (result != 0) return result;
  if (!validControl(static_cast<unsigned int>(value))) {
    KAV_TRACE(KAVE, "DioViaFsiHwa::pldReadLookupTableControl table %u invalid control %u", tableId,
              static_cast<unsigned int>(value));
    return ErrorData(ErrorData::NO_OVERWRITE, 0x7035u);
  }
  control = static_cast<kavPld::LookupControl_t>(value);
  return result;
}
