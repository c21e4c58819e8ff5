#include "kav/runtime/SortedJobQueue.h"

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

void SortedJobQueue::insertJob(TimedJob* job) {
  if (job == nullptr) {
    KAV_TRACE(KAVE, "SortedJobQueue::insertJob null job %.8X", job);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
  TimedJob* prev = nullptr;
  TimedJob* cur = m_pHead;
  while (cur != nullptr && cur->getDueTime() <= job->getDueTime()) {
    prev = cur;
    cur = cur->getNextInQueue();
  }
  job->setNextInQueue(cur);
  if (prev == nullptr)
    m_pHead = job;
  else
    prev->setNextInQueue(job);
}

TimedJob* SortedJobQueue::removeJob(unsigned int id) {
  TimedJob* prev = nullptr;
  for (TimedJob* cur = m_pHead; cur != nullptr; prev = cur, cur = cur->getNextInQueue()) {
    if (cur->getJobId() != id) continue;
    if (prev == nullptr)
      m_pHead = cur->getNextInQueue();
    else
      prev->setNextInQueue(cur->getNextInQueue());
    cur->setNextInQueue(nullptr);
    return cur;
  }
  return nullptr;
}

TimedJob* SortedJobQueue::removeJob() {
  TimedJob* first = m_pHead;
  if (first != nullptr) {
    m_pHead = first->getNextInQueue();
    first->setNextInQueue(nullptr);
  }
  return first;
}
