// A set of named parameters, read from the "ParameterEntry" children of a
// configuration node (name in attribute id 151, value in id 240) or filled
// with addValue(). Attributes can be read from it like from a node.
#ifndef KAV_TREE_PARAMETERSET_H
#define KAV_TREE_PARAMETERSET_H

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/config/StringAttributeProvider.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

class ParameterSet : public StringAttributeProvider {
 public:
  ParameterSet() = default;
  ~ParameterSet() override = default;

  // Adds the node's "ParameterEntry" children; a name already present keeps
  // its first value (0x7013).
  BaseErrorData readParameterSet(const BinaryReaderNode* node);
  // False when the name is already present (the first value stays).
  bool addValue(const kavstl::string& name, const kavstl::string& value);
  // The value of the parameter, or null (traced unless `quiet`).
  const kavstl::string* getValue(const kavstl::string& name, bool quiet) const;
  unsigned int getAttributeValue(const kavstl::string& name, kavstl::string& value, bool optional) const override;
  unsigned int size() const { return static_cast<unsigned int>(m_entries.size()); }

 private:
  kavstl::map<kavstl::string, kavstl::string> m_entries;
};

#endif
