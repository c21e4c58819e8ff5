#include "kav/tree/start/TerminateSequenceExecutor.h"

#include "kav/tree/objects/QueryBase.h"

TerminateSequenceExecutor::TerminateSequenceExecutor() : m_result(BaseErrorData::NO_OVERWRITE) {}

TerminateSequenceExecutor::~TerminateSequenceExecutor() {}

ErrorData TerminateSequenceExecutor::getReturnValue() { return m_result; }

void TerminateSequenceExecutor::notifyStepBegin(terminateSequence::Id_t) {}

void TerminateSequenceExecutor::execute(KavPtr<QueryBase> element, terminateSequence::Id_t step) {
  if (element != nullptr) m_result = element->terminate(step);
}

void TerminateSequenceExecutor::notifyStepEnd(terminateSequence::Id_t) {}
