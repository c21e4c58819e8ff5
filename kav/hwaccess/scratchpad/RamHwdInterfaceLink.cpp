#include "kav/hwaccess/scratchpad/RamHwdInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(RamHwdInterfaceLink, LinkBase)

RamHwdInterfaceLink::RamHwdInterfaceLink() {}

RamHwdInterfaceLink::~RamHwdInterfaceLink() {}

bool RamHwdInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<RamHwdInterface> target = findTarget<RamHwdInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<RamHwdInterface> RamHwdInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createRamHwdInterfaceLink(void*, BaseErrorData&) {
  RamHwdInterfaceLink* link = new RamHwdInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
