// One element of a configuration file: name, text content, attributes and
// children, as read by BinaryReaderParser. A node owns its children. Trees are
// read-only once built and shared by all threads without locks.
#ifndef KAV_TREE_BINARYREADERNODE_H
#define KAV_TREE_BINARYREADERNODE_H

#include <cstddef>

#include "kav/tree/config/StringAttributeProvider.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode : public StringAttributeProvider {
 public:
  typedef kavstl::list<const BinaryReaderNode*> NodeList_t;
  typedef kavstl::map<kavstl::string, kavstl::string> AttributeMap_t;

  // The flag is kept for the builders' interface; every node is built the same way.
  explicit BinaryReaderNode(bool textNode = false);
  ~BinaryReaderNode() override;
  BinaryReaderNode(const BinaryReaderNode&) = delete;
  BinaryReaderNode& operator=(const BinaryReaderNode&) = delete;

  // Nodes come from their own memory pool once initMemoryPool() ran.
  static void* operator new(std::size_t size);
  static void operator delete(void* p);
  static void initMemoryPool();
  // Deletes the pool once no node from it is alive.
  static void terminateMemoryPool();
  static bool isPoolActive();

  const kavstl::string& getName() const { return m_name; }
  const kavstl::string& getValue() const { return m_value; }
  const NodeList_t& getChildren() const { return m_children; }
  // Appends, in order, the direct children named `name`.
  void getChildrenWithNodeName(const kavstl::string& name, NodeList_t& list) const;
  const BinaryReaderNode* getFirstChild() const;
  bool hasChildren() const { return !m_children.empty(); }
  short getParentNumber() const { return m_parentNumber; }
  short getSequenceNumber() const { return m_sequenceNumber; }
  const AttributeMap_t& getAttributes() const { return m_attributes; }

  unsigned int getAttributeValue(const kavstl::string& name, kavstl::string& value, bool optional) const override;

  // Builders used by the reader (and tests).
  void setFieldsOfNode(const kavstl::string& name, short sequence, short parent);
  void setName(const kavstl::string& name) { m_name = name; }
  void setSequenceNumber(short n) { m_sequenceNumber = n; }
  void setParentNumber(short n) { m_parentNumber = n; }
  void setTextNode(const kavstl::string& text) { m_value = text; }
  void appendText(const kavstl::string& text) { m_value += text; }
  // Takes ownership of the child.
  void addChild(const BinaryReaderNode* child);
  // The first value added under a name stays.
  void addAttribute(const kavstl::string& name, const kavstl::string& value);

  // Compare name, value, attributes and children (recursively).
  bool operator==(const BinaryReaderNode& other) const;
  bool operator!=(const BinaryReaderNode& other) const { return !(*this == other); }
  bool operator<(const BinaryReaderNode& other) const;

 private:
  kavstl::string m_name;
  kavstl::string m_value;
  short m_parentNumber = 0;
  short m_sequenceNumber = 0;
  AttributeMap_t m_attributes;
  NodeList_t m_children;
};

#endif
