// Key of a file-list sub row ("ID2"): the sub type.
#ifndef KAV_DIAG_LOOKUPSUBKEY_H
#define KAV_DIAG_LOOKUPSUBKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class LookupSubKey : public XmlLineKey<LookupSubKey> {
 public:
  LookupSubKey() = default;
  explicit LookupSubKey(const kavstl::string& subType) : m_subType(subType) {}

  bool operator<(const LookupSubKey& other) const { return m_subType < other.m_subType; }
  kavstl::string asString() const { return m_subType; }

  kavstl::string m_subType;
};

#endif
