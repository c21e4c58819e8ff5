// A sub row of the file list ("ID2"): the sub type (attribute "subType") and
// the file name (the element's text).
#ifndef KAV_DIAG_LOOKUPSUBENTRY_H
#define KAV_DIAG_LOOKUPSUBENTRY_H

#include "kav/diag/LookupSubKey.h"
#include "kav/diag/XmlLineEntry.h"

class LookupSubEntry : public XmlLineEntry<LookupSubKey> {
 public:
  static const char* getEntryName() { return "ID2"; }

  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  const kavstl::string& getFileName() const { return m_fileName; }

 private:
  kavstl::string m_fileName;
};

#endif
