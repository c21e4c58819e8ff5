// A row of the file list ("ID1"): the main type (attribute "mainType"), the
// top element's name ("Name"), the parse name ("parseName") and the files
// per sub type ("ID2" children).
#ifndef KAV_DIAG_LOOKUPMAINENTRY_H
#define KAV_DIAG_LOOKUPMAINENTRY_H

#include "kav/diag/LookupMainKey.h"
#include "kav/diag/LookupSubEntry.h"
#include "kav/diag/XmlLineEntry.h"
#include "kav/diag/XmlLookupTable.h"

class LookupMainEntry : public XmlLineEntry<LookupMainKey> {
 public:
  static const char* getEntryName() { return "ID1"; }

  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  const kavstl::string& getName() const { return m_name; }
  const kavstl::string& getParseName() const { return m_parseName; }
  const XmlLookupTable<LookupSubEntry>& getSubEntries() const { return m_subEntries; }
  // The row of the sub type, else the row of "Any", else null.
  const LookupSubEntry* getSubEntry(const kavstl::string& subType) const;

 private:
  kavstl::string m_name;
  kavstl::string m_parseName;
  XmlLookupTable<LookupSubEntry> m_subEntries;
};

#endif
