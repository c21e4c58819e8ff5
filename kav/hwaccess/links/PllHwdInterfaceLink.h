// The link to a PLL chip (PllHwdInterface).
#ifndef KAV_HWACCESS_PLLHWDINTERFACELINK_H
#define KAV_HWACCESS_PLLHWDINTERFACELINK_H

#include "kav/clockchips/PllHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PllHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(PllHwdInterfaceLink)

 public:
  PllHwdInterfaceLink();
  ~PllHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<PllHwdInterface> getLinkTarget() const;

 private:
  KavPtr<PllHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createPllHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
