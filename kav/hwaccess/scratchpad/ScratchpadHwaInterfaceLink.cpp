#include "kav/hwaccess/scratchpad/ScratchpadHwaInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(ScratchpadHwaInterfaceLink, LinkBase)

ScratchpadHwaInterfaceLink::ScratchpadHwaInterfaceLink() {}

ScratchpadHwaInterfaceLink::~ScratchpadHwaInterfaceLink() {}

bool ScratchpadHwaInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<ScratchpadHwaInterface> target = findTarget<ScratchpadHwaInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<ScratchpadHwaInterface> ScratchpadHwaInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createScratchpadHwaInterfaceLink(void*, BaseErrorData&) {
  ScratchpadHwaInterfaceLink* link = new ScratchpadHwaInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
