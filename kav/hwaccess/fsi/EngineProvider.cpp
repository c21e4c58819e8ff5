#include "kav/hwaccess/fsi/EngineProvider.h"

#include "kav/hwaccess/fsi/EngineDefine.h"

KAV_TREE_CLASS_IMPL(EngineProvider, AtomicBase)

EngineProvider::EngineProvider() {}

EngineProvider::~EngineProvider() {}

BaseErrorData EngineProvider::addChild(KavPtr<QueryBase> child) {
  if (child != nullptr && child->isInstanceOf(EngineDefine::staticGetClassId())) child->setHidden(true);
  return AtomicBase::addChild(child);
}

void EngineProvider::getEngineConfig(kavstl::set<EngineInfo>& engines) const {
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(EngineDefine::staticGetClassId())) continue;
    engines.insert(static_cast<const EngineDefine*>(child.getRawPointer())->getEngineInfo());
  }
}

BuildBase* createEngineProvider(void*, BaseErrorData&) {
  EngineProvider* provider = new EngineProvider();
  return provider == nullptr ? nullptr : provider->getBuildInterface();
}
