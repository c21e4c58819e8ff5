// Checks the XML source of the string-id table against the ids the code
// fixes (kav/tree/config/StringIds.h): the n-th "StringIdEntry" row gives id n its
// text, so every fixed id must find its text on its row, and no text may
// appear twice (a repeated text would get the earlier id).
#ifndef TOOLS_KAVXML_STRINGIDTABLECHECK_H
#define TOOLS_KAVXML_STRINGIDTABLECHECK_H

#include <cstddef>
#include <string>

namespace kavxml {

class StringIdTableCheck {
 public:
  // True if the table matches; otherwise false with a message that starts
  // with "line L, column C: " where a row is at fault.
  bool check(const char* text, std::size_t size, std::string& error);
  unsigned rows() const { return m_rows; }

 private:
  unsigned m_rows = 0;
};

}  // namespace kavxml

#endif
