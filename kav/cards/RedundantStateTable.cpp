#include "kav/cards/RedundantStateTable.h"

#include <cstring>
#include <new>

#include "kav/events/ComponentReadyEvent.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/search/InstanceNameCriteria.h"
#include "kav/tree/search/SlotIdCriteria.h"
#include "kav/tree/start/KavStart.h"
#include "perc_abend.h"

KAV_TREE_CLASS_IMPL(RedundantStateTable, StateTableInterface)

// clang-format off
const unsigned int RedundantStateTable::g_synchActionsDecisionTable[8][8] = {
    {0, 0, 3, 3, 4, 4, 3, 3},
    {0, 4, 3, 3, 4, 4, 3, 3},
    {2, 2, 1, 2, 4, 4, 3, 4},
    {2, 2, 3, 4, 4, 4, 3, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {2, 2, 2, 2, 4, 4, 4, 4},
    {2, 2, 4, 4, 4, 4, 4, 4},
};
// clang-format on

namespace {
const unsigned int kNoFunctionalReplica = 0x7260;
const unsigned int kNoUniqueRam = 0x7261;
const unsigned int kNoContainer = 0x7262;
const unsigned int kReplicaNotFunctional = 0x7263;
const unsigned int kContentsDiffer = 0x7264;
const unsigned int kInvalidAdminPair = 0x7265;
const unsigned int kNoAdminField = 0x7266;
const unsigned int kLayoutDiffers = 0x7267;
const unsigned int kNotAvailable = 0x700F;
const unsigned int kHandlerLimitMs = 1000;
const char kLogSource[] = "kav/RedundantStateTable";
const char kLogText[] = "Error in RedundantStateTable occured";

// Administration bits.
const unsigned char kWriteInProgress = 0x01;
const unsigned char kHoldsNewerData = 0x04;
const unsigned char kSynchronisedPartnerPresent = 2;
const unsigned char kSynchronisedPartnerAbsent = 6;

bool isParameterError(const ErrorData& rc) { return rc == 0x7027u || rc == 0x7008u || rc == 0x7000u; }

void abend(const char* text) { percAbend(0xF0D1, nullptr, 0, 0, 0, 0, text, 11, 0); }
}  // namespace

// --- WriteAction ---------------------------------------------------------

RedundantStateTable::WriteAction::WriteAction(RedundantStateTable* table, unsigned int fieldId, unsigned char* data,
                                              unsigned char* mask, unsigned int size, unsigned int offset)
    : m_masked(mask != nullptr ? 1 : 0),
      m_pTable(table),
      m_fieldId(fieldId),
      m_pData(data),
      m_pMask(mask),
      m_size(size),
      m_offset(offset) {}

ErrorData RedundantStateTable::WriteAction::write(unsigned int replica) const {
  if (m_masked != 0)
    return m_pTable->writeFieldWithMaskSingleReplica(replica, m_fieldId, m_pData, m_pMask, m_size, m_offset);
  return m_pTable->writeFieldSingleReplica(replica, m_fieldId, m_pData, m_size, m_offset);
}

// --- construction and life cycle -----------------------------------------

RedundantStateTable::RedundantStateTable()
    : m_pConfigChangeRouter(new (std::nothrow) EventRouter<ConfigChangeEvent>()),
      m_pConfigCompleteRouter(new (std::nothrow) EventRouter<ConfigCompleteEvent>()),
      m_minConfigCompleteRegistrationId(-1),
      m_checked(0),
      m_synchronising(0),
      m_availableReplicas(0),
      m_functionalReplicas(0),
      m_tableId(0) {
  if (m_pConfigChangeRouter == nullptr || m_pConfigCompleteRouter == nullptr)
    abend("RedundantStateTable: no event router");
  for (Replica_s& r : m_replicas) {
    r.slotId = 0;
    r.ramName = 0;
    r.functional = 0;
    r.invalid = 0;
    r.available = 0;
    r.errorLogged = 0;
    r.registrationId = -1;
  }
}

RedundantStateTable::~RedundantStateTable() {
  deregisterEvents();
  delete m_pConfigChangeRouter;
  delete m_pConfigCompleteRouter;
}

BaseErrorData RedundantStateTable::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = StateTableInterface::setAttributes(info);
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (rc != 0 || local == nullptr) return rc;
  rc = getAttributeStringId(&m_tableId, kav::sid::STATE_TABLE_ID, *local, false);
  for (unsigned int i = 0; i < kReplicaCount; ++i) {
    Replica_s& r = m_replicas[i];
    const unsigned int nameAttr = get_indexed_string_id(kav::sid::STATE_TABLE_RAM_NAME, i, 1);
    const unsigned int slotAttr = get_indexed_string_id(kav::sid::STATE_TABLE_RAM_SLOT_ID, i, 1);
    BaseErrorData nameRc = getAttributeStringId(&r.ramName, nameAttr, *local, false);
    if (rc == 0) rc = nameRc;
    if (getAttributeUint32(&r.slotId, slotAttr, *local, true) != 0) r.slotId = 0;
  }
  return rc;
}

