// Runs init(step) of every element; the first failure of the whole run is
// the one reported, and the run goes on over all elements and steps.
#ifndef KAV_TREE_INITSEQUENCEEXECUTOR_H
#define KAV_TREE_INITSEQUENCEEXECUTOR_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionLooper.h"
#include "kav/tree/start/InitSequence.h"

template <class T>
class InitSequenceExecutor : public FunctionLooper<T, ErrorData, initSequence::Id_t> {
 public:
  InitSequenceExecutor() : m_result(BaseErrorData::NO_OVERWRITE) {}

  ErrorData getReturnValue() override { return m_result; }
  void notifyStepBegin(initSequence::Id_t) override {}
  void execute(KavPtr<T> element, initSequence::Id_t step) override {
    if (element != nullptr) m_result = element->init(step);
  }
  void notifyStepEnd(initSequence::Id_t) override {}

 private:
  ErrorData m_result;
};

#endif
