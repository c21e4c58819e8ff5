// The build interface every tree object embeds: the tree builder (Facade)
// and the card builders create, configure and link objects only through it.
#ifndef KAV_TREE_BUILDBASE_H
#define KAV_TREE_BUILDBASE_H

#include "kav/tree/objects/KavExport.h"

class BaseErrorData;
class BinaryReaderNode;
class QueryBase;

class KAV_EXPORT BuildBase {
 public:
  // `object` is the tree object that embeds this interface.
  explicit BuildBase(QueryBase* object);
  virtual ~BuildBase();

  BuildBase(const BuildBase&) = delete;
  BuildBase& operator=(const BuildBase&) = delete;

  // Gives the object the attributes of its configuration element: builds an
  // AttributeInfo from the parent's tree object (null without a parent), the
  // element and the context node, and returns the object's setAttributes.
  virtual BaseErrorData setAttributes(const BinaryReaderNode* node, const BinaryReaderNode* context,
                                      BuildBase* parent);
  // Sets the object's instance id.
  virtual void setName(unsigned int id);
  // Links the child's tree object under this object.
  virtual BaseErrorData addChild(BuildBase* child);

  QueryBase* getQueryBase() const { return m_pQueryBase; }

 private:
  QueryBase* m_pQueryBase;
};

#endif
