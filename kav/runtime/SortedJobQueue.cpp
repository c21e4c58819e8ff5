#include "kav/runtime/SortedJobQueue.h"

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

void SortedJobQueue::insertJob(TimedJob* job) {
  if (job == nullptr) {
    KAV_TRACE(KAVE, "SortedJobQueue::insertJob null job %.8X", job);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
  m_list.insert(job);
}
