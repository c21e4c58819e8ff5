// Checks a binary configuration file completely: header, version, checksum
// and every record, against everything the library's reader relies on.
#ifndef TOOLS_KAVXML_BINARYCHECKER_H
#define TOOLS_KAVXML_BINARYCHECKER_H

#include <cstddef>
#include <string>
#include <vector>

#include "tools/kavxml/XmlCompiler.h"

namespace kavxml {

class BinaryChecker {
 public:
  // True if the file is sound; otherwise false with a message that starts
  // with "offset N: " (the byte offset of the fault in the file).
  bool check(const std::vector<unsigned char>& file, std::string& error);

  // Counts of the checked file (valid after a successful check).
  const DocumentStats& stats() const { return m_stats; }

 private:
  DocumentStats m_stats;
};

}  // namespace kavxml

#endif
