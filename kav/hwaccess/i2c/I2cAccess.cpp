#include "kav/hwaccess/i2c/I2cAccess.h"

#include <cstdio>
#include <new>

#include "kav/hwaccess/i2c/I2cAccessViaI2cHwa.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/KavWait.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/errors/DeviceErrorLog.h"
#include "kav/tree/objects/QueryBase.h"

namespace {

const unsigned int kInvalidValue = 0x7013u;
const unsigned int kUnknownMode = 0x716Bu;
const unsigned int kNoPower = 0x7236u;
const unsigned int kNotLinked = 0x737Au;
const unsigned int kWrongLink = 0x737Bu;


// Transfer modes by their configuration names, and back for the dump.
struct ModeName {
  unsigned int nameId;
  int mode;
};
const ModeName kModes[] = {
    {kav::sid::I2C_MODE_SLAVE_ADDRESS, 1},
    {kav::sid::I2C_MODE_SPECIAL_READ, 2},
    {kav::sid::I2C_MODE_MASTER, 0},
};

bool modeOfName(unsigned int nameId, int& mode) {
  for (const ModeName& m : kModes)
    if (m.nameId == nameId) {
      mode = m.mode;
      return true;
    }
  return false;
}

unsigned int nameOfMode(int mode) {
  for (const ModeName& m : kModes)
    if (m.mode == mode) return m.nameId;
  return kav::sid::ENGINE_TYPE_NONE;
}

// "No" for 0, the number up to the highest meaningful value, else "Undefined".
std::string countText(unsigned int value, unsigned int highest) {
  if (value == 0) return "No";
  if (value <= highest) return std::to_string(value);
  return "Undefined";
}

void parameter(std::ostream& os, const char* name, const std::string& value) {
  os << "<parameter name=\"" << name << "\" value=\"" << value << "\"/>\n";
}

void parameter(std::ostream& os, const char* name, unsigned int value) { parameter(os, name, std::to_string(value)); }

}  // namespace

I2cAccess::I2cAccessViaXxx::~I2cAccessViaXxx() {}

I2cAccess::I2cAccess(QueryBase* owner)
    : m_numReadRetries(0),
      m_numWriteRetries(0),
      m_retryDelayMsec(0),
      m_i2cInfo(),
      m_deviceSupplyInfo(owner),
      m_pOwner(owner),
      m_i2cAccessExecutor(nullptr),
      m_errorLogged(false) {
  m_i2cInfo.transferMode = -1;
  m_i2cInfo.port = 0xFFFFFFFFu;
  m_i2cInfo.deviceAddress = 0;
  m_i2cInfo.speed = 0;
  m_i2cInfo.offsetWidth = 0xFFFFFFFFu;
  m_i2cInfo.pageSelect = 0xFFFFFFFFu;
  m_i2cInfo.writeDelay = 0;
  m_i2cInfo.writeSplit = 0;
  m_i2cInfo.timeout = 0;
  m_i2cInfo.writeRetryDelay = 0;
  m_i2cInfo.writeRetryCount = 0;
}

I2cAccess::~I2cAccess() { delete m_i2cAccessExecutor; }

unsigned int I2cAccess::getSlotId() const { return m_pOwner == nullptr ? 0u : m_pOwner->getSlotId(); }

void I2cAccess::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"I2cAccess\">\n";
  parameter(os, "TransferMode", get_string_by_id(nameOfMode(m_i2cInfo.transferMode)));
  parameter(os, "BusNo", m_i2cInfo.port);
  char address[16];
  std::snprintf(address, sizeof address, "0x%X", m_i2cInfo.deviceAddress);
  parameter(os, "DeviceAddress", address);
  parameter(os, "TransferSpeed", m_i2cInfo.speed);
  parameter(os, "Timeout", m_i2cInfo.timeout);
  parameter(os, "NumOffsetBytes", countText(m_i2cInfo.offsetWidth, 4));
  parameter(os, "m_numReadRetries", m_numReadRetries);
  parameter(os, "m_numWriteRetries", m_numWriteRetries);
  parameter(os, "m_retryDelayMsec", m_retryDelayMsec);
  parameter(os, "PageSelect", countText(m_i2cInfo.pageSelect, 3));
  parameter(os, "SprmWriteDelayMsec", m_i2cInfo.writeDelay);
  parameter(os, "SprmWriteSplit", m_i2cInfo.writeSplit);
  parameter(os, "SprmWriteRetryDelayMsec", m_i2cInfo.writeRetryDelay);
  parameter(os, "SprmWriteNumRetry", m_i2cInfo.writeRetryCount);
  os << "</class>\n";
  if (m_i2cAccessExecutor != nullptr) {
    m_i2cAccessExecutor->dumpXml(os);
  } else {
    parameter(os, "m_i2cAccessExecutor", "NULL");
  }
  m_deviceSupplyInfo.dumpXml(os);
}

