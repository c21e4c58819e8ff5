// A row of the string-id table ("StringIdEntry"): the n-th row in file order
// (counted from 1) gives string id n the text of its attribute "String".
// The text is read by attribute name, not by string id: this table is what
// gives the string ids their texts.
#ifndef KAV_DIAG_STRINGTOIDLINEENTRY_H
#define KAV_DIAG_STRINGTOIDLINEENTRY_H

#include "kav/diag/StringToIdLineKey.h"
#include "kav/diag/XmlLineEntry.h"

class StringToIdLineEntry : public XmlLineEntry<StringToIdLineKey> {
 public:
  static const char* getEntryName() { return "StringIdEntry"; }

  // The key is index + 1. A row without "String" has no key (0x7145).
  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  const kavstl::string& getText() const { return m_text; }

 private:
  kavstl::string m_text;
};

#endif
