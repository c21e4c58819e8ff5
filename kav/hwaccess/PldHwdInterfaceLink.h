// The link to a programmable-logic device (PldHwdInterface).
#ifndef KAV_HWACCESS_PLDHWDINTERFACELINK_H
#define KAV_HWACCESS_PLDHWDINTERFACELINK_H

#include "kav/hwaccess/PldHwdInterface.h"
#include "kav/hwaccess/LinkBase.h"
#include "kav/tree/KavExport.h"
#include "kav/tree/KavPtr.h"
#include "kav/tree/TreeClassMacros.h"

class KAV_EXPORT PldHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(PldHwdInterfaceLink)

 public:
  PldHwdInterfaceLink();
  ~PldHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<PldHwdInterface> getLinkTarget() const;

 private:
  KavPtr<PldHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createPldHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