BaseErrorData RedundantStateTable::init(initSequence::Id_t step) {
  BaseErrorData rc = StateTableInterface::init(step);
  if (step == initSequence::INIT_REGISTER_EVENTS) registerEvents();
  return rc;
}

BaseErrorData RedundantStateTable::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) deregisterEvents();
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) unlinkTreeElements();
  return StateTableInterface::terminate(step);
}

void RedundantStateTable::registerEvents() {
  typedef void (RedundantStateTable::*ChangeHandler_t)(const ConfigChangeEvent&);
  typedef void (RedundantStateTable::*CompleteHandler_t)(const ConfigCompleteEvent&);
  const ChangeHandler_t onChange = &RedundantStateTable::handleConfigChangeEvent;
  const CompleteHandler_t onComplete = &RedundantStateTable::handleMinimumConfigCompleteEvent;
  EventSource<ConfigChangeEvent>* changes = ConfigChangeEventSender::getInstance()->getEventSource();
  for (Replica_s& r : m_replicas) {
    if (r.slotId == 0 || r.registrationId != -1) continue;
    ConfigChangeEvent::EventType_s filter{r.slotId, ConfigChangeEvent::ANY_CONFIGURATION_STATE};
    r.registrationId = registerForEvent<ConfigChangeEvent, RedundantStateTable>(changes, m_pConfigChangeRouter,
                                                                                filter, this, onChange, false);
    if (r.registrationId < 0) {
      KAV_TRACE(KAVE, " %08x,%X", getInstanceId(), r.slotId);
      r.registrationId = -1;
    }
  }
  if (m_minConfigCompleteRegistrationId == -1) {
    EventSource<ConfigCompleteEvent>* complete = ConfigCompleteEventSender::getInstance()->getEventSource();
    const ConfigCompleteEvent::EventType filter = ConfigCompleteEvent::MINIMUM_CONFIG_COMPLETE;
    m_minConfigCompleteRegistrationId = registerForEvent<ConfigCompleteEvent, RedundantStateTable>(
        complete, m_pConfigCompleteRouter, filter, this, onComplete, false);
    if (m_minConfigCompleteRegistrationId < 0) {
      KAV_TRACE(KAVE, " %08x", getInstanceId());
      m_minConfigCompleteRegistrationId = -1;
    }
  }
}

void RedundantStateTable::deregisterEvents() {
  for (Replica_s& r : m_replicas) {
    if (r.registrationId != -1) m_pConfigChangeRouter->deregisterFromEvent(r.registrationId);
    r.registrationId = -1;
  }
  if (m_minConfigCompleteRegistrationId != -1)
    m_pConfigCompleteRouter->deregisterFromEvent(m_minConfigCompleteRegistrationId);
  m_minConfigCompleteRegistrationId = -1;
}

void RedundantStateTable::unlinkTreeElements() {
  IFOSGuard<const QueryBase> guard(*this);
  for (unsigned int i = 0; i < kReplicaCount; ++i) disconnectReplica(i);
}

// --- logging ----------------------------------------------------------------

