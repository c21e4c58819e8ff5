#include "kav/tree/objects/Container.h"

#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BuildBase.h"

KAV_TREE_CLASS_IMPL(Container, AtomicBase)

Container::Container(KavPtr<QueryBase> parent) { setParent(parent); }

Container::~Container() {}

BaseErrorData Container::setAttributes(const AttributeInfo& info) { return QueryBase::setAttributes(info); }

BaseErrorData Container::init(initSequence::Id_t step) { return QueryBase::init(step); }

BaseErrorData Container::terminate(terminateSequence::Id_t step) { return QueryBase::terminate(step); }

BuildBase* createContainer(void*, BaseErrorData&) {
  Container* c = new Container(KavPtr<QueryBase>());
  return c == nullptr ? nullptr : c->getBuildInterface();
}
