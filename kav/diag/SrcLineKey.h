// Key of an SRC table row: primary and secondary key texts, ordered by
// primary, then secondary. A row without secondary key has an empty one.
#ifndef KAV_DIAG_SRCLINEKEY_H
#define KAV_DIAG_SRCLINEKEY_H

#include "kav/diag/XmlLineKey.h"
#include "kav/tree/objects/kavstl.h"

class SrcLineKey : public XmlLineKey<SrcLineKey> {
 public:
  SrcLineKey() = default;
  SrcLineKey(const kavstl::string& primary, const kavstl::string& secondary);

  bool operator<(const SrcLineKey& other) const;
  kavstl::string asString() const;

  kavstl::string m_primaryKey;
  kavstl::string m_secondaryKey;
};

#endif
