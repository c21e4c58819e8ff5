#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"

#include <cstdio>

#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/fsi/FsiEngineFrame.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(I2cViaFsiHwa, I2cHwaInterface)

namespace {

const unsigned int kInvalidArgument = 0x7012u;


}  // namespace

I2cViaFsiHwa::I2cViaFsiHwa(const FsiEngineInfo& info) : m_engineInfo(info), m_pEdalHandle(nullptr) {
  setInstanceId(m_engineInfo.getEngineInstanceNameStringId());
}

I2cViaFsiHwa::~I2cViaFsiHwa() {
  if (m_pEdalHandle != nullptr) {
    std::string msg;
    edalI2cClose(m_pEdalHandle, msg);
  }
}

BaseErrorData I2cViaFsiHwa::init(initSequence::Id_t step) {
  BaseErrorData rc = I2cHwaInterface::init(step);
  if (step == initSequence::INIT_OPEN_ENGINES) rc = openEngine();
  return rc;
}

BaseErrorData I2cViaFsiHwa::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_CLOSE_ENGINES) rc = closeEngine();
  rc = I2cHwaInterface::terminate(step);
  return rc;
}

void I2cViaFsiHwa::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    FsiEngineFrame::dumpHead(os, "I2cViaFsiHwa", m_pEdalHandle, m_engineInfo);
    os << "</class>\n";
  }
  I2cHwaInterface::dumpXml(os);
}

bool I2cViaFsiHwa::isOpen() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pEdalHandle != nullptr;
}

ErrorData I2cViaFsiHwa::openEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pEdalHandle != nullptr) {
    KAV_TRACE(KAVT, "I2cViaFsiHwa::openEngine already open slot=0x%08X", getSlotId());
    return err;
  }
  std::string msg;
  const EdalInfo info(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                      m_engineInfo.getPhysEngineNumber(), false);
  const unsigned int rc = edalI2cOpen(info, m_pEdalHandle, msg);
  if (rc != 0) {
    m_pEdalHandle = nullptr;
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "I2cViaFsiHwa::openEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData I2cViaFsiHwa::closeEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pEdalHandle == nullptr) return err;
  std::string msg;
  const unsigned int rc = edalI2cClose(m_pEdalHandle, msg);
  m_pEdalHandle = nullptr;
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "I2cViaFsiHwa::closeEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData I2cViaFsiHwa::checkForEngineOpen() const {
  return FsiEngineFrame::checkOpen(*this, m_engineInfo, m_pEdalHandle, "I2cViaFsiHwa");
}

void I2cViaFsiHwa::handleError(ErrorData& err, unsigned long rc, std::string& msg) const {
  FsiEngineFrame::convertError(*this, m_engineInfo, err, rc, msg, "I2C Access Error on FSI  rc=0x%.8lX",
                               "FSI_I2C_ACCESS", nullptr);
}

ErrorData I2cViaFsiHwa::write(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                              unsigned int len) const {
  return transfer(i2c::TRANSFER_WRITE, info, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cViaFsiHwa::read(const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                             unsigned int& len) const {
  return transfer(i2c::TRANSFER_READ, info, offset, data, len);
}

ErrorData I2cViaFsiHwa::resetIrq(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                                 unsigned int len) const {
  return transfer(i2c::TRANSFER_RESET_IRQ, info, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cViaFsiHwa::transfer(i2c::TransferKind_t kind, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                                 unsigned int& len) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  if (data == nullptr && len != 0) {
    // The device access libraries would take the length's worth of bytes
    // from (or into) the null pointer.
    KAV_TRACE_STR(KAVE, "I2cViaFsiHwa::%s no buffer for %u bytes slot=0x%08X", i2c::transferKindName(kind), len, getSlotId());
    err = kInvalidArgument;
    return err;
  }
  std::string msg;
  unsigned int rc = 0;
  switch (kind) {
    case i2c::TRANSFER_WRITE: rc = edalI2cWrite(m_pEdalHandle, info, offset, data, len, msg); break;
    case i2c::TRANSFER_READ: rc = edalI2cRead(m_pEdalHandle, info, offset, data, len, msg); break;
    case i2c::TRANSFER_RESET_IRQ: rc = edalSi2cResetIrq(m_pEdalHandle, info, offset, data, len, msg); break;
  }
  char bytes[1024];
  bytes[0] = '\0';
  unsigned int used = 0;
  const bool haveBytes = kind != i2c::TRANSFER_READ || rc == 0;
  for (unsigned int i = 0; haveBytes && data != nullptr && i < len && 3 * i < 1023 - 3; ++i) {
    std::snprintf(bytes + used, sizeof(bytes) - used, "%.2X ", data[i]);
    used += 3;
  }
  KAV_TRACE_STR(KAVT, "I2cViaFsiHwa::transfer %s kind=%u slot=0x%08X port=%u addr=0x%02X offset=0x%X len=%u", bytes,
                static_cast<unsigned int>(kind), getSlotId(), info.port, info.deviceAddress, offset, len);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "I2cViaFsiHwa::transfer failed %s kind=%u port=%u addr=0x%02X speed=%u mode=%d offset=0x%X rc=0x%08X",
                  m_engineInfo.getStringPath(), static_cast<unsigned int>(kind), info.port, info.deviceAddress,
                  info.speed, info.transferMode, offset, rc);
  }
  return err;
}
