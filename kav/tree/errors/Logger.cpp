#include "kav/tree/errors/Logger.h"

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/errors/LogSink.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/LogAsynchron.h"
#include "kav/runtime/TimedExecutor.h"

Logger::Logger() {}

Logger::~Logger() {}

void Logger::logSynchron(BaseErrorData& error) { LogSink::deliverError(error, false); }

void Logger::logAsynchron(BaseErrorData& error) {
  // The job holds its own copy of the value; it runs on the job thread.
  TimedJob* job = new LogAsynchron(error);
  if (job == nullptr) {
    KAV_TRACE(KAVE, "Logger::logAsynchron no job rc=0x%.8X", error.getRcWithoutLogFlag());
    return;
  }
  TimedExecutor::getInstance()->insertJob(job, LogAsynchron::kDelayMs, LogAsynchron::kLogMs, LogAsynchron::kAbendMs);
}

void Logger::logEvent(const kavstl::string& name, const kavstl::string& text) { LogSink::deliverEvent(name, text); }
