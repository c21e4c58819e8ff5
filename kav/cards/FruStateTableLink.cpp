#include "kav/cards/FruStateTableLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(FruStateTableLink, LinkBase)

FruStateTableLink::FruStateTableLink() {}

FruStateTableLink::~FruStateTableLink() {}

bool FruStateTableLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<FruStateTable> target = findTarget<FruStateTable>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<FruStateTable> FruStateTableLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createFruStateTableLink(void*, BaseErrorData&) {
  FruStateTableLink* link = new FruStateTableLink();
  return link->getBuildInterface();
}