void RedundantStateTable::logError(ErrorData error, unsigned int line) {
  error.microcodeLog(kLogSource, line, kLogText, 2, false);
}

void RedundantStateTable::logInfo(ErrorData error, unsigned int line) {
  error.microcodeLog(kLogSource, line, kLogText, 1, false);
}

// --- replicas ---------------------------------------------------------------

unsigned int RedundantStateTable::getAvailableReplicas() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_availableReplicas;
}

unsigned int RedundantStateTable::getFunctionalReplicas() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_functionalReplicas;
}

bool RedundantStateTable::isChecked() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_checked != 0;
}

bool RedundantStateTable::isReplicaFunctional(unsigned int replica) const {
  IFOSGuard<const QueryBase> guard(*this);
  return replica < kReplicaCount && m_replicas[replica].functional != 0;
}

bool RedundantStateTable::isReplicaInvalid(unsigned int replica) const {
  IFOSGuard<const QueryBase> guard(*this);
  return replica < kReplicaCount && m_replicas[replica].invalid != 0;
}

unsigned int RedundantStateTable::getReplicaSlotId(unsigned int replica) const {
  return replica < kReplicaCount ? m_replicas[replica].slotId : 0;
}

unsigned int RedundantStateTable::getReplicaRamName(unsigned int replica) const {
  return replica < kReplicaCount ? m_replicas[replica].ramName : 0;
}

ErrorData RedundantStateTable::getRam(unsigned int slotId, unsigned int ramName, unsigned char* logged,
                                      KavPtr<Ram>* ram, bool configuring) const {
  ErrorData rc;
  *ram = KavPtr<Ram>();
  KavPtr<const QueryBase> base;
  if (slotId != 0) {
    KavPtr<Container> container = ContainerList::getContainer(slotId);
    if (container == nullptr && configuring) container = ContainerList::getInstance()->lookup(slotId);
    if (container == nullptr) {
      rc = kNoContainer;
      return rc;
    }
    base = KavPtr<const QueryBase>(container);
  } else {
    // Not on a pluggable slot: the Ram lives in this object's own tree.
    KavPtr<const QueryBase> node(this);
    for (KavPtr<const QueryBase> parent = node->getParent(); parent != nullptr; parent = parent->getParent())
      node = parent;
    base = node;
  }
  ExecList<Ram> candidates = collectClasstypeInSubTree<Ram>(base, true);
  candidates.keepAllForCriteria(InstanceNameCriteria(ramName));
  if (slotId != 0) candidates.keepAllForCriteria(SlotIdCriteria(slotId, 0xFFFFFFFFu));
  const unsigned int count = candidates.elementCount();
  if (count == 1) {
    *ram = candidates.getSingleton(true);
    return rc;
  }
  rc = kNoUniqueRam;
  KAV_TRACE_STR(KAVE, " %u,%X,%s,%X", get_string_by_id(ramName), count, slotId, rc.getRc());
  if (count > 1) abend("RedundantStateTable: more than one Ram for a replica");
  if (*logged == 0) {
    *logged = 1;
    logInfo(rc, __LINE__);
  }
  return rc;
}

ErrorData RedundantStateTable::connectReplica(unsigned int replica, bool configuring) {
  Replica_s& r = m_replicas[replica];
  KavPtr<Ram> ram;
  ErrorData rc = getRam(r.slotId, r.ramName, &r.errorLogged, &ram, configuring);
  if (rc == 0 && ram != nullptr) {
    if (r.ram == nullptr) {
      if (r.available != 0) {
        r.available = 0;
        --m_availableReplicas;
      }
      ErrorData info = readOrCompareContentInfo(ram);
      r.ram = ram;
      r.available = 1;
      ++m_availableReplicas;
      if (info == 0) {
        r.functional = 1;
        r.invalid = 0;
        ++m_functionalReplicas;
        if (m_checked != 0) {
          ensureReplicaConsistency();
          if (m_functionalReplicas == 1) tableAvailable();
        }
      } else {
        r.functional = 0;
        r.invalid = 1;
        if (r.errorLogged == 0) {
          r.errorLogged = 1;
          logError(info, __LINE__);
        }
        rc = info;
      }
    } else if (r.ram != ram) {
      // Only one string reaches the trace: the stored Ram's name is the replica's.
      KAV_TRACE_STR(KAVE, " %u,%X,%s,%X", get_string_by_id(r.ramName), replica, r.slotId, ram->getInstanceId());
    }
  } else if (rc == kNoUniqueRam && r.available == 0) {
    r.available = 1;
    r.functional = 0;
    r.invalid = 1;
    ++m_availableReplicas;
  }
  return rc;
}

