#include "kav/hwaccess/scratchpad/RamLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(RamLink, LinkBase)

RamLink::RamLink() {}

RamLink::~RamLink() {}

bool RamLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<Ram> target = findTarget<Ram>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<Ram> RamLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createRamLink(void*, BaseErrorData&) {
  RamLink* link = new RamLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
