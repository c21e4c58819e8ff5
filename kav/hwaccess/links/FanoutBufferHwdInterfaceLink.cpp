#include "kav/hwaccess/links/FanoutBufferHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(FanoutBufferHwdInterfaceLink, LinkBase)

FanoutBufferHwdInterfaceLink::FanoutBufferHwdInterfaceLink() {}

FanoutBufferHwdInterfaceLink::~FanoutBufferHwdInterfaceLink() {}

bool FanoutBufferHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<FanoutBufferHwdInterface> target = findTarget<FanoutBufferHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<FanoutBufferHwdInterface> FanoutBufferHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createFanoutBufferHwdInterfaceLink(void*, BaseErrorData&) {
  FanoutBufferHwdInterfaceLink* link = new FanoutBufferHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