void RedundantStateTable::disconnectReplica(unsigned int replica) {
  Replica_s& r = m_replicas[replica];
  if (r.available == 0) return;
  r.ram = KavPtr<Ram>();
  if (r.functional != 0) {
    --m_functionalReplicas;
    if (m_functionalReplicas == 0) tableIsNowUnavailable();
  }
  r.functional = 0;
  r.invalid = 0;
  r.available = 0;
  // A card that returns (or its replacement) is a new memory: its first
  // failure is logged again.
  r.errorLogged = 0;
  --m_availableReplicas;
}

ErrorData RedundantStateTable::readOrCompareContentInfo(const KavPtr<Ram>& ram) {
  if (!m_fields.empty()) return compareContentInfo(ram);
  ErrorData rc;
  kavstl::vector<unsigned int> ids;
  rc = ram->getFieldIds(m_tableId, &ids);
  if (rc != 0) return rc;
  bool hasAdmin = false;
  kavstl::vector<FieldInfo_t> fields;
  for (unsigned int id : ids) {
    if (id == kAdminFieldId) {
      hasAdmin = true;
      continue;
    }
    unsigned int size = 0;
    if (ram->getFieldSize(m_tableId, id, &size) != 0) abend("RedundantStateTable: field size not readable");
    fields.push_back(FieldInfo_t(id, size));
  }
  if (!hasAdmin) {
    rc = kNoAdminField;
    KAV_TRACE(KAVE, " %08x,%X", m_tableId, rc.getRc());
    return rc;
  }
  m_fields = fields;
  return rc;
}

ErrorData RedundantStateTable::compareContentInfo(const KavPtr<Ram>& ram) const {
  ErrorData rc;
  kavstl::vector<unsigned int> ids;
  rc = ram->getFieldIds(m_tableId, &ids);
  if (rc != 0) return rc;
  bool hasAdmin = false;
  unsigned int others = 0;
  for (unsigned int id : ids) {
    if (id == kAdminFieldId) {
      hasAdmin = true;
      continue;
    }
    ++others;
    const FieldInfo_t* known = nullptr;
    for (const FieldInfo_t& f : m_fields)
      if (f.first == id) known = &f;
    if (known == nullptr) {
      rc = kLayoutDiffers;
      KAV_TRACE(KAVE, " %u,%u", m_tableId, id);
      return rc;
    }
    unsigned int size = 0;
    if (ram->getFieldSize(m_tableId, id, &size) != 0) abend("RedundantStateTable: field size not readable");
    if (size != known->second) {
      rc = kLayoutDiffers;
      KAV_TRACE(KAVE, " %u,%u,%u", id, size, known->second);
      return rc;
    }
  }
  if (others != m_fields.size()) {
    rc = kLayoutDiffers;
    KAV_TRACE(KAVE, " %u,%u", others, static_cast<unsigned int>(m_fields.size()));
    return rc;
  }
  if (!hasAdmin) rc = kNoAdminField;
  return rc;
}

void RedundantStateTable::setInvalid(unsigned int replica, const ErrorData& error) {
  Replica_s& r = m_replicas[replica];
  if (r.functional != 0) {
    --m_functionalReplicas;
    if (m_functionalReplicas == 0) KAV_TRACE(KAVE, " %08x,%u,%X", getInstanceId(), replica, error.getRc());
  }
  r.functional = 0;
  r.invalid = 1;
  if (r.errorLogged == 0) {
    r.errorLogged = 1;
    logError(error, __LINE__);
  }
}

