// Hands prepared error values and events to the platform's log.
#ifndef KAV_TREE_LOGGER_H
#define KAV_TREE_LOGGER_H

#include "kav/tree/objects/kavstl.h"

class BaseErrorData;

class Logger {
 public:
  Logger();
  virtual ~Logger();

  void logSynchron(BaseErrorData& error);
  // Logs on the timed executor's job thread with a copy of the value.
  void logAsynchron(BaseErrorData& error);
  void logEvent(const kavstl::string& name, const kavstl::string& text);
};

#endif
