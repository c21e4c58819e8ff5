#include "kav/hwaccess/pld/PldHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(PldHwdInterfaceLink, LinkBase)

PldHwdInterfaceLink::PldHwdInterfaceLink() {}

PldHwdInterfaceLink::~PldHwdInterfaceLink() {}

bool PldHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PldHwdInterface> target = findTarget<PldHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<PldHwdInterface> PldHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createPldHwdInterfaceLink(void*, BaseErrorData&) {
  PldHwdInterfaceLink* link = new PldHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
