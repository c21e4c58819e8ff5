// The link to a digital I/O engine (DioHwaInterface).
#ifndef KAV_HWACCESS_DIOHWAINTERFACELINK_H
#define KAV_HWACCESS_DIOHWAINTERFACELINK_H

#include "kav/hwaccess/DioHwaInterface.h"
#include "kav/hwaccess/LinkBase.h"
#include "kav/tree/KavExport.h"
#include "kav/tree/KavPtr.h"
#include "kav/tree/TreeClassMacros.h"

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
