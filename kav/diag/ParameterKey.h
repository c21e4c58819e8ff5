// Key of a parameter row: the parameter's name.
#ifndef KAV_DIAG_PARAMETERKEY_H
#define KAV_DIAG_PARAMETERKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class ParameterKey : public XmlLineKey<ParameterKey> {
 public:
  ParameterKey() = default;
  explicit ParameterKey(const kavstl::string& name) : m_name(name) {}

  bool operator<(const ParameterKey& other) const { return m_name < other.m_name; }
  kavstl::string asString() const { return m_name; }

  kavstl::string m_name;
};

#endif
