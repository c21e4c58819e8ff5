#include "kav/cards/PlugDetectHwrIp.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(PlugDetectHwrIp, PlugDetectHwrInterface)

PlugDetectHwrIp::PlugDetectHwrIp() : m_plugState(UNPLUGGED), m_plugArmed(0) {}

PlugDetectHwrIp::~PlugDetectHwrIp() {}

BaseErrorData PlugDetectHwrIp::enablePlug() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_plugArmed == 0) {
    m_plugArmed = 1;
    if (m_plugState == PLUGGED) sendPlugEvent();
  }
  return BaseErrorData();
}

BaseErrorData PlugDetectHwrIp::enableUnplug() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_plugArmed == 1) {
    m_plugArmed = 0;
    if (m_plugState == UNPLUGGED) sendUnplugEvent();
  }
  return BaseErrorData();
}

BaseErrorData PlugDetectHwrIp::readPlugState(plugState_t& state) const {
  IFOSGuard<const QueryBase> guard(*this);
  state = m_plugState;
  return BaseErrorData();
}

BaseErrorData PlugDetectHwrIp::setPlugState(plugState_t state) {
  IFOSGuard<const QueryBase> guard(*this);
  KAV_TRACE(KAVT, "PlugDetectHwrIp::setPlugState slot=0x%08X id=%u state=%u old=%u armed=%u", getSlotId(),
            getPlugDetectId(), state, m_plugState, m_plugArmed);
  if (state == m_plugState) return BaseErrorData();
  m_plugState = state;
  if (state == PLUGGED && m_plugArmed == 1) {
    sendPlugEvent();
  } else if (state == UNPLUGGED && m_plugArmed == 0) {
    sendUnplugEvent();
  }
  return BaseErrorData();
}

bool PlugDetectHwrIp::isWaitingForPlug() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_plugArmed == 1;
}

BuildBase* createPlugDetectHwrIp(void*, BaseErrorData&) { return (new PlugDetectHwrIp())->getBuildInterface(); }
