// Every name inside the library is a 32-bit string id. Ids are handed out in
// order of first use, without gaps, and never removed; id 0 is
// "STRING_NOT_FOUND". The ids the code refers to are fixed numbers (see
// StringIds.h) that the string-id table file assigns to their texts: the
// table is read by the first lookup that finds "FACADEXMLPATH" and
// "FACADEFILELIST" set, and a table that does not give every row its own
// number ends the process.
//
// A text first seen before the table is read gets an id from a range of its
// own (kFirstEarlyId upwards), so that it cannot take a number the table
// assigns. Such an id keeps answering its text for good. When the table
// names the text, the text's id from then on is the table's number; an
// early text the table does not name keeps its early id.
#ifndef KAV_TREE_STRINGTOID_H
#define KAV_TREE_STRINGTOID_H

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT StringToId {
 public:
  static StringToId* getInstance();
  static void destroyInstance();

  unsigned int getIdByString(const kavstl::string& text);
  // The text of the id. An id not yet assigned is logged as an internal
  // error (0x7111) and answers the text of id 0.
  const kavstl::string& getStringById(unsigned int id);
  unsigned int getContainedStringCount();

  // First id of the texts seen before the table was read.
  static constexpr unsigned int kFirstEarlyId = 0x80000000u;

  // Checks a string-id table against the ids already interned: row k (from 1)
  // must get id k. Interns the texts; a text seen before the table takes the
  // number of its row. Used when the table is read; returns 0x7110 for the
  // first missing row or mismatch.
  BaseErrorData checkTable(const kavstl::vector<const kavstl::string*>& rowsByKey);

 private:
  StringToId();
  ~StringToId() = default;
  StringToId(const StringToId&) = delete;
  StringToId& operator=(const StringToId&) = delete;
  typedef std::map<kavstl::string, unsigned int> Map;
  // The id of the text; a new text gets the next id, or with `early` the
  // next early id. The caller holds m_lock.
  unsigned int intern(const kavstl::string& text, bool early);
  // Reads the table when the configuration variables have been set since
  // the last lookup; a table that does not fit ends the process.
  void readTableWhenConfigured();
  BaseErrorData readTable();

  Map m_map;
  std::vector<Map::iterator> m_byId;
  IFOSRcFastMutex m_lock;
  unsigned int m_count = 0;
  // The texts seen before the table was read, by id - kFirstEarlyId.
  std::vector<Map::iterator> m_early;
  std::atomic<bool> m_tableRead{false};
  std::mutex m_tableLock;  // one reader of the table; the others wait for it
};

KAV_EXPORT unsigned int get_id_by_string(const kavstl::string& text);
KAV_EXPORT const kavstl::string& get_string_by_id(unsigned int id);
// Id of text(baseId) followed by index in decimal, padded on the left with
// "0" to at least `width` digits ("Slot", 7, 3 -> "Slot007").
KAV_EXPORT unsigned int get_indexed_string_id(unsigned int baseId, unsigned int index, unsigned int width);
// Id of text(nameId) + "-Link_" + link + "-Engine_" + engine.
KAV_EXPORT unsigned int get_engine_instance_name_id(unsigned int nameId, unsigned int link, unsigned int engine);
// Id of the texts of all ids joined without separator.
KAV_EXPORT unsigned int get_concatenation_string_id(const kavstl::vector<unsigned int>& ids);

#endif
