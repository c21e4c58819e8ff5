// A row of a parameter table ("ParameterEntry"): name (string id 151) and
// value (string id 240).
#ifndef KAV_DIAG_PARAMETERENTRY_H
#define KAV_DIAG_PARAMETERENTRY_H

#include "kav/diag/ParameterKey.h"
#include "kav/diag/XmlLineEntry.h"

class ParameterEntry : public XmlLineEntry<ParameterKey> {
 public:
  static const char* getEntryName() { return "ParameterEntry"; }

  // A row without name has no key; a missing value reads as empty (0x7145).
  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  const kavstl::string& getValue() const { return m_value; }

 private:
  kavstl::string m_value;
};

#endif
