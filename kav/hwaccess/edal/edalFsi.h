// Discovery of the engines behind one CFAM.
#ifndef KAV_HWACCESS_EDALFSI_H
#define KAV_HWACCESS_EDALFSI_H

#include <set>
#include <string>

#include "kav/hwaccess/edal/EdalInfo.h"

namespace edalFsi {

struct engineInfo_t {
  unsigned int engineType;
  unsigned int engineNumber;
  // Ordered by engine number alone: a set holds one entry per engine number.
  bool operator<(const engineInfo_t& other) const { return engineNumber < other.engineNumber; }
};

// The engine number in decimal.
std::string asString(const engineInfo_t& info);

}  // namespace edalFsi

// Fills engines with the engines of the link and cascade of info. An engine
// of type 5 also brings the pseudo engine (0xDC, 31), one of type 0x0D the
// pseudo engine (0xDB, 30). Returns 0 or the errno of the first failure.
unsigned int edalFsiGetAvailableEngines(const EdalInfo& info, std::set<edalFsi::engineInfo_t>& engines,
                                        std::string& msg);

#endif
