#include "kav/hwaccess/links/DynamicLinkInfo.h"

#include "kav/events/ConfigChangeEventSender.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/hwaccess/links/LinkCallBackBase.h"
#include "kav/runtime/KavTrace.h"

DynamicLinkInfo::DynamicLinkInfo(LinkBase* owner, unsigned int slotId)
    : m_pOwner(owner), m_slotId(slotId), m_configRegistration(NOT_REGISTERED),
      m_unconfigRegistration(NOT_REGISTERED), m_pCallBack(nullptr) {}

DynamicLinkInfo::~DynamicLinkInfo() {
  deregisterEvents();
  deleteCallBack();
}

ErrorData DynamicLinkInfo::registerEvents() {
  ErrorData rc;
  if (m_pOwner == nullptr) {
    rc = 0x7000u;
    return rc;
  }
  EventSource<ConfigChangeEvent>* source = ConfigChangeEventSender::getInstance()->getEventSource();
  typedef void (LinkBase::*Handler_t)(const ConfigChangeEvent&);
  const Handler_t onConfig = &LinkBase::handleConfigEvent;
  const Handler_t onUnconfig = &LinkBase::handleUnconfigEvent;
  if (m_configRegistration == NOT_REGISTERED) {
    ConfigChangeEvent::EventType_s configured{m_slotId, ConfigChangeEvent::CONFIGURED};
    long id = registerForEvent<ConfigChangeEvent, LinkBase>(source, &m_router, configured, m_pOwner, onConfig, false);
    if (id >= 0) m_configRegistration = id;
  }
  if (m_unconfigRegistration == NOT_REGISTERED) {
    ConfigChangeEvent::EventType_s unconfigured{m_slotId, ConfigChangeEvent::UNCONFIGURED};
    long id =
        registerForEvent<ConfigChangeEvent, LinkBase>(source, &m_router, unconfigured, m_pOwner, onUnconfig, false);
    if (id >= 0) m_unconfigRegistration = id;
  }
  if (m_configRegistration == NOT_REGISTERED || m_unconfigRegistration == NOT_REGISTERED) {
    KAV_TRACE(KAVE, "DynamicLinkInfo::registerEvents failed slot=0x%08X", m_slotId);
    rc = 0x7000u;
  }
  return rc;
}

void DynamicLinkInfo::deregisterEvents() {
  if (m_configRegistration != NOT_REGISTERED) m_router.deregisterFromEvent(m_configRegistration);
  if (m_unconfigRegistration != NOT_REGISTERED) m_router.deregisterFromEvent(m_unconfigRegistration);
  m_configRegistration = NOT_REGISTERED;
  m_unconfigRegistration = NOT_REGISTERED;
}

bool DynamicLinkInfo::registerCallBack(const LinkCallBackBase& callBack) {
  if (m_pCallBack != nullptr) return false;
  m_pCallBack = callBack.getCopy();
  return m_pCallBack != nullptr;
}

void DynamicLinkInfo::deleteCallBack() {
  delete m_pCallBack;
  m_pCallBack = nullptr;
}

void DynamicLinkInfo::valueChanged() const {
  if (m_pCallBack != nullptr) m_pCallBack->callBack();
}
