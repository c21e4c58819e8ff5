#include "kav/tree/config/StringToId.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "kav/diag/StringToIdLineEntry.h"
#include "kav/diag/XmlLookupTable.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

namespace {
std::atomic<StringToId*> g_instance{nullptr};
std::mutex g_instanceLock;
// Set while this thread reads the table: a string id asked for from inside
// the table reading would wait for itself.
thread_local bool t_building = false;

const unsigned int kTableMismatch = 0x7110;
const unsigned int kUnknownId = 0x7111;

BaseErrorData stringError(unsigned int rc, const kavstl::string& text) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  err << text;
  err = rc;
  err.setEventName("KavString");
  err.setLogMode(2);
  return err;
}

bool configured() { return std::getenv("FACADEXMLPATH") != nullptr && std::getenv("FACADEFILELIST") != nullptr; }
}  // namespace

StringToId* StringToId::getInstance() {
  StringToId* p = g_instance.load(std::memory_order_acquire);
  if (p != nullptr) return p;
  std::lock_guard<std::mutex> g(g_instanceLock);
  p = g_instance.load(std::memory_order_relaxed);
  if (p == nullptr) {
    p = new StringToId();
    g_instance.store(p, std::memory_order_release);
  }
  return p;
}

void StringToId::destroyInstance() {
  std::lock_guard<std::mutex> g(g_instanceLock);
  delete g_instance.exchange(nullptr);
}

StringToId::StringToId() { intern("STRING_NOT_FOUND", false); }

void StringToId::readTableWhenConfigured() {
  if (m_tableRead.load(std::memory_order_acquire)) return;
  if (t_building) {
    KAV_TRACE(KAVE, "StringToId used while its table is read");
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, "StringToId used while its table is read", 0, 0);
  }
  // Without the configuration variables there is no table to read yet:
  // texts get early ids until a lookup finds the variables set (a process
  // that never sets them, a tool or a unit test, keeps early ids and the
  // fixed ids lack their texts). The library itself cannot start without
  // the variables (the file lookup ends the process).
  if (!configured()) return;
  std::lock_guard<std::mutex> g(m_tableLock);
  if (m_tableRead.load(std::memory_order_relaxed)) return;
  t_building = true;
  BaseErrorData err = readTable();
  if (err != 0) {
    // Still building: the process ends here, nothing may look up ids.
    KAV_TRACE(KAVE, "StringToId: string-id table does not fit the code rc=0x%08X", err.getRcWithoutLogFlag());
    err.microcodeLog("kav/StringToId", __LINE__, "StringToId: the string-id table does not match the code", 2,
                     false);
    percAbend(0xF0D1, nullptr, 0, err.getRcWithoutLogFlag(), 0, 0, err.getErrorBuffer(), 0, 0);
  }
  t_building = false;
  {
    // Under the lock: a text is early exactly when it was interned before
    // the table's texts.
    IFOSGuard<IFOSRcFastMutex> l(m_lock);
    m_tableRead.store(true, std::memory_order_release);
  }
  KAV_TRACE(KAVT, "StringToId: %u texts with the table", getContainedStringCount());
}

BaseErrorData StringToId::readTable() {
  XmlLookupTable<StringToIdLineEntry> table;
  BaseErrorData err = table.readXmlTable(StringToIdLineEntry::getEntryName());
  if (err != 0) return err;
  // Rows are numbered 1, 2, 3 ... in file order; row k must give id k.
  kavstl::vector<const kavstl::string*> rows(table.elementCount() + 1, nullptr);
  for (unsigned int k = 1; k < rows.size(); ++k) {
    const StringToIdLineEntry* e = table.getMatch(StringToIdLineKey(k), true);
    if (e != nullptr) rows[k] = &e->getText();
  }
  return checkTable(rows);
}

