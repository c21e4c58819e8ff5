// The process-wide cold-start flag: set by the platform adapter when the
// service processor came up from power-off, so that scratchpad contents of
// an earlier life are not trusted. False until the adapter says so.
#ifndef KAV_RUNTIME_COLDSTART_H
#define KAV_RUNTIME_COLDSTART_H

#include <atomic>

#include "kav/tree/objects/KavExport.h"

extern KAV_EXPORT std::atomic<bool> g_coldStart;

#endif