void RedundantStateTable::checkSetInvalid(unsigned int replica, const ErrorData& error) {
  static const unsigned int kHarmless[] = {0, 0x7027, 0x7008, 0x7000, 0x7344, 0x7362, 0x7017, 0x7019, 0x7054};
  for (unsigned int code : kHarmless)
    if (error == code) return;
  setInvalid(replica, error);
}

// --- single replica access -------------------------------------------------

ErrorData RedundantStateTable::readFieldSingleReplica(unsigned int replica, unsigned int fieldId,
                                                      unsigned char* buf, unsigned int size, unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  if (replica >= kReplicaCount || m_replicas[replica].functional == 0 || m_replicas[replica].ram == nullptr)
    return ErrorData(ErrorData::NO_OVERWRITE, kReplicaNotFunctional);
  ErrorData rc = m_replicas[replica].ram->readField(m_tableId, fieldId, buf, size, offset);
  checkSetInvalid(replica, rc);
  return rc;
}

ErrorData RedundantStateTable::writeFieldSingleReplica(unsigned int replica, unsigned int fieldId,
                                                       const unsigned char* buf, unsigned int size,
                                                       unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  if (replica >= kReplicaCount || m_replicas[replica].functional == 0 || m_replicas[replica].ram == nullptr)
    return ErrorData(ErrorData::NO_OVERWRITE, kReplicaNotFunctional);
  ErrorData rc = m_replicas[replica].ram->writeField(m_tableId, fieldId, buf, size, offset);
  checkSetInvalid(replica, rc);
  return rc;
}

ErrorData RedundantStateTable::writeFieldWithMaskSingleReplica(unsigned int replica, unsigned int fieldId,
                                                               const unsigned char* data, const unsigned char* mask,
                                                               unsigned int size, unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  if (replica >= kReplicaCount || m_replicas[replica].functional == 0 || m_replicas[replica].ram == nullptr)
    return ErrorData(ErrorData::NO_OVERWRITE, kReplicaNotFunctional);
  ErrorData rc = m_replicas[replica].ram->writeFieldWithMask(m_tableId, fieldId, data, mask, size, offset);
  checkSetInvalid(replica, rc);
  return rc;
}

// --- availability and consistency ------------------------------------------

bool RedundantStateTable::isTableAvailable() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_checked != 0 && m_synchronising == 0 && m_functionalReplicas > 0;
}

void RedundantStateTable::tableAvailable() {
  tableIsNowAvailable();
  ComponentReadyEvent event(getInstanceId());
  ComponentReadyEventSender::getInstance()->sendEvent(event);
}

void RedundantStateTable::initTableContent() {}

void RedundantStateTable::handleContentInconsistency() {
  ErrorData rc(ErrorData::NO_OVERWRITE, kContentsDiffer);
  KAV_TRACE(KAVE, " %08x,%X", getInstanceId(), rc.getRc());
  logError(rc, __LINE__);
  initTable();
}

void RedundantStateTable::tableIsNowAvailable() {}

void RedundantStateTable::tableIsNowUnavailable() {}

unsigned int RedundantStateTable::synchAction(unsigned int state0, unsigned int state1) {
  state0 %= 8;
  state1 %= 8;
  // State 7 (bits 0 and 2) is a write interrupted while the partner was
  // away; the partner's 2 or 3 is older content, so the replica with bit 2
  // set is the source. The decision table's 4 there would initialise the
  // table and wipe the newer values.
  if (state0 == 7 && (state1 == 2 || state1 == 3)) return SYNCH_COPY_0_TO_1;
  if (state1 == 7 && (state0 == 2 || state0 == 3)) return SYNCH_COPY_1_TO_0;
  return g_synchActionsDecisionTable[state0][state1];
}

