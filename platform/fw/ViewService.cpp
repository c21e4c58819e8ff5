#include "fw/ViewService.h"

#include <cerrno>
#include <ctime>

#include "ravo_sim_control.h"

namespace fw {

bool ViewService::isKtrPrimary() { return ravosim::serviceProcessorPrimary(); }

uint32_t ViewService::systemState() { return ravosim::systemState(); }

ErrorLog* ViewService::timeOfDay(uint64_t& seconds) {
  seconds = 0;
  int err = 0;
  timespec now{};
  if (!ravosim::takeInjectedFault("timeOfDay", "clock", err) && ::clock_gettime(CLOCK_REALTIME, &now) != 0)
    err = errno;
  if (err != 0) return ErrorLog::create(ErrorLog::Software, kModuleViewService, static_cast<uint16_t>(err));
  const int64_t t = static_cast<int64_t>(now.tv_sec) + ravosim::timeOfDayOffset();
  seconds = t > 0 ? static_cast<uint64_t>(t) : 0;
  return nullptr;
}

}  // namespace fw
