#include "kav/hwaccess/fsi/CfamViaFsiHwa.h"

#include <cstdio>

#include "kav/hwaccess/dio/DioViaFsiHwa.h"
#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/pld/IoMuxViaFsiHwa.h"
#include "kav/hwaccess/scratchpad/ScratchpadViaFsiHwa.h"
#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/fsi/IrqId.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/IFOSReturnCodes.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(CfamViaFsiHwa, HwaFactory<edalFsi::engineInfo_t>)

namespace {

const unsigned int kAttributeMissing = 0x7145u;
const unsigned int kEventFailed = 0x700Eu;

struct RawTypeMapping {
  unsigned int rawType;
  EngineInfo::engineType_t type;
};

const RawTypeMapping kRawTypes[] = {
    {8, EngineInfo::ENGINE_DIO},        {24, EngineInfo::ENGINE_DIO},       {7, EngineInfo::ENGINE_I2C},
    {23, EngineInfo::ENGINE_I2C},       {6, EngineInfo::ENGINE_SCRATCHPAD}, {22, EngineInfo::ENGINE_SCRATCHPAD},
    {15, EngineInfo::ENGINE_IOMUX},     {11, EngineInfo::ENGINE_TYPE_5},    {25, EngineInfo::ENGINE_TYPE_6},
    {13, EngineInfo::ENGINE_TYPE_8},    {0xDB, EngineInfo::ENGINE_TYPE_9},  {4, EngineInfo::ENGINE_TYPE_11},
    {5, EngineInfo::ENGINE_TYPE_12},    {0xDC, EngineInfo::ENGINE_TYPE_13},
};

// Reads an optional attribute; a missing one keeps the default.
void readOptionalUint32(unsigned int& field, unsigned int id, const BinaryReaderNode& node, BaseErrorData& rc) {
  unsigned int value = 0;
  BaseErrorData read = getAttributeUint32(&value, id, node, true);
  if (read == 0) {
    field = value;
  } else if (read != kAttributeMissing) {
    rc = read;
  }
}

}  // namespace

CfamViaFsiHwa::CfamViaFsiHwa()
    : m_physLinkNumber(0xFFFFFFFFu), m_physCascadeId(0xFFFFFFFFu), m_eventDrivenBuildup(false),
      m_pendingPlugEvent(IFOS_EVENT_RESET) {}

CfamViaFsiHwa::~CfamViaFsiHwa() {}

BaseErrorData CfamViaFsiHwa::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = HwaFactory<edalFsi::engineInfo_t>::setAttributes(info);
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) return rc;
  readOptionalUint32(m_physLinkNumber, kav::sid::PHYS_LINK_NUMBER, *local, rc);
  readOptionalUint32(m_physCascadeId, kav::sid::PHYS_CASCADE_ID, *local, rc);
  bool flag = false;
  BaseErrorData read = getAttributeBool(&flag, kav::sid::EVENT_DRIVEN_BUILDUP, *local, true);
  if (read == 0) {
    m_eventDrivenBuildup = flag;
  } else if (read != kAttributeMissing) {
    rc = read;
  }
  return rc;
}

BaseErrorData CfamViaFsiHwa::init(initSequence::Id_t step) {
  BaseErrorData rc = HwaFactory<edalFsi::engineInfo_t>::init(step);
  if (step == initSequence::INIT_WAIT_PENDING_PLUGS) rc = waitForPendingPlugs();
  return rc;
}

BaseErrorData CfamViaFsiHwa::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_CLOSE_ENGINES) {
    IFOSGuard<const QueryBase> guard(*this);
    clearDeviceData();
  }
  return HwaFactory<edalFsi::engineInfo_t>::terminate(step);
}

ErrorData CfamViaFsiHwa::createEngine(const kavstl::set<EngineInfo>& engines) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (getDeviceCount() == 0) rc = readHwConfig();
  if (getDeviceCount() == 0) {
    KAV_TRACE(KAVT, "CfamViaFsiHwa::createEngine no engines link=%u cascade=%u", m_physLinkNumber, m_physCascadeId);
    return rc;
  }
  for (const EngineInfo& engine : engines) {
    const edalFsi::engineInfo_t* device = getDeviceData(engine);
    if (device == nullptr) continue;
    FsiEngineInfo info(engine, getHwaId(), m_physLinkNumber, m_physCascadeId, device->engineNumber);
    if (hasEngine(info.getEngineInstanceNameStringId())) {
      // Named twice (default engines and the card's definitions): one object.
      KAV_TRACE(KAVT, "CfamViaFsiHwa::createEngine engine %u exists", info.getEngineInstanceNameStringId());
      continue;
    }
    if (!m_eventDrivenBuildup) {
      rc = createOpenImmediatelyEngine(info);
    } else {
      rc = createEventDrivenBuildupEngine(info);
    }
  }
  return rc;
}

bool CfamViaFsiHwa::hasEngine(unsigned int instanceNameId) const {
  for (const KavPtr<QueryBase>& child : getChildren())
    if (child->getInstanceId() == instanceNameId) return true;
  return false;
}

