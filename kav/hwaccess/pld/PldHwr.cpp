#include "kav/hwaccess/pld/PldHwr.h"

#include <cstdio>

#include "kav/hwaccess/pld/PldHwdInterfaceLink.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/DeviceErrorLog.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(PldHwr, PldHwrInterface)

namespace {
const unsigned int kInvalidDefault = 0x716Du;
const unsigned int kNoDevice = 0x7364u;
const unsigned int kNoDeviceLink = 0x7365u;
const unsigned int kMissingAttribute = 0x7145u;
}  // namespace

PldHwr::PldHwr()
    : m_pldId(0xFFFFFFFFu),
      m_logicalId(0xFFFFFFFFu),
      m_defaultValue(kavPld::LOOKUP_CONTROL_NONE),
      m_errorLogged(false) {}

PldHwr::~PldHwr() {}

BaseErrorData PldHwr::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = PldHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeUint32(&m_pldId, kav::sid::PLD_ID, *node, false);
  unsigned int logicalId = 0;
  BaseErrorData optional = getAttributeUint32(&logicalId, kav::sid::DIO_LOGICAL_ID, *node, true);
  if (optional == 0) {
    m_logicalId = logicalId;
  } else if (optional != kMissingAttribute) {
    rc = optional;
  }
  unsigned int id = 0;
  BaseErrorData read = getAttributeStringId(&id, kav::sid::PLD_DEFAULT_VALUE, *node, false);
  if (read != 0) {
    rc = read;
  } else if (!kavPld::fromStringId(id, m_defaultValue)) {
    KAV_TRACE_STR(KAVE, "PldHwr default value %s is no control slot=0x%08X pld=%u", get_string_by_id(id), getSlotId(),
                  m_pldId);
    rc = kInvalidDefault;
  }
  return rc;
}

BaseErrorData PldHwr::init(initSequence::Id_t step) {
  BaseErrorData rc = PldHwrInterface::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    unsigned int count = 0;
    KavPtr<PldHwdInterfaceLink> link = singleHiddenChild<PldHwdInterfaceLink>(*this, count);
    if (link == nullptr) {
      KAV_TRACE(KAVE, "PldHwr::init pld %u no single device link count=%u slot=0x%08X", m_pldId, count, getSlotId());
      rc = kNoDeviceLink;
      return rc;
    }
    IFOSGuard<const QueryBase> guard(*this);
    m_pldHwdLink = link;
  } else if (step == initSequence::INIT_DEACTIVATED_HW) {
    rc = initialize();
  }
  return rc;
}

BaseErrorData PldHwr::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pldHwdLink = nullptr;
  }
  return PldHwrInterface::terminate(step);
}

void PldHwr::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    os << "<class className=\"PldHwr\">\n";
    os << "<parameter name=\"m_pldId\" value=\"" << m_pldId << "\"/>\n";
    os << "<parameter name=\"m_logicalId\" value=\"" << m_logicalId << "\"/>\n";
    os << "<parameter name=\"m_defaultValue\" value=\"" << kavPld::asString(m_defaultValue) << "\"/>\n";
    os << "<parameter name=\"m_errorLogged\" value=\"" << (m_errorLogged ? "true" : "false") << "\"/>\n";
    os << "</class>\n";
  }
  PldHwrInterface::dumpXml(os);
}

KavPtr<PldHwdInterface> PldHwr::device(ErrorData& err) const {
  KavPtr<PldHwdInterface> hwd;
  if (m_pldHwdLink != nullptr) hwd = m_pldHwdLink->getLinkTarget();
  if (hwd == nullptr) {
    KAV_TRACE(KAVE, "PldHwr slot=0x%08X pld %u without device", getSlotId(), m_pldId);
    err = kNoDevice;
  }
  return hwd;
}

ErrorData PldHwr::writeLookupTableControl(kavPld::LookupControl_t control) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  KavPtr<PldHwdInterface> hwd = device(err);
  if (hwd == nullptr) return err;
  err = hwd->writeLookupTableControl(m_pldId, control);
  KAV_TRACE(KAVT, "PldHwr::writeLookupTableControl slot=0x%08X pld %u control %u rc=0x%08X", getSlotId(), m_pldId,
            static_cast<unsigned int>(control), err.getRc());
  checkAndLogError(err);
  return err;
}

ErrorData PldHwr::readLookupTableControl(kavPld::LookupControl_t& control) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  KavPtr<PldHwdInterface> hwd = device(err);
  if (hwd == nullptr) return err;
  err = hwd->readLookupTableControl(m_pldId, control);
  checkAndLogError(err);
  return err;
}

ErrorData PldHwr::initialize() { return writeLookupTableControl(m_defaultValue); }

ErrorData PldHwr::unitTest() {
  ErrorData err;
  for (kavPld::LookupControl_t control :
       {kavPld::LOOKUP_CONTROL_2, kavPld::LOOKUP_CONTROL_3, kavPld::LOOKUP_CONTROL_1})
    err = writeLookupTableControl(control);
  kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_NONE;
  err = readLookupTableControl(control);
  KAV_TRACE_STR(KAVT, "PldHwr::unitTest reads %s pld=%u rc=0x%08X", kavPld::asString(control), m_pldId, err.getRc());
  return err;
}

void PldHwr::checkAndLogError(ErrorData& err) const {
  char text[32];
  std::snprintf(text, sizeof text, "pld id %u", m_pldId);
  if (logDeviceErrorOnce(err, m_errorLogged, text, getSlotId(), KavPtr<const QueryBase>(this)))
    KAV_TRACE(KAVE, "PldHwr pld %u logged error 0x%08X", m_pldId, err.getRc());
}

BuildBase* createPldHwr(void*, BaseErrorData&) { return (new PldHwr())->getBuildInterface(); }
