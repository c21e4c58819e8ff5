// The link to a programmable-logic device (PldHwdInterface).
#ifndef KAV_HWACCESS_PLDHWDINTERFACELINK_H
#define KAV_HWACCESS_PLDHWDINTERFACELINK_H

#include "kav/hwaccess/pld/PldHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

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
