// The link to a Ram (a memory with a table layout).
#ifndef KAV_HWACCESS_RAMLINK_H
#define KAV_HWACCESS_RAMLINK_H

#include "kav/hwaccess/links/LinkBase.h"
#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT RamLink : public LinkBase {
  KAV_TREE_CLASS(RamLink)

 public:
  RamLink();
  ~RamLink() override;

  bool updateLinkTarget() override;
  KavPtr<Ram> getLinkTarget() const;

 private:
  KavPtr<Ram> m_target;
};

extern "C" KAV_EXPORT BuildBase* createRamLink(void* argument, BaseErrorData& rc);

#endif
