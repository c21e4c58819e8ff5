#include "kav/tree/Logger.h"

#include "kav/tree/BaseErrorData.h"

Logger::Logger() {}

Logger::~Logger() {}

void Logger::logSynchron(BaseErrorData&) {}

void Logger::logAsynchron(BaseErrorData&) {}

void Logger::logEvent(const kavstl::string&, const kavstl::string&) {}
