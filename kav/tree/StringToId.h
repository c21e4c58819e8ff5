// Every name inside the library is a 32-bit string id. Ids are handed out in
// order of first use, without gaps, and never removed; id 0 is
// "STRING_NOT_FOUND". The ids the code refers to are fixed numbers (see
// StringIds.h) that the string-id table file assigns to their texts.
#ifndef KAV_TREE_STRINGTOID_H
#define KAV_TREE_STRINGTOID_H

#include <map>
#include <mutex>
#include <vector>

#include "kav/tree/kavstl.h"

class StringToId {
 public:
  static StringToId* getInstance();
  static void destroyInstance();

  unsigned int getIdByString(const kavstl::string& text);
  // The text of the id; an unknown id answers the text of id 0.
  const kavstl::string& getStringById(unsigned int id);
  unsigned int getContainedStringCount();

 private:
  StringToId();
  unsigned int intern(const kavstl::string& text);

  std::map<kavstl::string, unsigned int> m_map;
  std::vector<std::map<kavstl::string, unsigned int>::const_iterator> m_byId;
  std::mutex m_lock;
  unsigned int m_count = 0;
};

unsigned int get_id_by_string(const kavstl::string& text);
const kavstl::string& get_string_by_id(unsigned int id);
// Id of text(baseId) followed by index in decimal, padded on the left with
// "0" to at least `width` digits ("Slot", 7, 3 -> "Slot007").
unsigned int get_indexed_string_id(unsigned int baseId, unsigned int index, unsigned int width);
// Id of text(nameId) + "-Link_" + link + "-Engine_" + engine.
unsigned int get_engine_instance_name_id(unsigned int nameId, unsigned int link, unsigned int engine);
// Id of the texts of all ids joined without separator.
unsigned int get_concatenation_string_id(const kavstl::vector<unsigned int>& ids);

#endif
