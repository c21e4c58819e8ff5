#include "kav/hwaccess/fsi/FsiEngineInfo.h"

#include "kav/tree/config/StringToId.h"

FsiEngineInfo::FsiEngineInfo()
    : m_hwaId(0xFFFFFFFFu), m_physLinkNumber(0xFFFFFFFFu), m_physCascadeId(0xFFFFFFFFu),
      m_physEngineNumber(0xFFFFFFFFu) {}

FsiEngineInfo::FsiEngineInfo(const EngineInfo& info, unsigned int hwaId, unsigned int physLinkNumber,
                             unsigned int physCascadeId, unsigned int physEngineNumber)
    : EngineInfo(info), m_hwaId(hwaId), m_physLinkNumber(physLinkNumber), m_physCascadeId(physCascadeId),
      m_physEngineNumber(physEngineNumber) {}

FsiEngineInfo::~FsiEngineInfo() {}

unsigned int FsiEngineInfo::getEngineInstanceNameStringId() const {
  return get_engine_instance_name_id(getEngineTypeStringId(), m_hwaId, getLogicalEngineId());
}

std::string FsiEngineInfo::getStringPath() const {
  return "PhysLinkNumber=" + std::to_string(m_physLinkNumber) + ", PhysCascadeId=" +
         std::to_string(m_physCascadeId) + ", PhysEngineNumber=" + std::to_string(m_physEngineNumber);
}
