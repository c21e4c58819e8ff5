#include "kav/hwaccess/links/PllHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(PllHwdInterfaceLink, LinkBase)

PllHwdInterfaceLink::PllHwdInterfaceLink() {}

PllHwdInterfaceLink::~PllHwdInterfaceLink() {}

bool PllHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> target = findTarget<PllHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<PllHwdInterface> PllHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createPllHwdInterfaceLink(void*, BaseErrorData&) {
  PllHwdInterfaceLink* link = new PllHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
