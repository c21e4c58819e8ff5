// Base of the rows of a lookup table (XmlLookupTable<T>): a row holds its key
// of type K and reads itself from one configuration node. Each row type T
// also provides `static const char* getEntryName()`, the element name of its
// rows.
#ifndef KAV_DIAG_XMLLINEENTRY_H
#define KAV_DIAG_XMLLINEENTRY_H

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

template <class K>
class XmlLineEntry {
 public:
  typedef K Key_t;

  XmlLineEntry() = default;
  virtual ~XmlLineEntry() = default;
  XmlLineEntry(const XmlLineEntry&) = delete;
  XmlLineEntry& operator=(const XmlLineEntry&) = delete;

  // Reads the row from `node`; `index` counts the rows of the table from 0.
  virtual BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) = 0;
  // The key as text, for traces.
  virtual kavstl::string keyAsString() const = 0;

  const K& getKey() const { return m_key; }
  // False when the row's key could not be read; such a row is not added.
  bool hasKey() const { return m_hasKey; }

 protected:
  K m_key;
  bool m_hasKey = true;
};

#endif
