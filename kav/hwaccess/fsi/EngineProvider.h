// The list of engines of a card type's hardware-access configuration: its
// EngineDefine children, kept hidden.
#ifndef KAV_HWACCESS_ENGINEPROVIDER_H
#define KAV_HWACCESS_ENGINEPROVIDER_H

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT EngineProvider : public AtomicBase {
  KAV_TREE_CLASS(EngineProvider)

 public:
  EngineProvider();
  ~EngineProvider() override;

  // An EngineDefine child becomes a hidden child.
  BaseErrorData addChild(KavPtr<QueryBase> child) override;
  // Inserts the engine of every EngineDefine.
  void getEngineConfig(kavstl::set<EngineInfo>& engines) const;
};

extern "C" KAV_EXPORT BuildBase* createEngineProvider(void* argument, BaseErrorData& rc);

#endif
