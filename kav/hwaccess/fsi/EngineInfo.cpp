#include "kav/hwaccess/fsi/EngineInfo.h"

#include <cstddef>

#include "kav/tree/config/StringIds.h"

namespace {

struct TypeName {
  EngineInfo::engineType_t type;
  unsigned int stringId;
};

const TypeName kTypeNames[] = {
    {EngineInfo::ENGINE_NONE, kav::sid::ENGINE_TYPE_NONE},
    {EngineInfo::ENGINE_DIO, kav::sid::ENGINE_TYPE_DIO},
    {EngineInfo::ENGINE_I2C, kav::sid::ENGINE_TYPE_I2C},
    {EngineInfo::ENGINE_SCRATCHPAD, kav::sid::ENGINE_TYPE_SCRATCHPAD},
    {EngineInfo::ENGINE_IOMUX, kav::sid::ENGINE_TYPE_IOMUX},
    {EngineInfo::ENGINE_TYPE_5, kav::sid::ENGINE_TYPE_5},
    {EngineInfo::ENGINE_TYPE_6, kav::sid::ENGINE_TYPE_6},
    {EngineInfo::ENGINE_TYPE_7, kav::sid::ENGINE_TYPE_7},
    {EngineInfo::ENGINE_TYPE_8, kav::sid::ENGINE_TYPE_8},
    {EngineInfo::ENGINE_TYPE_9, kav::sid::ENGINE_TYPE_9},
    {EngineInfo::ENGINE_TYPE_10, kav::sid::ENGINE_TYPE_10},
    {EngineInfo::ENGINE_TYPE_11, kav::sid::ENGINE_TYPE_11},
    {EngineInfo::ENGINE_TYPE_12, kav::sid::ENGINE_TYPE_12},
    {EngineInfo::ENGINE_TYPE_13, kav::sid::ENGINE_TYPE_13},
};

}  // namespace

EngineInfo::EngineInfo() : m_engineType(ENGINE_NONE), m_logicalEngineId(0) {}

EngineInfo::EngineInfo(engineType_t type, unsigned int logicalEngineId)
    : m_engineType(type), m_logicalEngineId(logicalEngineId) {}

EngineInfo::~EngineInfo() {}

unsigned int EngineInfo::getEngineTypeStringId() const { return convertEngineTypeToStringId(m_engineType); }

bool EngineInfo::operator<(const EngineInfo& other) const {
  if (static_cast<int>(m_engineType) != static_cast<int>(other.m_engineType))
    return static_cast<int>(m_engineType) < static_cast<int>(other.m_engineType);
  return m_logicalEngineId < other.m_logicalEngineId;
}

bool EngineInfo::operator==(const EngineInfo& other) const {
  return m_engineType == other.m_engineType && m_logicalEngineId == other.m_logicalEngineId;
}

unsigned int convertEngineTypeToStringId(EngineInfo::engineType_t type) {
  for (const TypeName& t : kTypeNames)
    if (t.type == type) return t.stringId;
  return kav::sid::ENGINE_TYPE_UNKNOWN;
}

EngineInfo::engineType_t convertStringIdToEngineType(unsigned int stringId) {
  for (const TypeName& t : kTypeNames)
    if (t.stringId == stringId) return t.type;
  return EngineInfo::ENGINE_NONE;
}
