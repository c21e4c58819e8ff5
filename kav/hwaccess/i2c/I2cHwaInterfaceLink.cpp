#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(I2cHwaInterfaceLink, LinkBase)

I2cHwaInterfaceLink::I2cHwaInterfaceLink() {}

I2cHwaInterfaceLink::~I2cHwaInterfaceLink() {}

bool I2cHwaInterfaceLink::updateLinkTarget() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<I2cHwaInterface> target = findTarget<I2cHwaInterface>();
  const bool changed = target != m_target;
  m_target = target;
  return changed;
}

KavPtr<I2cHwaInterface> I2cHwaInterfaceLink::getLinkTarget() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_target;
}

BuildBase* createI2cHwaInterfaceLink(void*, BaseErrorData&) {
  I2cHwaInterfaceLink* link = new I2cHwaInterfaceLink();
  return link == nullptr ? nullptr : link->getBuildInterface();
}
