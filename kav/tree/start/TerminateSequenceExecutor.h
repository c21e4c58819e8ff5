// Runs terminate(step) of every element; the first failure of the whole run
// is the one reported, and the run goes on over all elements and steps.
#ifndef KAV_TREE_TERMINATESEQUENCEEXECUTOR_H
#define KAV_TREE_TERMINATESEQUENCEEXECUTOR_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionLooper.h"
#include "kav/tree/start/InitSequence.h"
#include "kav/tree/objects/KavExport.h"

class QueryBase;

class KAV_EXPORT TerminateSequenceExecutor : public FunctionLooper<QueryBase, ErrorData, terminateSequence::Id_t> {
 public:
  TerminateSequenceExecutor();
  ~TerminateSequenceExecutor() override;

  ErrorData getReturnValue() override;
  void notifyStepBegin(terminateSequence::Id_t step) override;
  void execute(KavPtr<QueryBase> element, terminateSequence::Id_t step) override;
  void notifyStepEnd(terminateSequence::Id_t step) override;

 private:
  ErrorData m_result;
};

#endif
