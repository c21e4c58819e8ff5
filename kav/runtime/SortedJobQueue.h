// The timed executor's pending jobs: a singly linked list in ascending due
// time, linked through the jobs. Not locked; the executor's mutex guards it.
#ifndef KAV_RUNTIME_SORTEDJOBQUEUE_H
#define KAV_RUNTIME_SORTEDJOBQUEUE_H

#include "kav/runtime/SortedIntrusiveQueue.h"
#include "kav/runtime/TimedJob.h"

class SortedJobQueue {
 public:
  SortedJobQueue() = default;

  // Inserts behind all jobs due at or before it (ties keep insertion
  // order). A null job ends the process.
  void insertJob(TimedJob* job);
  // Unlinks and returns the job with that id, or null.
  TimedJob* removeJob(unsigned int id) { return m_list.remove(id); }
  // Unlinks and returns the first job, or null.
  TimedJob* removeJob() { return m_list.removeFirst(); }
  // The first job, still linked, or null.
  TimedJob* getJob() const { return m_list.first(); }

 private:
  SortedIntrusiveQueue<TimedJob, &TimedJob::getNextInQueue, &TimedJob::setNextInQueue, &TimedJob::getDueTime,
                       &TimedJob::getJobId>
      m_list;
};

#endif
