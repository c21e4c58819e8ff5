#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(CrcHwdInterfaceLink, LinkBase)

CrcHwdInterfaceLink::CrcHwdInterfaceLink() {}

CrcHwdInterfaceLink::~CrcHwdInterfaceLink() {}

bool CrcHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<CrcHwdInterface> target = findTarget<CrcHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<CrcHwdInterface> CrcHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createCrcHwdInterfaceLink(void*, BaseErrorData&) {
  CrcHwdInterfaceLink* link = new CrcHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