BaseErrorData I2cAccess::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc;
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) {
    KAV_TRACE(KAVE, "I2cAccess::setAttributes without attributes slot=0x%08X", getSlotId());
    return rc;
  }
  rc = getAttributeUint32(&m_i2cInfo.port, kav::sid::I2C_BUS_NO, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.deviceAddress, kav::sid::I2C_DEVICE_ADDRESS, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.speed, kav::sid::I2C_TRANSFER_SPEED, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.timeout, kav::sid::I2C_TIMEOUT, *local, false);
  unsigned int modeName = 0;
  rc = getAttributeStringId(&modeName, kav::sid::I2C_TRANSFER_MODE, *local, false);
  if (rc == 0) {
    int mode = -1;
    if (modeOfName(modeName, mode)) {
      m_i2cInfo.transferMode = mode;
    } else {
      KAV_TRACE_STR(KAVE, "I2cAccess::setAttributes unknown transfer mode %s slot=0x%08X port=%u addr=0x%02X",
                    get_string_by_id(modeName), getSlotId(), m_i2cInfo.port, m_i2cInfo.deviceAddress);
      rc = kUnknownMode;
    }
  }

  unsigned int value = 0;
  BaseErrorData read = getAttributeUint32(&value, kav::sid::I2C_OFFSET_BYTES, *local, false);
  if (read != 0) {
    rc = read;
  } else if (value == 0 || value == 1 || value == 2 || value == 4) {
    m_i2cInfo.offsetWidth = value;
  } else {
    KAV_TRACE(KAVE, "I2cAccess::setAttributes offset width %u slot=0x%08X", value, getSlotId());
    rc = kInvalidValue;
  }
  read = getAttributeUint32(&value, kav::sid::I2C_PAGE_SELECT, *local, false);
  if (read != 0) {
    rc = read;
  } else if (value <= 3) {
    m_i2cInfo.pageSelect = value;
  } else {
    KAV_TRACE(KAVE, "I2cAccess::setAttributes page select %u slot=0x%08X", value, getSlotId());
    rc = kInvalidValue;
  }

  rc = getAttributeUint32(&m_i2cInfo.writeSplit, kav::sid::I2C_WRITE_SPLIT, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.writeDelay, kav::sid::I2C_WRITE_DELAY, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.writeRetryDelay, kav::sid::I2C_WRITE_RETRY_DELAY, *local, false);
  rc = getAttributeUint32(&m_i2cInfo.writeRetryCount, kav::sid::I2C_WRITE_RETRY_COUNT, *local, false);
  rc = getAttributeUint32(&m_numReadRetries, kav::sid::I2C_READ_RETRIES, *local, false);
  rc = getAttributeUint32(&m_numWriteRetries, kav::sid::I2C_WRITE_RETRIES, *local, false);
  rc = getAttributeUint32(&m_retryDelayMsec, kav::sid::DELAY_MS, *local, false);
  rc = m_deviceSupplyInfo.setAttributes(info);
  KAV_TRACE(KAVT, "I2cAccess::setAttributes slot=0x%08X port=%u addr=0x%02X mode=%d retries=%u/%u rc=0x%08X",
            getSlotId(), m_i2cInfo.port, m_i2cInfo.deviceAddress, m_i2cInfo.transferMode, m_numReadRetries,
            m_numWriteRetries, rc.getRc());
  return rc;
}

BaseErrorData I2cAccess::init(initSequence::Id_t step) { return m_deviceSupplyInfo.init(step); }

BaseErrorData I2cAccess::terminate(terminateSequence::Id_t step) { return m_deviceSupplyInfo.terminate(step); }

ErrorData I2cAccess::read(unsigned int offset, unsigned char* data, unsigned int& len) const {
  return transfer(i2c::TRANSFER_READ, m_i2cInfo, offset, data, len);
}

