// An engine with its place on the FSI: the owning factory's hardware-access
// id and the physical link, cascade and engine number. Engine objects are
// constructed from one and take their instance name from it.
#ifndef KAV_HWACCESS_FSIENGINEINFO_H
#define KAV_HWACCESS_FSIENGINEINFO_H

#include <string>

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT FsiEngineInfo : public EngineInfo {
 public:
  FsiEngineInfo();
  FsiEngineInfo(const EngineInfo& info, unsigned int hwaId, unsigned int physLinkNumber, unsigned int physCascadeId,
                unsigned int physEngineNumber);
  ~FsiEngineInfo() override;
  FsiEngineInfo(const FsiEngineInfo&) = default;
  FsiEngineInfo& operator=(const FsiEngineInfo&) = default;

  unsigned int getHwaId() const { return m_hwaId; }
  unsigned int getPhysLinkNumber() const { return m_physLinkNumber; }
  unsigned int getPhysCascadeId() const { return m_physCascadeId; }
  unsigned int getPhysEngineNumber() const { return m_physEngineNumber; }

  // Id of <type name>-Link_<hardware-access id>-Engine_<logical id>.
  unsigned int getEngineInstanceNameStringId() const;
  // "PhysLinkNumber=<link>, PhysCascadeId=<cascade>, PhysEngineNumber=<engine>".
  std::string getStringPath() const;

  // By physical engine number alone.
  bool operator<(const FsiEngineInfo& other) const { return m_physEngineNumber < other.m_physEngineNumber; }

 private:
  unsigned int m_hwaId;
  unsigned int m_physLinkNumber;
  unsigned int m_physCascadeId;
  unsigned int m_physEngineNumber;
};

#endif
