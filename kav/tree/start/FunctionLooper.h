// An operation run over the elements of an ExecList, step by step:
// forEachElementLoop calls notifyStepBegin(step), execute(element, step) for
// every element, notifyStepEnd(step), for each step in turn, and answers
// getReturnValue().
#ifndef KAV_TREE_FUNCTIONLOOPER_H
#define KAV_TREE_FUNCTIONLOOPER_H

#include "kav/tree/objects/KavPtr.h"

template <class T, class R, class P>
class FunctionLooper {
 public:
  FunctionLooper() = default;
  FunctionLooper(const FunctionLooper&) = default;
  FunctionLooper& operator=(const FunctionLooper&) = default;

  virtual R getReturnValue() = 0;
  virtual void notifyStepBegin(P step) = 0;
  virtual void execute(KavPtr<T> element, P step) = 0;
  virtual void notifyStepEnd(P step) = 0;
  virtual ~FunctionLooper() {}
};

#endif
