// An operation without steps: execute(element) for each element.
#ifndef KAV_TREE_FUNCTIONEXECUTOR_H
#define KAV_TREE_FUNCTIONEXECUTOR_H

#include "kav/tree/start/FunctionLooper.h"

template <class T, class R>
class FunctionExecutor : public FunctionLooper<T, R, void*> {
 public:
  void notifyStepBegin(void*) override {}
  void execute(KavPtr<T> element, void*) override { execute(element); }
  void notifyStepEnd(void*) override {}
  virtual void execute(KavPtr<T> element) = 0;
};

#endif
