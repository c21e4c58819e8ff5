// The link to a scratchpad engine (ScratchpadHwaInterface).
#ifndef KAV_HWACCESS_SCRATCHPADHWAINTERFACELINK_H
#define KAV_HWACCESS_SCRATCHPADHWAINTERFACELINK_H

#include "kav/hwaccess/scratchpad/ScratchpadHwaInterface.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

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
