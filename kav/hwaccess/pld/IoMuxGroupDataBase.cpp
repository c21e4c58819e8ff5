#include "kav/hwaccess/pld/IoMuxGroupDataBase.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(IoMuxGroupDataBase, QueryBase)

namespace {
const unsigned int kEngineNotSelectable = 0x716Cu;
const unsigned int kGroupIdTooLarge = 0x7381u;
const unsigned int kBeyondGroupBits = 0x7382u;

// The engines in the order of the mux levels they stand for.
const unsigned int kEnginesByLevel[] = {kav::sid::ENGINE_TYPE_DIO,        kav::sid::ENGINE_TYPE_I2C,
                                        kav::sid::ENGINE_TYPE_8,          kav::sid::IOMUX_ENGINE_SCOM,
                                        kav::sid::IOMUX_ENGINE_IIC_SLAVE, kav::sid::IOMUX_ENGINE_UART,
                                        kav::sid::IOMUX_ENGINE_JTAG,      kav::sid::IOMUX_ENGINE_MAILBOX};
const unsigned int kLevels = sizeof(kEnginesByLevel) / sizeof(kEnginesByLevel[0]);
}  // namespace

IoMuxGroupDataBase::IoMuxGroupDataBase() {}

IoMuxGroupDataBase::~IoMuxGroupDataBase() {}

unsigned int IoMuxGroupDataBase::getGroupSize() const { return 4; }

void IoMuxGroupDataBase::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"IoMuxGroupDataBase\">\n";
  os << "<parameter name=\"this->getGroupSize()\" value=\"" << getGroupSize() << "\"/>\n";
  m_ioMuxInfo.dumpXml(os);
  os << "</class>\n";
  QueryBase::dumpXml(os);
}

BaseErrorData IoMuxGroupDataBase::selectEngine(unsigned int engineNameId, unsigned int levelCount) {
  BaseErrorData rc;
  if (engineNameId == kav::sid::IOMUX_ENGINE_DISABLED) {
    m_ioMuxInfo.disableMux();
    m_ioMuxInfo.setSelectedEngine(engineNameId);
    return rc;
  }
  for (unsigned int level = 0; level < kLevels && level < levelCount; ++level) {
    if (kEnginesByLevel[level] != engineNameId) continue;
    m_ioMuxInfo.enableMux();
    m_ioMuxInfo.setMuxLevel(level);
    m_ioMuxInfo.setSelectedEngine(engineNameId);
    return rc;
  }
  KAV_TRACE_STR(KAVE, "IoMuxGroupData group %u can not select engine %s", get_string_by_id(engineNameId),
                m_ioMuxInfo.getGroupId());
  m_ioMuxInfo.disableMux();
  rc = kEngineNotSelectable;
  return rc;
}

BaseErrorData IoMuxGroupDataBase::setGroupAttributes(const AttributeInfo& info, unsigned int maxGroups,
                                                     unsigned int levelCount) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  unsigned int value = 0;
  BaseErrorData read = getAttributeUint32(&value, kav::sid::IOMUX_GROUP_ID, *node, false);
  if (read != 0) {
    rc = read;
  } else if (value < maxGroups) {
    m_ioMuxInfo.setGroupId(value);
  } else {
    KAV_TRACE(KAVE, "IoMuxGroupData slot=0x%08X group id %u not below %u", getSlotId(), value, maxGroups);
    rc = kGroupIdTooLarge;
  }
  read = getAttributeStringId(&value, kav::sid::IOMUX_SELECTED_ENGINE, *node, false);
  if (read != 0) {
    rc = read;
  } else {
    rc = selectEngine(value, levelCount);
  }
  const unsigned int bound = (1u << getGroupSize()) - 1u;
  const struct {
    unsigned int attribute;
    BaseErrorData (IoMuxInfo::*set)(unsigned int);
  } bits[] = {{kav::sid::IOMUX_CONTROL_GATES, &IoMuxInfo::setControlGates},
              {kav::sid::IOMUX_RECEIVE_THRESHOLD, &IoMuxInfo::setReceiverThreshold}};
  for (const auto& b : bits) {
    read = getAttributeUint32(&value, b.attribute, *node, false);
    if (read != 0) {
      rc = read;
      continue;
    }
    if (value > bound) {
      KAV_TRACE(KAVE, "IoMuxGroupData slot=0x%08X group %u attribute %u value 0x%X above 0x%X", getSlotId(),
                m_ioMuxInfo.getGroupId(), b.attribute, value, bound);
      rc = kBeyondGroupBits;
      continue;
    }
    (m_ioMuxInfo.*b.set)(value);
  }
  return rc;
}
