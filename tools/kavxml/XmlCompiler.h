// Compiles an XML document into the binary configuration format.
//
// Every occurrence (element, attribute name, attribute value, text) gets an
// id in document order: the element, its attributes in name order (name k,
// value k + 1), its text, then its children; the root element is id 1. Each
// string is stored once per role; the element records are split into runs
// so that the reader meets the children of every element in document order.
#ifndef TOOLS_KAVXML_XMLCOMPILER_H
#define TOOLS_KAVXML_XMLCOMPILER_H

#include <cstddef>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace kavxml {

struct DocumentStats {
  unsigned elements = 0;
  unsigned attributes = 0;
  unsigned texts = 0;
  unsigned records = 0;
  unsigned entryCount = 0;   // E
  unsigned maxList = 0;      // M
  unsigned stringTable = 0;  // S
};

class XmlCompiler {
 public:
  // Parses XML text and compiles it. On failure returns false with a message
  // that starts with "line L, column C: " where the text gives a position.
  bool compileText(const char* text, std::size_t size, std::vector<unsigned char>& out, std::string& error);

  // Compiles the element `root` and everything below it. Returns false (and
  // names the violated limit in `error`) for a document the format cannot
  // hold; `nodeOffset` is then the offset of the offending node in the text,
  // or -1 when the whole document is meant.
  bool compile(const pugi::xml_node& root, std::vector<unsigned char>& out, std::string& error,
               std::ptrdiff_t& nodeOffset);

  const DocumentStats& stats() const { return m_stats; }

  // "line L, column C" of a byte offset in `text`.
  static std::string position(const char* text, std::size_t size, std::ptrdiff_t offset);

 private:
  DocumentStats m_stats;
};

}  // namespace kavxml

#endif
