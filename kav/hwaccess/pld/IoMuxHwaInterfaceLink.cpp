#include "kav/hwaccess/pld/IoMuxHwaInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(IoMuxHwaInterfaceLink, LinkBase)

IoMuxHwaInterfaceLink::IoMuxHwaInterfaceLink() {}

IoMuxHwaInterfaceLink::~IoMuxHwaInterfaceLink() {}

bool IoMuxHwaInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<IoMuxHwaInterface> target = findTarget<IoMuxHwaInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<IoMuxHwaInterface> IoMuxHwaInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createIoMuxHwaInterfaceLink(void*, BaseErrorData&) {
  IoMuxHwaInterfaceLink* link = new IoMuxHwaInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