ErrorData RedundantStateTable::checkAvailability() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  if (m_checked != 0 || m_synchronising != 0) {
    if (m_functionalReplicas == 0)
      rc = kNoFunctionalReplica;
    else if (m_synchronising != 0)
      rc = kNotAvailable;
    return rc;
  }
  for (unsigned int i = 0; i < kReplicaCount; ++i)
    if (m_replicas[i].ram == nullptr) connectReplica(i);
  if (!is_minimum_config_complete()) {
    if (m_availableReplicas < kReplicaCount) {
      rc = kNotAvailable;
      return rc;
    }
    if (m_functionalReplicas > 0) {
      ensureReplicaConsistency();
      m_checked = 1;
      tableAvailable();
    } else {
      m_checked = 1;
      rc = kNoFunctionalReplica;
    }
    return rc;
  }
  if (m_functionalReplicas > 0) {
    ensureReplicaConsistency();
    m_checked = 1;
    tableAvailable();
  } else {
    rc = kNoFunctionalReplica;
    KAV_TRACE(KAVE, " %08x,%X", getInstanceId(), rc.getRc());
    m_checked = 1;
  }
  return rc;
}

ErrorData RedundantStateTable::compareReplicaOfAllFields() {
  ErrorData rc;
  kavstl::vector<unsigned char> a, b;
  for (const FieldInfo_t& f : m_fields) {
    a.assign(f.second, 0);
    b.assign(f.second, 0);
    ErrorData r0 = readFieldSingleReplica(0, f.first, a.data(), f.second, 0);
    ErrorData r1 = readFieldSingleReplica(1, f.first, b.data(), f.second, 0);
    if (r0 != 0 || r1 != 0) continue;
    if (std::memcmp(a.data(), b.data(), f.second) != 0) {
      KAV_TRACE(KAVE, " %u,%u", m_tableId, f.first);
      rc = kContentsDiffer;
      break;
    }
  }
  if (rc != 0 && m_replicas[0].functional != 0 && m_replicas[1].functional != 0) {
    handleContentInconsistency();
    return rc;
  }
  return ErrorData();
}

ErrorData RedundantStateTable::copyReplica(unsigned int from, unsigned int to) {
  ErrorData rc;
  if (m_replicas[from].functional == 0 || m_replicas[to].functional == 0) {
    rc = kReplicaNotFunctional;
    logError(rc, __LINE__);
    return rc;
  }
  kavstl::vector<unsigned char> buf;
  for (const FieldInfo_t& f : m_fields) {
    buf.assign(f.second, 0);
    ErrorData r = readFieldSingleReplica(from, f.first, buf.data(), f.second, 0);
    if (r == 0) r = writeFieldSingleReplica(to, f.first, buf.data(), f.second, 0);
    if (r != 0) {
      rc = r;
      KAV_TRACE(KAVE, " %u,%u,%X", from, f.first, r.getRc());
    }
  }
  return rc;
}

void RedundantStateTable::initTable() {
  kavstl::vector<unsigned char> zeros;
  for (const FieldInfo_t& f : m_fields) {
    zeros.assign(f.second, 0);
    for (unsigned int i = 0; i < kReplicaCount; ++i) {
      ErrorData rc = writeFieldSingleReplica(i, f.first, zeros.data(), f.second, 0);
      if (isParameterError(rc)) abend("RedundantStateTable: field cannot be initialised");
    }
  }
  const unsigned char zero = 0;
  for (unsigned int i = 0; i < kReplicaCount; ++i) writeFieldSingleReplica(i, kAdminFieldId, &zero, 1, 0);
  initTableContent();
}

