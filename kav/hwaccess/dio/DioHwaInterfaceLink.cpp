#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(DioHwaInterfaceLink, LinkBase)

DioHwaInterfaceLink::DioHwaInterfaceLink() {}

DioHwaInterfaceLink::~DioHwaInterfaceLink() {}

bool DioHwaInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<DioHwaInterface> target = findTarget<DioHwaInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<DioHwaInterface> DioHwaInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createDioHwaInterfaceLink(void*, BaseErrorData&) {
  DioHwaInterfaceLink* link = new DioHwaInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
