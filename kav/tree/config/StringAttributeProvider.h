// Anything attributes can be read from by name: a configuration node or a
// parameter set. The typed attribute readers (AttributeReader.h) work on it.
#ifndef KAV_TREE_STRINGATTRIBUTEPROVIDER_H
#define KAV_TREE_STRINGATTRIBUTEPROVIDER_H

#include "kav/tree/objects/kavstl.h"

class StringAttributeProvider {
 public:
  virtual ~StringAttributeProvider() = default;
  // Copies the value of the attribute `name` into `value` and returns 0; a
  // missing attribute returns 0x7145 (traced unless `optional`).
  virtual unsigned int getAttributeValue(const kavstl::string& name, kavstl::string& value,
                                         bool optional) const = 0;
};

#endif
