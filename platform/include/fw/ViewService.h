// What this service processor sees of the system: its role, the system
// state and the time of day.
#ifndef FW_VIEWSERVICE_H
#define FW_VIEWSERVICE_H

#include <cstdint>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"

namespace fw {

class FW_API ViewService {
 public:
  // Whether this service processor is the primary one (the one that owns
  // the clock hardware).
  static bool isKtrPrimary();
  // The system state value.
  static uint32_t systemState();
  // The time of day in seconds since the epoch; null, or an error log when
  // the clock cannot be read (seconds then 0).
  static ErrorLog* timeOfDay(uint64_t& seconds);
};

}  // namespace fw

#endif
