// Turns a binary configuration file back into XML text, reading it through
// the library's own reader.
#ifndef TOOLS_KAVXML_XMLDUMPER_H
#define TOOLS_KAVXML_XMLDUMPER_H

#include <ostream>
#include <string>

namespace kavxml {

class XmlDumper {
 public:
  // Writes the document of the file at `path` to `out`. False (with a
  // message in `error`) when the library's reader yields no tree.
  bool dump(const std::string& path, std::ostream& out, std::string& error);
};

}  // namespace kavxml

#endif
