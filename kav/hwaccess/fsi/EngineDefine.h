// One engine a card type's hardware-access configuration asks for: the
// engine type (attribute "engineType", a type name) and the logical engine
// id (attribute "logicalEngineId").
#ifndef KAV_HWACCESS_ENGINEDEFINE_H
#define KAV_HWACCESS_ENGINEDEFINE_H

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT EngineDefine : public QueryBase {
  KAV_TREE_CLASS(EngineDefine)

 public:
  EngineDefine();
  ~EngineDefine() override;

  // A type name that names no engine type gives 0x7013.
  BaseErrorData setAttributes(const AttributeInfo& info) override;

  EngineInfo getEngineInfo() const { return EngineInfo(m_engineType, m_logicalEngineId); }

 private:
  EngineInfo::engineType_t m_engineType;
  unsigned int m_logicalEngineId;
};

extern "C" KAV_EXPORT BuildBase* createEngineDefine(void* argument, BaseErrorData& rc);

#endif
