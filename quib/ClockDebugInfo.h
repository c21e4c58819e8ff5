// Clock debug data: when the clock subsystem reports a lost synchronisation
// or a status change, the adapter collects what it knows into a committed
// entry of the platform's error log.
#ifndef QUIB_CLOCKDEBUGINFO_H
#define QUIB_CLOCKDEBUGINFO_H

#include <cstdint>

#include "kav/tree/objects/KavExport.h"

namespace QUIB {

// The error-log identifiers of the debug entry.
constexpr uint8_t kDebugInfoModule = 7;
constexpr uint16_t kDebugInfoReasonSynchLost = 0xCCDA;  // mode 1
constexpr uint16_t kDebugInfoReasonOther = 0xCCCC;      // any other mode
// The user-data section of the clock callout.
constexpr uint16_t kClockCalloutUserData = 1;

// Under the exclusive-access mutex and only while the clock-card
// configuration is complete: a software entry (module 7, reason 0xCCDA for
// mode 1, else 0xCCCC) with the adapter's trace buffers and the clock
// callout data, committed (component 0xCC00, severity 0, action 0xA000).
// Does nothing before the configuration is complete.
KAV_EXPORT void quib_collectDebugInfo(int mode);

}  // namespace QUIB

#endif
