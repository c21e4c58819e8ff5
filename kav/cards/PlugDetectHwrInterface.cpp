#include "kav/cards/PlugDetectHwrInterface.h"

#include "kav/events/PlugEvent.h"
#include "kav/events/PlugEventSender.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(PlugDetectHwrInterface, AtomicBase)

PlugDetectHwrInterface::PlugDetectHwrInterface() : m_plugDetectId(0) {}

PlugDetectHwrInterface::~PlugDetectHwrInterface() {}

BaseErrorData PlugDetectHwrInterface::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  if (info.getLocalAttributes() != nullptr) {
    rc = getAttributeUint32(&m_plugDetectId, kav::sid::PLUG_DETECT_ID, *info.getLocalAttributes(), false);
  }
  return rc;
}

BaseErrorData PlugDetectHwrInterface::getRptData(rpt::LinkInfo_t& info) {
  info.slotId = getSlotId();
  info.plugDetectId = m_plugDetectId;
  return BaseErrorData();
}

void PlugDetectHwrInterface::sendPlugEvent() {
  PlugEvent event(getSlotId(), m_plugDetectId, PlugEvent::PLUG);
  KAV_TRACE(KAVT, "PlugDetectHwr plug event slot=0x%08X id=%u", getSlotId(), m_plugDetectId);
  PlugEventSender::getInstance()->sendEvent(event);
}

void PlugDetectHwrInterface::sendUnplugEvent() {
  PlugEvent event(getSlotId(), m_plugDetectId, PlugEvent::UNPLUG);
  KAV_TRACE(KAVT, "PlugDetectHwr unplug event slot=0x%08X id=%u", getSlotId(), m_plugDetectId);
  PlugEventSender::getInstance()->sendEvent(event);
}
