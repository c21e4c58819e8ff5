#include "kav/tree/errors/ErrorData.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "kav/diag/LogSlotIdConverterEntry.h"
#include "kav/diag/SrcLineEntry.h"
#include "kav/diag/XmlLookupTable.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/start/BsIdentity.h"
#include "kav/tree/errors/Logger.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"

namespace {

const unsigned int kBaseDomainSlotId = 0x10000;
const unsigned int kPrimaryKeyLabelId = 128;
const unsigned int kSecondaryKeyLabelId = 129;
const BaseErrorData::LogMode_t kLogModeAlways = 2;

// The official slot id under which the platform log knows a slot.
unsigned int logSlotId(unsigned int slotId) { return convertSlotIdToLogSlotId(slotId); }

// The error table: created on the first use that can read it, then only
// read (from any thread).
std::atomic<XmlLookupTable<SrcLineEntry>*> g_srcTable{nullptr};
std::mutex g_srcTableLock;

kavstl::string hexKey(unsigned int key) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%.8X", key);
  return kavstl::string(text);
}

}  // namespace

ErrorData::ErrorData(OverwriteMode_t mode, unsigned int rc) : BaseErrorData(mode, rc) {}

ErrorData::ErrorData(const BaseErrorData& other) : BaseErrorData(other) {}

ErrorData::ErrorData(const ErrorData& other) : BaseErrorData(other) {}

ErrorData::~ErrorData() {}

void ErrorData::logSynchron(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                            KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin) {
  prepareAndLog(primaryKey, secondaryKey, dumpRoot, origin, false);
}

void ErrorData::logSynchron(const kavstl::string& primaryKey, unsigned int secondaryKey,
                            KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin) {
  prepareAndLog(primaryKey, hexKey(secondaryKey), dumpRoot, origin, false);
}

void ErrorData::logAsynchron(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                             KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin) {
  prepareAndLog(primaryKey, secondaryKey, dumpRoot, origin, true);
}

void ErrorData::logAsynchron(const kavstl::string& primaryKey, unsigned int secondaryKey,
                             KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin) {
  prepareAndLog(primaryKey, hexKey(secondaryKey), dumpRoot, origin, true);
}

void ErrorData::prepareAndLog(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                              KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin, bool asynchronous) {
  KAV_TRACE(KAVT, "ErrorData::log rc=0x%08X async=%u", getRc(), asynchronous ? 1u : 0u);
  kavstl::vector<unsigned int> pihs;
  getPihList(origin, pihs);
  prepareLogData(pihs, primaryKey, secondaryKey);

  if (getLogState() == LOG_STATE_LOGGED && getLogMode() != kLogModeAlways) {
    setFedcOptions(0);
    setLogState(LOG_STATE_RELOGGED);
  } else if (!dumpRoot.isNull()) {
    addFileNameToList(getDumpTree(dumpRoot));
  }
  addFileNameToList(kavstl::string());

  Logger logger;
  if (asynchronous)
    logger.logAsynchron(*this);
  else
    logger.logSynchron(*this);
}

void ErrorData::getPihList(KavPtr<const QueryBase> origin, kavstl::vector<unsigned int>& pihs) {
  pihs.clear();
  pihs.push_back(logSlotId(bs_get_own_pih()));
  const kavstl::vector<unsigned int> slotIds = getSlotIds();
  if (!slotIds.empty()) {
    for (auto it = slotIds.rbegin(); it != slotIds.rend(); ++it) pihs.push_back(logSlotId(*it));
    return;
  }
  KavPtr<const QueryBase> node = origin;
  while (!node.isNull() && !node->isRoot()) {
    const unsigned int slotId = node->getSlotId();
    if (slotId < kBaseDomainSlotId) {
      const unsigned int id = logSlotId(slotId);
      if (pihs.size() == 1 || pihs.back() != id) pihs.push_back(id);
    }
    node = node->getParent();
  }
}

void ErrorData::prepareLogData(const kavstl::vector<unsigned int>& pihs, const kavstl::string& primaryKey,
                               const kavstl::string& secondaryKey) {
  kavstl::string primary = primaryKey;
  kavstl::string secondary = secondaryKey;
  if (primary.empty()) {
    unsigned int primaryId = 0, secondaryId = 0;
    getKeys(primaryId, secondaryId);
    if (primaryId != 0) {
      primary = get_string_by_id(primaryId);
      secondary = secondaryId != 0 ? get_string_by_id(secondaryId) : kavstl::string();
    }
  }

  if (!isSrcDefined() || !primaryKey.empty()) {
    if (!initSrcLookup()) {
      microcodeLog("kav/ErrorData", __LINE__, "No SrcLookupTable found", kLogModeAlways, false);
    } else {
      const SrcLineEntry* row = g_srcTable.load()->getMatch(SrcLineKey(primary, secondary), true);
      if (row != nullptr) {
        setSrc(row->getSrc());
        clearSlotIdOrder();
        setSlotIdOrder(row->getPihPositions());
        setEventName(row->getEventName());
        setLogMode(row->getLogMode());
        setFedcOptions(row->getFedcOptions());
        setLogClassType(row->getLogClassType());
        setLogType(row->getLogType());
        setLogUser(row->getLogUser());
        setLogStatus(row->getLogStatus());
        setTrailer(row->getTrailer());
      } else {
        char text[256];
        std::snprintf(text, sizeof text, "No SRC definition found for PrimKey='%s' and SecKey='%s'",
                      primary.c_str(), secondary.c_str());
        KAV_TRACE_STR(KAVE, "%s", text);
      }
    }
  } else {
    setFedcOptions(1);
  }

  if (!isSrcDefined()) {
    char text[320];
    std::snprintf(text, sizeof text, "No SRC found in SRC Lookup table for %s='%s', %s='%s'",
                  get_string_by_id(kPrimaryKeyLabelId).c_str(), primary.c_str(),
                  get_string_by_id(kSecondaryKeyLabelId).c_str(), secondary.c_str());
    KAV_TRACE_STR(KAVE, "%s", text);
  }

  ErrorDataContainer* c = writableContainer();
  c->m_srcExtension.setSlotId(pihs, c->m_slotIdOrder);
}

kavstl::string ErrorData::getDumpTree(KavPtr<const QueryBase> root) {
  if (root.isNull()) return kavstl::string();
  return kavstl::string();
}

kavstl::string ErrorData::getDumpTree(void (*writer)(std::ostream&)) {
  if (writer == nullptr) return kavstl::string();
  return kavstl::string();
}

bool ErrorData::initSrcLookup() {
  if (g_srcTable.load() != nullptr) return true;
  // Without the configuration variables the file lookup would end the
  // process; logging an error must not (a tool, a unit test).
  if (std::getenv("FACADEXMLPATH") == nullptr || std::getenv("FACADEFILELIST") == nullptr) {
    KAV_TRACE(KAVE, "ErrorData::initSrcLookup without configuration");
    return false;
  }
  std::lock_guard<std::mutex> guard(g_srcTableLock);
  if (g_srcTable.load() != nullptr) return true;
  auto* table = new XmlLookupTable<SrcLineEntry>();
  BaseErrorData rc = table->readXmlTable("SrcEntry");
  KAV_TRACE(KAVT, "ErrorData::initSrcLookup rows=%u rc=0x%08X", table->elementCount(), rc.getRc());
  if (table->elementCount() == 0) {
    // No table to search: the next log tries again.
    delete table;
    return false;
  }
  g_srcTable.store(table);
  return true;
}
