// Key of a file-list row ("ID1"): the main type.
#ifndef KAV_DIAG_LOOKUPMAINKEY_H
#define KAV_DIAG_LOOKUPMAINKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class LookupMainKey : public XmlLineKey<LookupMainKey> {
 public:
  LookupMainKey() = default;
  explicit LookupMainKey(const kavstl::string& mainType) : m_mainType(mainType) {}

  bool operator<(const LookupMainKey& other) const { return m_mainType < other.m_mainType; }
  kavstl::string asString() const { return m_mainType; }

  kavstl::string m_mainType;
};

#endif