ErrorData I2cAccess::write(unsigned int offset, const unsigned char* data, unsigned int len) const {
  return transfer(i2c::TRANSFER_WRITE, m_i2cInfo, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cAccess::resetIrq(unsigned int offset, const unsigned char* data, unsigned int len) const {
  return transfer(i2c::TRANSFER_RESET_IRQ, m_i2cInfo, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cAccess::read(const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                          unsigned int& len) const {
  return transfer(i2c::TRANSFER_READ, info, offset, data, len);
}

ErrorData I2cAccess::write(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                           unsigned int len) const {
  return transfer(i2c::TRANSFER_WRITE, info, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cAccess::resetIrq(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                              unsigned int len) const {
  return transfer(i2c::TRANSFER_RESET_IRQ, info, offset, const_cast<unsigned char*>(data), len);
}

ErrorData I2cAccess::transfer(i2c::TransferKind_t kind, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                              unsigned int& len) const {
  ErrorData err;
  if (m_i2cAccessExecutor == nullptr) {
    KAV_TRACE_STR(KAVE, "I2cAccess::%s not linked slot=0x%08X", i2c::transferKindName(kind),
                  getSlotId());
    err = kNotLinked;
    return err;
  }
  if (!hasDevicePower()) {
    KAV_TRACE_STR(KAVE, "I2cAccess::%s device without power slot=0x%08X port=%u addr=0x%02X",
                  i2c::transferKindName(kind), getSlotId(), info.port, info.deviceAddress);
    err = kNoPower;
    return err;
  }
  const unsigned int retries = kind == i2c::TRANSFER_READ ? m_numReadRetries : m_numWriteRetries;
  const unsigned int slotId = getSlotId();
  // Each try asks for the whole length again.
  const unsigned int requested = len;
  ErrorData result(ErrorData::OVERWRITE);
  for (unsigned int tries = 0;; ++tries) {
    len = requested;
    switch (kind) {
      case i2c::TRANSFER_READ: result = m_i2cAccessExecutor->read(slotId, info, offset, data, len); break;
      case i2c::TRANSFER_WRITE: result = m_i2cAccessExecutor->write(slotId, info, offset, data, len); break;
      case i2c::TRANSFER_RESET_IRQ: result = m_i2cAccessExecutor->resetIrq(slotId, info, offset, data, len); break;
    }
    if (result == 0 || tries >= retries) break;
    KAV_TRACE_STR(KAVT, "I2cAccess::%s retry %u of %u slot=0x%08X rc=0x%08X",
                  i2c::transferKindName(kind), tries + 1, retries, slotId, result.getRc());
    KavWait(m_retryDelayMsec);
  }
  err = result;
  if (err == 0) return err;
  char text[64];
  std::snprintf(text, sizeof text, "%s also fails after %u retries", i2c::transferKindName(kind), retries);
  err << text;
  checkAndLogError(err);
  KAV_TRACE_STR(KAVE, "I2cAccess::%s failed slot=0x%08X port=%u addr=0x%02X offset=0x%X len=%u rc=0x%08X",
                i2c::transferKindName(kind), slotId, info.port, info.deviceAddress, offset, requested,
                err.getRc());
  return err;
}

unsigned int I2cAccess::getHwaSlotId() const {
  return m_i2cAccessExecutor == nullptr ? 0u : m_i2cAccessExecutor->getHwaSlotId();
}

ErrorData I2cAccess::linkI2cAccess(KavPtr<LinkBase> link) {
  ErrorData err;
  if (link == nullptr) {
    KAV_TRACE(KAVE, "I2cAccess::linkI2cAccess null link slot=0x%08X", getSlotId());
    err = kWrongLink;
    return err;
  }
  if (!link->isInstanceOf(I2cHwaInterfaceLink::staticGetClassId())) {
    KAV_TRACE_STR(KAVE, "I2cAccess::linkI2cAccess link of class %s slot=0x%08X", get_string_by_id(link->getClassId()),
                  getSlotId());
    err = kWrongLink;
    return err;
  }
  I2cAccessViaXxx* executor = new (std::nothrow) I2cAccessViaI2cHwa(KavPtr<I2cHwaInterfaceLink>(link));
  if (executor == nullptr) {
    err = 0x7000u;
    return err;
  }
  delete m_i2cAccessExecutor;
  m_i2cAccessExecutor = executor;
  return err;
}

void I2cAccess::unlinkI2cAccess() {
  delete m_i2cAccessExecutor;
  m_i2cAccessExecutor = nullptr;
}

ErrorData I2cAccess::switchForPwrCtrl(unsigned int step) { return m_deviceSupplyInfo.switchForPwrCtrl(step); }

bool I2cAccess::hasDevicePower() const { return m_deviceSupplyInfo.hasDevicePower(); }

void I2cAccess::checkAndLogError(ErrorData& err) const {
  char text[64];
  std::snprintf(text, sizeof text, "bus=x%x, address=x%x", m_i2cInfo.port, m_i2cInfo.deviceAddress);
  if (logDeviceErrorOnce(err, m_errorLogged, text, getSlotId(), KavPtr<const QueryBase>(m_pOwner)))
    KAV_TRACE(KAVE, "I2cAccess logged error slot=0x%08X rc=0x%08X", getSlotId(), err.getRc());
}
