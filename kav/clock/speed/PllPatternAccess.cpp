#include "kav/clock/speed/PllPatternAccess.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(PllPatternAccess, PowerControllable)

namespace {
const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kPatternBytes = 4;
}  // namespace

PllPatternAccess::PllPatternAccess() : m_stateTableSpeedFieldId(0) {}

PllPatternAccess::~PllPatternAccess() {}

BaseErrorData PllPatternAccess::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = PowerControllable::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node != nullptr) rc = getAttributeStringId(&m_stateTableSpeedFieldId, kav::sid::SPEED_STATE_TABLE_FIELD, *node, false);
  return rc;
}

BaseErrorData PllPatternAccess::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int count = 0;
  KavPtr<FruStateTableLink> link = singleHiddenChild<FruStateTableLink>(*this, count);
  IFOSGuard<const QueryBase> guard(*this);
  m_pFruStateTableLink = link;
  if (link == nullptr) {
    KAV_TRACE(KAVE, "PllPatternAccess: no single state-table link slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  return rc;
}

BaseErrorData PllPatternAccess::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_pFruStateTableLink = KavPtr<FruStateTableLink>();
  }
  return PowerControllable::terminate(step);
}

void PllPatternAccess::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"PllPatternAccess\">\n";
  os << "<parameter name=\"m_stateTableSpeedFieldId\" value=\"" << get_string_by_id(m_stateTableSpeedFieldId)
     << "\"/>\n";
  {
    IFOSGuard<const QueryBase> guard(*this);
    os << "<parameter name=\"m_pFruStateTableLink\" value=\"" << m_pFruStateTableLink.asString() << "\"/>\n";
  }
  os << "</class>\n";
  PowerControllable::dumpXml(os);
}

KavPtr<FruStateTable> PllPatternAccess::getFruStateTable() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pFruStateTableLink == nullptr ? KavPtr<FruStateTable>() : m_pFruStateTableLink->getLinkTarget();
}

bool PllPatternAccess::isFruActivated() const {
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return false;
  bool activated = false;
  if (table->getActivatedFlag(&activated) != 0) return false;
  return activated;
}

// The field holds the pattern most significant byte first, as the service
// processor (big-endian) stores a 32-bit number: the scratchpad reads the
// same on any host.
ErrorData PllPatternAccess::readPatternFromFruStateTable(unsigned int& bits) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) {
    bits = 0;
    return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  }
  unsigned char buffer[kPatternBytes] = {0, 0, 0, 0};
  ErrorData rc = table->readField(m_stateTableSpeedFieldId, buffer, kPatternBytes, 0);
  bits = rc == 0 ? (static_cast<unsigned int>(buffer[0]) << 24) | (static_cast<unsigned int>(buffer[1]) << 16) |
                       (static_cast<unsigned int>(buffer[2]) << 8) | buffer[3]
                 : 0;
  return rc;
}

ErrorData PllPatternAccess::writePatternToFruStateTable(unsigned int bits) {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<FruStateTable> table = getFruStateTable();
  if (table == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  unsigned char buffer[kPatternBytes] = {static_cast<unsigned char>(bits >> 24), static_cast<unsigned char>(bits >> 16),
                                         static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits)};
  return table->writeField(m_stateTableSpeedFieldId, buffer, kPatternBytes, 0);
}