ErrorData CfamViaFsiHwa::readHwConfig() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg;
  const unsigned int status =
      edalFsiGetAvailableEngines(EdalInfo(m_physLinkNumber, m_physCascadeId, EdalInfo::ABSENT), engines, msg);
  if (status != 0) {
    handleError(rc, status, msg);
    KAV_TRACE(KAVE, "CfamViaFsiHwa::readHwConfig link=%u cascade=%u rc=0x%08X", m_physLinkNumber, m_physCascadeId,
              status);
    return rc;
  }
  for (const edalFsi::engineInfo_t& engine : engines) rc = addAvailEngine(engine);
  return rc;
}

EngineInfo::engineType_t CfamViaFsiHwa::mapRawEngineType(unsigned int rawType) {
  for (const RawTypeMapping& m : kRawTypes)
    if (m.rawType == rawType) return m.type;
  return EngineInfo::ENGINE_NONE;
}

ErrorData CfamViaFsiHwa::addAvailEngine(const edalFsi::engineInfo_t& engine) {
  const EngineInfo::engineType_t type = mapRawEngineType(engine.engineType);
  if (type == EngineInfo::ENGINE_NONE) {
    KAV_TRACE(KAVT, "CfamViaFsiHwa::addAvailEngine raw type %u engine %u not recorded", engine.engineType,
              engine.engineNumber);
    return ErrorData();
  }
  IFOSGuard<const QueryBase> guard(*this);
  addDeviceData(engine, type);
  return ErrorData();
}

ErrorData CfamViaFsiHwa::createOpenImmediatelyEngine(const FsiEngineInfo& info) {
  ErrorData rc;
  KAV_TRACE(KAVT, "CfamViaFsiHwa::createOpenImmediatelyEngine slot=0x%08X type=%d engine=%u", getSlotId(),
            static_cast<int>(info.getEngineType()), info.getPhysEngineNumber());
  QueryBase* engine = nullptr;
  switch (info.getEngineType()) {
    case EngineInfo::ENGINE_DIO:
      engine = new DioViaFsiHwa(info);
      break;
    case EngineInfo::ENGINE_SCRATCHPAD:
      engine = new ScratchpadViaFsiHwa(info);
      break;
    case EngineInfo::ENGINE_I2C:
      engine = new I2cViaFsiHwa(info);
      break;
    case EngineInfo::ENGINE_IOMUX:
      engine = new IoMuxViaFsiHwa(info);
      break;
    default:
      break;
  }
  if (engine == nullptr) return rc;
  KavPtr<QueryBase> child(engine);
  child->setParent(KavPtr<QueryBase>(this));
  rc = child->init(initSequence::INIT_OPEN_ENGINES);
  rc = addChild(child);
  return rc;
}

ErrorData CfamViaFsiHwa::createEventDrivenBuildupEngine(const FsiEngineInfo& info) {
  // The engine would be built when its plug interrupt arrives; this mode
  // only names that interrupt.
  KAV_TRACE(KAVT, "CfamViaFsiHwa::createEventDrivenBuildupEngine slot=0x%08X type=%d engine=%u irq=0x%08X",
            getSlotId(), static_cast<int>(info.getEngineType()), info.getPhysEngineNumber(),
            get_fsi_plug_irq_id(info.getPhysLinkNumber(), info.getPhysCascadeId(), info.getPhysEngineNumber()));
  return ErrorData();
}

ErrorData CfamViaFsiHwa::addPendingPlug(long irqId) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  m_pendingPlugs.insert(irqId);
  KAV_TRACE(KAVT, "CfamViaFsiHwa::addPendingPlug slot=0x%08X irq=0x%08lX pending=%u", getSlotId(),
            static_cast<unsigned long>(irqId), static_cast<unsigned int>(m_pendingPlugs.size()));
  if (m_pendingPlugEvent.resetEvent() != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "CfamViaFsiHwa::addPendingPlug reset failed slot=0x%08X", getSlotId());
    rc = kEventFailed;
  }
  return rc;
}

ErrorData CfamViaFsiHwa::removePendingPlug(long irqId) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  m_pendingPlugs.erase(irqId);
  if (m_pendingPlugs.empty() && m_pendingPlugEvent.postEvent() != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "CfamViaFsiHwa::removePendingPlug post failed slot=0x%08X", getSlotId());
    rc = kEventFailed;
  }
  return rc;
}

ErrorData CfamViaFsiHwa::waitForPendingPlugs() { return ErrorData(); }

unsigned int CfamViaFsiHwa::getPendingPlugCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_pendingPlugs.size());
}

bool CfamViaFsiHwa::isPendingPlugEventPosted() { return m_pendingPlugEvent.waitEvent(0) == IFOS_RC_OK; }

ErrorData CfamViaFsiHwa::handleError(ErrorData& err, unsigned long rc, std::string& msg) {
  err = static_cast<unsigned int>(rc);
  char text[64];
  std::snprintf(text, sizeof text, "CFAM Error on FSI  rc=0x%.8lX", rc);
  setFsiHwaErrorData(err, text, "FSI_CFAM_ACCESS", "", getSlotId(), nullptr, msg);
  logOnce(err);
  return err;
}

BuildBase* createCfamViaFsiHwa(void*, BaseErrorData&) {
  CfamViaFsiHwa* factory = new CfamViaFsiHwa();
  return factory == nullptr ? nullptr : factory->getBuildInterface();
}
