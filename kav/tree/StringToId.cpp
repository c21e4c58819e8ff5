#include "kav/tree/StringToId.h"

#include "kav/runtime/KavTrace.h"

namespace {
StringToId* g_instance = nullptr;
std::mutex g_instanceLock;
}  // namespace

StringToId* StringToId::getInstance() {
  std::lock_guard<std::mutex> g(g_instanceLock);
  if (g_instance == nullptr) g_instance = new StringToId();
  return g_instance;
}

void StringToId::destroyInstance() {
  std::lock_guard<std::mutex> g(g_instanceLock);
  delete g_instance;
  g_instance = nullptr;
}

StringToId::StringToId() { intern("STRING_NOT_FOUND"); }

unsigned int StringToId::intern(const kavstl::string& text) {
  auto it = m_map.find(text);
  if (it != m_map.end()) return it->second;
  it = m_map.emplace(text, m_count).first;
  m_byId.push_back(it);
  return m_count++;
}

unsigned int StringToId::getIdByString(const kavstl::string& text) {
  std::lock_guard<std::mutex> g(m_lock);
  return intern(text);
}

const kavstl::string& StringToId::getStringById(unsigned int id) {
  std::lock_guard<std::mutex> g(m_lock);
  if (id >= m_byId.size()) {
    KAV_TRACE(KAVE, "getStringById(%u) not found, count %u", id, m_count);
    return m_byId[0]->first;
  }
  return m_byId[id]->first;
}

unsigned int StringToId::getContainedStringCount() {
  std::lock_guard<std::mutex> g(m_lock);
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
