// The firmware's abortable sleep: a wait that ends early when the firmware
// aborts the sleeps in progress (a shutdown) or when this service processor
// changes its role during it.
#ifndef FW_ABORTABLESLEEP_H
#define FW_ABORTABLESLEEP_H

#include <cstdint>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"

namespace fw {

class FW_API AbortableSleep {
 public:
  // Sleeps `ms` milliseconds. Every `checkMs` milliseconds (0: never) it
  // checks the role; the first check that finds it changed since the start
  // ends the sleep. Null after the whole time; an error log (software,
  // module kModuleAbortableSleep, user data the time asked and the time
  // slept in ms) with reason ECANCELED when abortAll ended it, EPERM when
  // the role changed.
  static ErrorLog* handleSleepAbort(uint32_t ms, uint32_t checkMs);
  // Ends every sleep in progress at once. Sleeps that start later are not
  // affected.
  static void abortAll();
};

}  // namespace fw

#endif
