// The link to an I/O multiplexer engine (IoMuxHwaInterface).
#ifndef KAV_HWACCESS_IOMUXHWAINTERFACELINK_H
#define KAV_HWACCESS_IOMUXHWAINTERFACELINK_H

#include "kav/hwaccess/pld/IoMuxHwaInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT IoMuxHwaInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(IoMuxHwaInterfaceLink)

 public:
  IoMuxHwaInterfaceLink();
  ~IoMuxHwaInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<IoMuxHwaInterface> getLinkTarget() const;

 private:
  KavPtr<IoMuxHwaInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createIoMuxHwaInterfaceLink(void* argument, BaseErrorData& rc);

#endif
