// The tree builder: turns a configuration file into a tree of objects. Every
// element names its class (string id 4) and library (id 6); the class's
// factory ("create" + class name) makes the object, which then receives the
// element's attributes and is linked under its parent; child elements become
// child objects, in document order. An element whose attribute id 61 is
// "true" is skipped with its subtree. A Facade is made for one build.
#ifndef KAV_TREE_FACADE_H
#define KAV_TREE_FACADE_H

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;
class BuildBase;

class KAV_EXPORT Facade {
 public:
  Facade();
  ~Facade();
  Facade(const Facade&) = delete;
  Facade& operator=(const Facade&) = delete;

  // Builds the tree of the file the file list names for (mainType,
  // subType). With *top null a new top object is made from the top element
  // and stored in *top; an existing *top only receives the top element's
  // attributes and children. `context` is handed to every setAttributes.
  // 0x7140 file not readable, 0x7141/0x7142 no file-list entry, 0x7148 no
  // top element, 0x7143/0x7144/0x7150/0x7151 no top object; each is logged as
  // an internal error. A new top object whose attributes fail goes to the
  // garbage collector and *top is set back to null.
  BaseErrorData buildTree(const kavstl::string& mainType, const kavstl::string& subType, BuildBase** top,
                          const BinaryReaderNode* context);
  // The first direct child of `root` named `name` (0x7148 when none).
  BaseErrorData findTop(const kavstl::string& name, const BinaryReaderNode* root, const BinaryReaderNode** top);
  // Builds, configures and links an object for every child element of
  // `node`, recursively. Failures are logged per child and the other
  // children are still built; the result is the first of them.
  BaseErrorData makeChildren(const BinaryReaderNode* node, const BinaryReaderNode* context, BuildBase* parent);
  // The object of the element: 0x7144 without class, 0x7143 without library.
  BuildBase* buildObj(const BinaryReaderNode* element, BaseErrorData& rc);
  BuildBase* objFactory(kavstl::string& className, kavstl::string& library, BaseErrorData& rc);

 private:
  char m_tag[7];
  kavstl::string m_mainType;
  kavstl::string m_subType;
};

#endif
