// The link to a digital I/O device (DioHwdInterface).
#ifndef KAV_HWACCESS_DIOHWDINTERFACELINK_H
#define KAV_HWACCESS_DIOHWDINTERFACELINK_H

#include "kav/hwaccess/dio/DioHwdInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT DioHwdInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(DioHwdInterfaceLink)

 public:
  DioHwdInterfaceLink();
  ~DioHwdInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<DioHwdInterface> getLinkTarget() const;

 private:
  KavPtr<DioHwdInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createDioHwdInterfaceLink(void* argument, BaseErrorData& rc);

#endif
