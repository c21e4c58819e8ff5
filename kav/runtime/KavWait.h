// A fixed pause of a hardware sequence (a retry pause, a step of a slow
// change): the calling thread sleeps for the time, at the process's time
// scale (TimeScale). 0 returns at once. Signals do not shorten it.
#ifndef KAV_RUNTIME_KAVWAIT_H
#define KAV_RUNTIME_KAVWAIT_H

#include "kav/tree/objects/KavExport.h"

KAV_EXPORT void KavWait(unsigned int ms);

#endif
