#include "kav/clockchips/OutputControlHwrCrc.h"

#include "kav/hwaccess/links/LinkCallBack.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrCrc, OutputControlHwrInterface)

namespace {
const unsigned int kNoChipLink = 0x7371;
}  // namespace

OutputControlHwrCrc::OutputControlHwrCrc()
    : m_outputMask(0), m_status(STATUS_NEVER_SWITCHED), m_callBackRegistered(false) {}

OutputControlHwrCrc::~OutputControlHwrCrc() {}

BaseErrorData OutputControlHwrCrc::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = OutputControlHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) rc = getAttributeUint32(&m_outputMask, kav::sid::OUTPUT_MASK, *node, false);
  return rc;
}

BaseErrorData OutputControlHwrCrc::init(initSequence::Id_t step) {
  BaseErrorData rc = OutputControlHwrInterface::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    unsigned int count = 0;
    KavPtr<CrcHwdInterfaceLink> link = singleHiddenChild<CrcHwdInterfaceLink>(*this, count);
    {
      IFOSGuard<const QueryBase> guard(*this);
      m_crcHwdLink = link;
    }
    if (link == nullptr) {
      KAV_TRACE(KAVE, "OutputControlHwrCrc::init no single chip link slot=0x%08X count=%u", getSlotId(), count);
      rc = kNoChipLink;
      return rc;
    }
    registerLinkCallBack();
  } else if (step == initSequence::INIT_CONFIG_DIO) {
    // The link takes its own step 3 after this object: only now does it know
    // whether it is dynamic.
    registerLinkCallBack();
  }
  return rc;
}

void OutputControlHwrCrc::registerLinkCallBack() {
  KavPtr<CrcHwdInterfaceLink> link;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_callBackRegistered) return;
    link = m_crcHwdLink;
  }
  if (link == nullptr || !link->isDynamicLink()) return;
  LinkCallBack<OutputControlHwrCrc> callBack(this, &OutputControlHwrCrc::hwdLinkChanged);
  const bool stored = link->registerCallBack(callBack);
  IFOSGuard<const QueryBase> guard(*this);
  m_callBackRegistered = stored;
}

BaseErrorData OutputControlHwrCrc::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    KavPtr<CrcHwdInterfaceLink> link;
    {
      IFOSGuard<const QueryBase> guard(*this);
      link = m_crcHwdLink;
      m_crcHwdLink = KavPtr<CrcHwdInterfaceLink>();
      m_callBackRegistered = false;
    }
    if (link != nullptr && link->isDynamicLink()) link->deleteCallBack();
  }
  return OutputControlHwrInterface::terminate(step);
}

OutputControlHwrCrc::Status_t OutputControlHwrCrc::getStatus() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_status;
}

ErrorData OutputControlHwrCrc::apply(Status_t status) {
  IFOSGuard<const QueryBase> guard(*this);
  m_status = status;
  KavPtr<CrcHwdInterface> chip = m_crcHwdLink == nullptr ? KavPtr<CrcHwdInterface>() : m_crcHwdLink->getLinkTarget();
  if (chip == nullptr) {
    KAV_TRACE(KAVT, "OutputControlHwrCrc: no chip, status %u kept slot=0x%08X", static_cast<unsigned int>(status),
              getSlotId());
    return ErrorData();
  }
  return chip->writeOutputControl(status == STATUS_ENABLED ? m_outputMask : 0, m_outputMask);
}

ErrorData OutputControlHwrCrc::enableOutput() { return apply(STATUS_ENABLED); }

ErrorData OutputControlHwrCrc::disableOutput() { return apply(STATUS_DISABLED); }

void OutputControlHwrCrc::hwdLinkChanged() {
  Status_t status = getStatus();
  if (status == STATUS_NEVER_SWITCHED) return;
  const ErrorData rc = apply(status);
  KAV_TRACE(KAVT, "OutputControlHwrCrc::hwdLinkChanged status=%u rc=0x%08X", static_cast<unsigned int>(status),
            rc.getRc());
}

BuildBase* createOutputControlHwrCrc(void*, BaseErrorData&) {
  return (new OutputControlHwrCrc())->getBuildInterface();
}
