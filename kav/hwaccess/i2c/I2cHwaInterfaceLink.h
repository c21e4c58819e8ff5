// The link to an I2C engine (I2cHwaInterface).
#ifndef KAV_HWACCESS_I2CHWAINTERFACELINK_H
#define KAV_HWACCESS_I2CHWAINTERFACELINK_H

#include "kav/hwaccess/i2c/I2cHwaInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT I2cHwaInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(I2cHwaInterfaceLink)

 public:
  I2cHwaInterfaceLink();
  ~I2cHwaInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<I2cHwaInterface> getLinkTarget() const;

 private:
  KavPtr<I2cHwaInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createI2cHwaInterfaceLink(void* argument, BaseErrorData& rc);

#endif
