// A plain tree node with its own mutex that groups other objects (a card's
// subtree, the base domain). Its parent is given at construction.
#ifndef KAV_TREE_CONTAINER_H
#define KAV_TREE_CONTAINER_H

#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class BaseErrorData;
class BuildBase;

class KAV_EXPORT Container : public AtomicBase {
  KAV_TREE_CLASS(Container)

 public:
  explicit Container(KavPtr<QueryBase> parent);
  ~Container() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
};

// The factory of the tree builder: a container without parent.
extern "C" KAV_EXPORT BuildBase* createContainer(void* argument, BaseErrorData& rc);

#endif
