// Every name inside the library is a 32-bit string id. Ids are handed out in
// order of first use, without gaps, and never removed; id 0 is
// "STRING_NOT_FOUND". The ids the code refers to are fixed numbers (see
// StringIds.h) that the string-id table file assigns to their texts: the
// table is read when the first id is asked for, and a table that does not
// give every row its own number ends the process.
#ifndef KAV_TREE_STRINGTOID_H
#define KAV_TREE_STRINGTOID_H

#include <map>
#include <vector>

#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/tree/BaseErrorData.h"
#include "kav/tree/KavExport.h"
#include "kav/tree/kavstl.h"

class KAV_EXPORT StringToId {
 public:
  static StringToId* getInstance();
  static void destroyInstance();

  unsigned int getIdByString(const kavstl::string& text);
  // The text of the id. An id not yet assigned is logged as an internal
  // error (0x7111) and answers the text of id 0.
  const kavstl::string& getStringById(unsigned int id);
  unsigned int getContainedStringCount();

  // Checks a string-id table against the ids already interned: row k (from 1)
  // must get id k. Interns the texts. Used by the constructor; returns 0x7110
  // for the first missing row or mismatch.
  BaseErrorData checkTable(const kavstl::vector<const kavstl::string*>& rowsByKey);

 private:
  StringToId();
  ~StringToId() = default;
  StringToId(const StringToId&) = delete;
  StringToId& operator=(const StringToId&) = delete;
  unsigned int intern(const kavstl::string& text);
  BaseErrorData readTable();

  std::map<kavstl::string, unsigned int> m_map;
  std::vector<std::map<kavstl::string, unsigned int>::const_iterator> m_byId;
  IFOSRcFastMutex m_lock;
  unsigned int m_count = 0;
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
