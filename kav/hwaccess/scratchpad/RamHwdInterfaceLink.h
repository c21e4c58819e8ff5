// The link to a memory device (RamHwdInterface).
#ifndef KAV_HWACCESS_RAMHWDINTERFACELINK_H
#define KAV_HWACCESS_RAMHWDINTERFACELINK_H

#include "kav/hwaccess/scratchpad/RamHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT RamHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(RamHwdInterfaceLink)

 public:
  RamHwdInterfaceLink();
  ~RamHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<RamHwdInterface> getLinkTarget() const;

 private:
  KavPtr<RamHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createRamHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
