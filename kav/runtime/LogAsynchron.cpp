#include "kav/runtime/LogAsynchron.h"

#include "kav/tree/errors/LogSink.h"
#include "kav/tree/errors/Logger.h"

LogAsynchron::LogAsynchron(const BaseErrorData& error) : m_error(error) {
  // Writing unshares the container.
  if (m_error.getRcWithoutLogFlag() != 0) m_error.setLogState(m_error.getLogState());
}

LogAsynchron::~LogAsynchron() = default;

void LogAsynchron::execute() {
  Logger logger;
  (void)logger;
  LogSink::deliverError(m_error, true);
}
