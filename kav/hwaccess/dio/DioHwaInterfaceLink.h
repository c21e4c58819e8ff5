// The link to a digital I/O engine (DioHwaInterface).
#ifndef KAV_HWACCESS_DIOHWAINTERFACELINK_H
#define KAV_HWACCESS_DIOHWAINTERFACELINK_H

#include "kav/hwaccess/dio/DioHwaInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT DioHwaInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(DioHwaInterfaceLink)

 public:
  DioHwaInterfaceLink();
  ~DioHwaInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<DioHwaInterface> getLinkTarget() const;

 private:
  KavPtr<DioHwaInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createDioHwaInterfaceLink(void* argument, BaseErrorData& rc);

#endif
