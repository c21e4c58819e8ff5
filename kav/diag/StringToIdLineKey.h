// Key of a string-id table row: its running number from 1, which is the
// string id the row's text must get.
#ifndef KAV_DIAG_STRINGTOIDLINEKEY_H
#define KAV_DIAG_STRINGTOIDLINEKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class StringToIdLineKey : public XmlLineKey<StringToIdLineKey> {
 public:
  StringToIdLineKey() = default;
  explicit StringToIdLineKey(unsigned int number) : m_number(number) {}

  bool operator<(const StringToIdLineKey& other) const { return m_number < other.m_number; }
  kavstl::string asString() const { return std::to_string(m_number); }

  unsigned int m_number = 0;
};

#endif
