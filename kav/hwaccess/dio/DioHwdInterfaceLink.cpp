#include "kav/hwaccess/dio/DioHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(DioHwdInterfaceLink, LinkBase)

DioHwdInterfaceLink::DioHwdInterfaceLink() {}

DioHwdInterfaceLink::~DioHwdInterfaceLink() {}

bool DioHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<DioHwdInterface> target = findTarget<DioHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<DioHwdInterface> DioHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createDioHwdInterfaceLink(void*, BaseErrorData&) {
  DioHwdInterfaceLink* link = new DioHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
