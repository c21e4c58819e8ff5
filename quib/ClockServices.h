// Hands the adapter's clock services (clock-select bits, clock debug data)
// to the library's clock objects when the library is loaded.
#ifndef QUIB_CLOCKSERVICES_H
#define QUIB_CLOCKSERVICES_H

#include "kav/tree/objects/KavExport.h"

namespace QUIB {

class KAV_EXPORT ClockServices {
 public:
  // Registers clearClockBit, setClockBit, toggleClockBit and
  // quib_collectDebugInfo with the clock objects. Done at load; again
  // after a test replaced them.
  static void registerWithLibrary();
};

}  // namespace QUIB

#endif
