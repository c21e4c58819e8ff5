#include "kav/clockchips/OutputControlHwrFanoutBuffer.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrFanoutBuffer, OutputControlHwrInterface)

namespace {
const unsigned int kNoDeviceLink = 0x7373;
}  // namespace

OutputControlHwrFanoutBuffer::OutputControlHwrFanoutBuffer() : m_outputMask(0) {}

OutputControlHwrFanoutBuffer::~OutputControlHwrFanoutBuffer() {}

BaseErrorData OutputControlHwrFanoutBuffer::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = OutputControlHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) rc = getAttributeUint32(&m_outputMask, kav::sid::OUTPUT_MASK, *node, false);
  return rc;
}

BaseErrorData OutputControlHwrFanoutBuffer::init(initSequence::Id_t step) {
  BaseErrorData rc = OutputControlHwrInterface::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int count = 0;
  KavPtr<FanoutBufferHwdInterfaceLink> link = singleHiddenChild<FanoutBufferHwdInterfaceLink>(*this, count);
  IFOSGuard<const QueryBase> guard(*this);
  m_fanoutBufferHwdLink = link;
  if (link == nullptr) {
    KAV_TRACE(KAVE, "OutputControlHwrFanoutBuffer::init no single buffer link slot=0x%08X count=%u", getSlotId(),
              count);
    rc = kNoDeviceLink;
  }
  return rc;
}

BaseErrorData OutputControlHwrFanoutBuffer::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_fanoutBufferHwdLink = KavPtr<FanoutBufferHwdInterfaceLink>();
  }
  return OutputControlHwrInterface::terminate(step);
}

ErrorData OutputControlHwrFanoutBuffer::write(unsigned int value) {
  KavPtr<FanoutBufferHwdInterface> buffer;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_fanoutBufferHwdLink != nullptr) buffer = m_fanoutBufferHwdLink->getLinkTarget();
  }
  if (buffer == nullptr) {
    KAV_TRACE(KAVT, "OutputControlHwrFanoutBuffer: no buffer, value 0x%X not written slot=0x%08X", value, getSlotId());
    return ErrorData();
  }
  return buffer->writeOutputControl(value, m_outputMask);
}

ErrorData OutputControlHwrFanoutBuffer::enableOutput() { return write(m_outputMask); }

ErrorData OutputControlHwrFanoutBuffer::disableOutput() { return write(0); }

BuildBase* createOutputControlHwrFanoutBuffer(void*, BaseErrorData&) {
  return (new OutputControlHwrFanoutBuffer())->getBuildInterface();
}