ErrorData RedundantStateTable::ensureReplicaConsistency() {
  IFOSGuard<const QueryBase> guard(*this);
  m_synchronising = 1;
  unsigned char admin[kReplicaCount] = {0, 0};
  ErrorData readRc[kReplicaCount];
  for (unsigned int i = 0; i < kReplicaCount; ++i) {
    readRc[i] = readFieldSingleReplica(i, kAdminFieldId, &admin[i], 1, 0);
    if (readRc[i] != 0) admin[i] = 0;
    admin[i] %= 8;
  }
  ErrorData rc;
  const unsigned int action = synchAction(admin[0], admin[1]);
  switch (action) {
    case SYNCH_INIT_TABLE:
      initTable();
      break;
    case SYNCH_COMPARE:
      rc = compareReplicaOfAllFields();
      break;
    case SYNCH_COPY_0_TO_1:
      if (readRc[1] == 0) rc = copyReplica(0, 1);
      break;
    case SYNCH_COPY_1_TO_0:
      if (readRc[0] == 0) rc = copyReplica(1, 0);
      break;
    case SYNCH_INCONSISTENT:
      KAV_TRACE(KAVE, " %u,%u", static_cast<unsigned int>(admin[0]), static_cast<unsigned int>(admin[1]));
      rc = kContentsDiffer;
      logError(rc, __LINE__);
      initTable();
      break;
    default:
      KAV_TRACE(KAVE, " %u,%u,%u", static_cast<unsigned int>(admin[0]), static_cast<unsigned int>(admin[1]), action);
      rc = kInvalidAdminPair;
      logError(rc, __LINE__);
      initTable();
      break;
  }
  const unsigned char state0 =
      m_replicas[1].functional != 0 ? kSynchronisedPartnerPresent : kSynchronisedPartnerAbsent;
  const unsigned char state1 =
      m_replicas[0].functional != 0 ? kSynchronisedPartnerPresent : kSynchronisedPartnerAbsent;
  writeFieldSingleReplica(0, kAdminFieldId, &state0, 1, 0);
  if (writeFieldSingleReplica(1, kAdminFieldId, &state1, 1, 0) != 0 && state0 != kSynchronisedPartnerAbsent)
    writeFieldSingleReplica(0, kAdminFieldId, &kSynchronisedPartnerAbsent, 1, 0);
  m_synchronising = 0;
  return rc;
}

// --- the table operations ----------------------------------------------------

ErrorData RedundantStateTable::readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                         unsigned int offset) const {
  // The availability check may connect replicas and repair them.
  return const_cast<RedundantStateTable*>(this)->readFieldImpl(fieldId, buf, size, offset);
}

ErrorData RedundantStateTable::readFieldImpl(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                             unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = checkAvailability();
  if (rc != 0) {
    KAV_TRACE(KAVE, " %X", rc.getRc());
    logError(rc, __LINE__);
    return rc;
  }
  for (unsigned int i = 0; i < kReplicaCount; ++i) {
    ErrorData r = readFieldSingleReplica(i, fieldId, buf, size, offset);
    if (r == 0 || isParameterError(r)) return r;
  }
  rc = kNoFunctionalReplica;
  return rc;
}

ErrorData RedundantStateTable::writeField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                          unsigned int offset) {
  WriteAction action(this, fieldId, buf, nullptr, size, offset);
  return redundantWrite(action);
}

