// The link to a digital I/O device (DioHwdInterface).
#ifndef KAV_HWACCESS_DIOHWDINTERFACELINK_H
#define KAV_HWACCESS_DIOHWDINTERFACELINK_H

#include "kav/hwaccess/DioHwdInterface.h"
#include "kav/hwaccess/LinkBase.h"
#include "kav/tree/KavExport.h"
#include "kav/tree/KavPtr.h"
#include "kav/tree/TreeClassMacros.h"

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
