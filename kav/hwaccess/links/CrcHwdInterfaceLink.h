// The link to a clock-redundancy chip (CrcHwdInterface).
#ifndef KAV_HWACCESS_CRCHWDINTERFACELINK_H
#define KAV_HWACCESS_CRCHWDINTERFACELINK_H

#include "kav/clockchips/CrcHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT CrcHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(CrcHwdInterfaceLink)

 public:
  CrcHwdInterfaceLink();
  ~CrcHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<CrcHwdInterface> getLinkTarget() const;

 private:
  KavPtr<CrcHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createCrcHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