ErrorData RedundantStateTable::writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask,
                                                  unsigned int size, unsigned int offset) {
  if (mask == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  WriteAction action(this, fieldId, data, mask, size, offset);
  return redundantWrite(action);
}

ErrorData RedundantStateTable::redundantWrite(WriteAction& action) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = checkAvailability();
  if (rc != 0) {
    KAV_TRACE(KAVE, " %X", rc.getRc());
    return rc;
  }
  bool accessHeld[kReplicaCount] = {false, false};
  for (unsigned int i = 0; i < kReplicaCount; ++i)
    if (m_replicas[i].ram != nullptr) accessHeld[i] = m_replicas[i].ram->requestAccess(0) == 0;

  // Replica 0: mark, write, then "holds data its partner lacks".
  const unsigned char bit0 = kWriteInProgress;
  const unsigned char zero = 0;
  bool failed0 = false;
  const bool functional0 = m_replicas[0].functional != 0;
  ErrorData r0 = writeFieldWithMaskSingleReplica(0, kAdminFieldId, &bit0, &bit0, 1, 0);
  if (r0 == 0) {
    r0 = action.write(0);
    if (r0 == 0x7027u || r0 == 0x7008u || r0 == 0x7000u)
      rc = r0;
    else if (r0 != 0)
      failed0 = true;
  } else {
    failed0 = true;
  }
  if (!failed0) {
    const unsigned char data = rc != 0 ? 0 : kHoldsNewerData;
    const unsigned char mask = rc != 0 ? kWriteInProgress : static_cast<unsigned char>(kWriteInProgress | kHoldsNewerData);
    ErrorData a = writeFieldWithMaskSingleReplica(0, kAdminFieldId, &data, &mask, 1, 0);
    if (a != 0) {
      failed0 = true;
      r0 = a;
    }
  }
  if (failed0 && functional0) KAV_TRACE(KAVE, " %08x,0,%X", getInstanceId(), r0.getRc());

  // Replica 1.
  bool failed1 = true;
  if (rc == 0 || failed0) {
    const bool partnerOk = !failed0 && m_replicas[0].functional != 0;
    const bool functional1 = m_replicas[1].functional != 0;
    const unsigned char mask = kWriteInProgress | kHoldsNewerData;
    const unsigned char data = partnerOk ? kWriteInProgress : mask;
    ErrorData r1 = writeFieldWithMaskSingleReplica(1, kAdminFieldId, &data, &mask, 1, 0);
    if (r1 == 0 && rc == 0) {
      r1 = action.write(1);
      if (r1 == 0x7027u || r1 == 0x7008u || r1 == 0x7000u) {
        if (!failed0) abend("RedundantStateTable: replica 1 refused a write replica 0 accepted");
        rc = r1;
      }
    }
    if (r1 == 0) r1 = writeFieldWithMaskSingleReplica(1, kAdminFieldId, &zero, &bit0, 1, 0);
    failed1 = r1 != 0;
    if (failed1 && functional1) KAV_TRACE(KAVE, " %08x,1,%X", getInstanceId(), r1.getRc());
    if (!failed1) {
      const unsigned char bit2 = kHoldsNewerData;
      writeFieldWithMaskSingleReplica(0, kAdminFieldId, &zero, &bit2, 1, 0);
    }
  }
  if (rc == 0 && failed0 && failed1) rc = kNoFunctionalReplica;

  for (unsigned int i = 0; i < kReplicaCount; ++i)
    if (accessHeld[i]) m_replicas[i].ram->releaseAccess();
  return rc;
}

ErrorData RedundantStateTable::getFieldIds(kavstl::vector<unsigned int>* fieldIds) const {
  if (fieldIds == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  IFOSGuard<const QueryBase> guard(*this);
  fieldIds->clear();
  for (const FieldInfo_t& f : m_fields) fieldIds->push_back(f.first);
  return ErrorData();
}

ErrorData RedundantStateTable::getFieldSize(unsigned int fieldId, unsigned int* size) const {
  if (size == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  IFOSGuard<const QueryBase> guard(*this);
  for (const FieldInfo_t& f : m_fields) {
    if (f.first == fieldId) {
      *size = f.second;
      return ErrorData();
    }
  }
  return ErrorData(ErrorData::NO_OVERWRITE, 0x7027u);
}

// --- events --------------------------------------------------------------------

void RedundantStateTable::handleConfigChangeEvent(const ConfigChangeEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleConfigChangeEvent");
  for (unsigned int i = 0; i < kReplicaCount; ++i) {
    if (m_replicas[i].slotId == 0 || m_replicas[i].slotId != event.getSlotId()) continue;
    if (event.isConfigEvent()) {
      ErrorData rc = connectReplica(i, true);
      if (rc == kNoContainer) logError(rc, __LINE__);
      if (m_checked == 0 && m_availableReplicas == kReplicaCount) {
        ensureReplicaConsistency();
        if (m_functionalReplicas > 0) tableAvailable();
        m_checked = 1;
      }
    } else if (event.isUnconfigEvent()) {
      disconnectReplica(i);
    }
  }
}

void RedundantStateTable::handleMinimumConfigCompleteEvent(const ConfigCompleteEvent&) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleMinimumConfigCompleteEvent");
  checkAvailability();
}

BuildBase* createRedundantStateTable(void*, BaseErrorData&) {
  RedundantStateTable* table = new RedundantStateTable();
  return table->getBuildInterface();
}
