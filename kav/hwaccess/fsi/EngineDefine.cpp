#include "kav/hwaccess/fsi/EngineDefine.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(EngineDefine, QueryBase)

namespace {
const unsigned int kUnknownEngineType = 0x7013u;
}

EngineDefine::EngineDefine() : m_engineType(EngineInfo::ENGINE_NONE), m_logicalEngineId(0) {}

EngineDefine::~EngineDefine() {}

BaseErrorData EngineDefine::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) return rc;
  unsigned int typeName = 0;
  rc = getAttributeStringId(&typeName, kav::sid::ENGINE_TYPE, *local, false);
  m_engineType = convertStringIdToEngineType(typeName);
  if (m_engineType == EngineInfo::ENGINE_NONE) {
    KAV_TRACE_STR(KAVE, "EngineDefine: unknown engine type %s", get_string_by_id(typeName));
    rc = kUnknownEngineType;
  }
  rc = getAttributeUint32(&m_logicalEngineId, kav::sid::LOGICAL_ENGINE_ID, *local, false);
  return rc;
}

BuildBase* createEngineDefine(void*, BaseErrorData&) {
  EngineDefine* define = new EngineDefine();
  return define == nullptr ? nullptr : define->getBuildInterface();
}