BaseErrorData StringToId::checkTable(const kavstl::vector<const kavstl::string*>& rowsByKey) {
  IFOSGuard<IFOSRcFastMutex> g(m_lock);
  for (unsigned int k = 1; k < rowsByKey.size(); ++k) {
    if (rowsByKey[k] == nullptr) {
      KAV_TRACE(KAVE, "StringToId: no row for key %u", k);
      return stringError(kTableMismatch, "StringToId::StringToId() no match found for key '" + std::to_string(k) + "'");
    }
    Map::iterator it = m_map.find(*rowsByKey[k]);
    unsigned int id = 0;
    if (it != m_map.end() && it->second >= kFirstEarlyId) {
      // Seen before the table: the text takes the number of its row; its
      // early id still answers the text.
      id = static_cast<unsigned int>(m_byId.size());
      it->second = id;
      m_byId.push_back(it);
    } else {
      id = intern(*rowsByKey[k], false);
    }
    if (id != k) {
      KAV_TRACE_STR(KAVE, "StringToId: %s got id %u, expected %u", *rowsByKey[k], id, k);
      return stringError(kTableMismatch, "StringToId::getIdByString('" + *rowsByKey[k] + "') returned " +
                                             std::to_string(id) + ", expected id is '" + std::to_string(k) + "'");
    }
  }
  return BaseErrorData(BaseErrorData::NO_OVERWRITE);
}

unsigned int StringToId::intern(const kavstl::string& text, bool early) {
  Map::iterator it = m_map.find(text);
  if (it != m_map.end()) return it->second;
  ++m_count;
  if (early) {
    // Before the table: out of the way of the numbers it assigns.
    it = m_map.emplace(text, kFirstEarlyId + static_cast<unsigned int>(m_early.size())).first;
    m_early.push_back(it);
    return it->second;
  }
  it = m_map.emplace(text, static_cast<unsigned int>(m_byId.size())).first;
  m_byId.push_back(it);
  return it->second;
}

unsigned int StringToId::getIdByString(const kavstl::string& text) {
  readTableWhenConfigured();
  IFOSGuard<IFOSRcFastMutex> g(m_lock);
  return intern(text, !m_tableRead.load(std::memory_order_relaxed));
}

const kavstl::string& StringToId::getStringById(unsigned int id) {
  readTableWhenConfigured();
  unsigned int count = 0;
  {
    IFOSGuard<IFOSRcFastMutex> g(m_lock);
    if (id < m_byId.size()) return m_byId[id]->first;
    if (id >= kFirstEarlyId && id - kFirstEarlyId < m_early.size()) return m_early[id - kFirstEarlyId]->first;
    count = m_count;
  }
  // Logged outside the lock: logging may itself ask for texts.
  KAV_TRACE(KAVE, "StringToId::getStringById(%u) not found, count %u", id, count);
  BaseErrorData err = stringError(kUnknownId, "StringToId::getStringById(" + std::to_string(id) +
                                                  ") not found, max supported id is '" +
                                                  std::to_string(count - 1) + "'");
  err.microcodeLog("kav/StringToId", __LINE__, "StringToId::getStringById: unknown id", 2, false);
  IFOSGuard<IFOSRcFastMutex> g(m_lock);
  return m_byId[0]->first;
}

unsigned int StringToId::getContainedStringCount() {
  readTableWhenConfigured();
  IFOSGuard<IFOSRcFastMutex> g(m_lock);
  return m_count;
}

unsigned int get_id_by_string(const kavstl::string& text) { return StringToId::getInstance()->getIdByString(text); }

const kavstl::string& get_string_by_id(unsigned int id) { return StringToId::getInstance()->getStringById(id); }

unsigned int get_indexed_string_id(unsigned int baseId, unsigned int index, unsigned int width) {
  kavstl::string digits = std::to_string(index);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return get_id_by_string(get_string_by_id(baseId) + digits);
}

unsigned int get_engine_instance_name_id(unsigned int nameId, unsigned int link, unsigned int engine) {
  return get_id_by_string(get_string_by_id(nameId) + "-Link_" + std::to_string(link) + "-Engine_" +
                          std::to_string(engine));
}

unsigned int get_concatenation_string_id(const kavstl::vector<unsigned int>& ids) {
  kavstl::string text;
  for (unsigned int id : ids) text += get_string_by_id(id);
  return get_id_by_string(text);
}
