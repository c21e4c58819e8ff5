#include "kav/hwaccess/i2c/I2cAccessViaI2cHwa.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringToId.h"

namespace {

const unsigned int kNoTarget = 0x7342u;

}  // namespace

I2cAccessViaI2cHwa::I2cAccessViaI2cHwa(KavPtr<I2cHwaInterfaceLink> link) : m_pI2cHwaInterfaceLink(link) {}

I2cAccessViaI2cHwa::~I2cAccessViaI2cHwa() {}

void I2cAccessViaI2cHwa::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"I2cAccessViaI2cHwa\">\n";
  os << "<parameter name=\"m_pI2cHwaInterfaceLink\" value=\"" << m_pI2cHwaInterfaceLink.asString() << "\"/>\n";
  if (m_pI2cHwaInterfaceLink != nullptr) {
    KavPtr<I2cHwaInterface> engine = m_pI2cHwaInterfaceLink->getLinkTarget();
    os << "<parameter name=\"targetInstanceName\" value=\""
       << get_string_by_id(m_pI2cHwaInterfaceLink->getTargetInstanceName()) << "\"/>\n";
    os << "<parameter name=\"linkTarget\" value=\"" << engine.asString() << "\"/>\n";
  }
  os << "</class>\n";
}

KavPtr<I2cHwaInterface> I2cAccessViaI2cHwa::target(unsigned int slotId, ErrorData& err) const {
  KavPtr<I2cHwaInterface> engine;
  if (m_pI2cHwaInterfaceLink != nullptr) engine = m_pI2cHwaInterfaceLink->getLinkTarget();
  if (engine == nullptr) {
    KAV_TRACE(KAVE, "I2cAccessViaI2cHwa: link without target slot=0x%08X", slotId);
    err = kNoTarget;
  }
  return engine;
}

ErrorData I2cAccessViaI2cHwa::read(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset,
                                   unsigned char* data, unsigned int& len) const {
  ErrorData err;
  KavPtr<I2cHwaInterface> engine = target(slotId, err);
  if (engine == nullptr) return err;
  return engine->read(info, offset, data, len);
}

ErrorData I2cAccessViaI2cHwa::write(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset,
                                    const unsigned char* data, unsigned int len) const {
  ErrorData err;
  KavPtr<I2cHwaInterface> engine = target(slotId, err);
  if (engine == nullptr) return err;
  return engine->write(info, offset, data, len);
}

ErrorData I2cAccessViaI2cHwa::resetIrq(unsigned int slotId, const i2c::i2cInfo_s& info, unsigned int offset,
                                       const unsigned char* data, unsigned int len) const {
  ErrorData err;
  KavPtr<I2cHwaInterface> engine = target(slotId, err);
  if (engine == nullptr) return err;
  return engine->resetIrq(info, offset, data, len);
}

unsigned int I2cAccessViaI2cHwa::getHwaSlotId() const {
  if (m_pI2cHwaInterfaceLink == nullptr) return 0;
  KavPtr<I2cHwaInterface> engine = m_pI2cHwaInterfaceLink->getLinkTarget();
  return engine == nullptr ? 0u : engine->getSlotId();
}
