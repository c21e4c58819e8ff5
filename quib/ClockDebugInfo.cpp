#include "quib/ClockDebugInfo.h"

#include <mutex>

#include "fw/ErrorLog.h"
#include "fw/ErrorLogRepository.h"
#include "kav/runtime/KavTrace.h"
#include "quib/Quib.h"

namespace QUIB {

void quib_collectDebugInfo(int mode) {
  std::lock_guard<std::mutex> g(g_exclusiveAccessMutex);
  if (quib_config_been_run.load() != 1) {
    KAV_TRACE(QBIN, "quib_collectDebugInfo mode=%d: clock configuration not complete, nothing collected", mode);
    return;
  }
  // The processor chips' clock error data and the clock callout built from
  // it have no content in this build: the section stays empty.
  fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Software, kDebugInfoModule,
                                           mode == 1 ? kDebugInfoReasonSynchLost : kDebugInfoReasonOther);
  for (const char* buffer : kLogTraceBuffers) log->collectTrace(buffer);
  log->addUserData(kClockCalloutUserData, nullptr, 0);
  const uint32_t id = log->id();
  const int rc = fw::ErrorLogRepository::machine().commit(log, kQuibComponent, 0, kQuibCommitAction);
  if (rc != 0)
    KAV_TRACE(QBER, "quib_collectDebugInfo mode=%d: log 0x%08X kept, not stored: errno %d", mode, id, rc);
  else
    KAV_TRACE(QBIN, "quib_collectDebugInfo mode=%d: log 0x%08X committed", mode, id);
}

}  // namespace QUIB
