// The link to a fanout buffer (FanoutBufferHwdInterface).
#ifndef KAV_HWACCESS_FANOUTBUFFERHWDINTERFACELINK_H
#define KAV_HWACCESS_FANOUTBUFFERHWDINTERFACELINK_H

#include "kav/clockchips/FanoutBufferHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT FanoutBufferHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(FanoutBufferHwdInterfaceLink)

 public:
  FanoutBufferHwdInterfaceLink();
  ~FanoutBufferHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<FanoutBufferHwdInterface> getLinkTarget() const;

 private:
  KavPtr<FanoutBufferHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createFanoutBufferHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
