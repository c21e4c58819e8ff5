// What a tree class's setAttributes() receives: the parent object, the node's
// own attributes (local) and the context node of the file (file attributes).
#ifndef KAV_TREE_ATTRIBUTEINFO_H
#define KAV_TREE_ATTRIBUTEINFO_H

class QueryBase;
class BinaryReaderNode;

class AttributeInfo {
 public:
  AttributeInfo(QueryBase* parent, const BinaryReaderNode* local, const BinaryReaderNode* file);

  QueryBase* getParent() const;
  const BinaryReaderNode* getLocalAttributes() const { return m_local; }
  const BinaryReaderNode* getFileAttributes() const { return m_file; }

 private:
  QueryBase* m_parent;
  const BinaryReaderNode* m_local;
  const BinaryReaderNode* m_file;
};

#endif
