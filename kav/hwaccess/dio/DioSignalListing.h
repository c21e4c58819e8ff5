// A read-only view of the digital signals (DioHwr) of the tree for
// diagnosis programs: one record per signal in tree order, with the state
// read from the hardware at the time of the call.
#ifndef KAV_HWACCESS_DIOSIGNALLISTING_H
#define KAV_HWACCESS_DIOSIGNALLISTING_H

#include <string>
#include <vector>

#include "kav/tree/objects/KavExport.h"

namespace kav {

struct DioSignalInfo {
  std::string instanceName;  // empty when the signal has none
  unsigned int slotId;
  unsigned int pin;
  unsigned int mode;      // 0 none, 1 input, 2..6 output modes
  unsigned int polarity;  // 1 on = high, 2 on = low
  unsigned int state;     // 0 unknown, 1 on, 2 off
  unsigned int readRc;    // result of reading the state (0 = read)
};

// Clears `signals` and fills it; empty before the tree exists.
KAV_EXPORT void listDioSignals(std::vector<DioSignalInfo>& signals);

}  // namespace kav

#endif
