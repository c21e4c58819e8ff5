// The link to a scratchpad engine (ScratchpadHwaInterface).
#ifndef KAV_HWACCESS_SCRATCHPADHWAINTERFACELINK_H
#define KAV_HWACCESS_SCRATCHPADHWAINTERFACELINK_H

#include "kav/hwaccess/ScratchpadHwaInterface.h"
#include "kav/hwaccess/LinkBase.h"
#include "kav/tree/KavExport.h"
#include "kav/tree/KavPtr.h"
#include "kav/tree/TreeClassMacros.h"

class KAV_EXPORT ScratchpadHwaInterfaceLink : public LinkBase {
  KAV_TREE_CLASS(ScratchpadHwaInterfaceLink)

 public:
  ScratchpadHwaInterfaceLink();
  ~ScratchpadHwaInterfaceLink() override;

  bool updateLinkTarget() override;
  KavPtr<ScratchpadHwaInterface> getLinkTarget() const;

 private:
  KavPtr<ScratchpadHwaInterface> m_target;
};

extern "C" KAV_EXPORT BuildBase* createScratchpadHwaInterfaceLink(void* argument, BaseErrorData& rc);

#endif
