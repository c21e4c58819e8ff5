// An observer of what the library logs. The library's logger hands nothing to
// the platform error log (the firmware adapter does that); a program that wants
// to see every logged error and event -- a test, the simulated service
// processor, an engineer's tool -- installs a sink. With none installed,
// logging costs one atomic load.
#ifndef KAV_TREE_LOGSINK_H
#define KAV_TREE_LOGSINK_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BaseErrorData;

class KAV_EXPORT LogSink {
 public:
  virtual ~LogSink();

  // An error value handed to the logger: at once (asynchronous false) or
  // from the job thread when the deferred log job runs (asynchronous true).
  virtual void errorLogged(const BaseErrorData& error, bool asynchronous) = 0;
  // An event handed to the logger (name and text as given).
  virtual void eventLogged(const kavstl::string& name, const kavstl::string& text) = 0;

  // Installs the sink (nullptr removes it) and returns the one it replaces.
  // Returns only after a delivery to the replaced sink has ended, so the
  // caller may then delete it. A sink must not install sinks from its calls.
  static LogSink* install(LogSink* sink);

  // Called by the logger.
  static void deliverError(const BaseErrorData& error, bool asynchronous);
  static void deliverEvent(const kavstl::string& name, const kavstl::string& text);
};

#endif
