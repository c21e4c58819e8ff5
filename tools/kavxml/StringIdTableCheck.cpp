#include "tools/kavxml/StringIdTableCheck.h"

#include <map>

#include <pugixml.hpp>

#include "kav/tree/config/StringIds.h"
#include "tools/kavxml/XmlCompiler.h"

namespace kavxml {

bool StringIdTableCheck::check(const char* text, std::size_t size, std::string& error) {
  m_rows = 0;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text, size, pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    error = XmlCompiler::position(text, size, parsed.offset) + ": " + parsed.description();
    return false;
  }
  pugi::xml_node root = doc.document_element();
  std::map<std::string, unsigned> seen{{kav::sid::kFixedStringIds[0].text, 0}};
  unsigned id = 0;
  for (pugi::xml_node row : root.children("StringIdEntry")) {
    ++id;
    const std::string where = XmlCompiler::position(text, size, row.offset_debug()) + ": ";
    pugi::xml_attribute attr = row.attribute("String");
    if (!attr) {
      error = where + "row " + std::to_string(id) + " has no attribute String";
      return false;
    }
    std::string value = attr.value();
    const char* fixed = kav::sid::fixedStringText(id);
    if (fixed != nullptr && value != fixed) {
      error = where + "row " + std::to_string(id) + " is '" + value + "' but the code's fixed id " +
              std::to_string(id) + " needs '" + fixed + "'";
      return false;
    }
    auto dup = seen.emplace(value, id);
    if (!dup.second) {
      error = where + "row " + std::to_string(id) + " repeats '" + value + "' of id " +
              std::to_string(dup.first->second);
      return false;
    }
  }
  m_rows = id;
  for (std::size_t i = 0; i < kav::sid::kFixedStringIdCount; ++i) {
    if (kav::sid::kFixedStringIds[i].id > id) {
      error = XmlCompiler::position(text, size, static_cast<std::ptrdiff_t>(size)) + ": the table ends at id " +
              std::to_string(id) + " but the code fixes id " + std::to_string(kav::sid::kFixedStringIds[i].id) +
              " as '" + kav::sid::kFixedStringIds[i].text + "'";
      return false;
    }
  }
  return true;
}

}  // namespace kavxml
