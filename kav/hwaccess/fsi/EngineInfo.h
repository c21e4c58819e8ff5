// The identity of an engine behind a CFAM as the configuration sees it: its
// engine type and its logical id (the index among the engines of the same
// type on that CFAM).
#ifndef KAV_HWACCESS_ENGINEINFO_H
#define KAV_HWACCESS_ENGINEINFO_H

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT EngineInfo {
 public:
  enum engineType_t : int {
    ENGINE_NONE = 0,
    ENGINE_DIO = 1,
    ENGINE_I2C = 2,
    ENGINE_SCRATCHPAD = 3,
    ENGINE_IOMUX = 4,
    ENGINE_TYPE_5 = 5,
    ENGINE_TYPE_6 = 6,
    ENGINE_TYPE_7 = 7,
    ENGINE_TYPE_8 = 8,
    ENGINE_TYPE_9 = 9,
    ENGINE_TYPE_10 = 10,
    ENGINE_TYPE_11 = 11,
    ENGINE_TYPE_12 = 12,
    ENGINE_TYPE_13 = 13
  };

  EngineInfo();
  EngineInfo(engineType_t type, unsigned int logicalEngineId);
  virtual ~EngineInfo();
  EngineInfo(const EngineInfo&) = default;
  EngineInfo& operator=(const EngineInfo&) = default;

  engineType_t getEngineType() const { return m_engineType; }
  unsigned int getLogicalEngineId() const { return m_logicalEngineId; }
  // The string id naming the engine type.
  unsigned int getEngineTypeStringId() const;

  // By type (signed), then by logical id.
  bool operator<(const EngineInfo& other) const;
  bool operator==(const EngineInfo& other) const;
  bool operator!=(const EngineInfo& other) const { return !(*this == other); }

 private:
  engineType_t m_engineType;
  unsigned int m_logicalEngineId;
};

// The string id of an engine type; an unknown type gives the id of
// "unknown engine type".
KAV_EXPORT unsigned int convertEngineTypeToStringId(EngineInfo::engineType_t type);
// The inverse; a string id that names no engine type gives 0.
KAV_EXPORT EngineInfo::engineType_t convertStringIdToEngineType(unsigned int stringId);

#endif
