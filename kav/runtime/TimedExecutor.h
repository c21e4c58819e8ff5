// Runs delayed jobs: a TimedJob's execute() is called once on an executor
// thread when its delay has passed, watched by the time-out service; the
// job is then deleted. Jobs due at the same time run in insertion order.
#ifndef KAV_RUNTIME_TIMEDEXECUTOR_H
#define KAV_RUNTIME_TIMEDEXECUTOR_H

#include <atomic>
#include <cstdint>

#include "kav/runtime/IFOSAbstractExecutor.h"
#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/runtime/ServiceCallGate.h"
#include "kav/runtime/SortedJobQueue.h"
#include "kav/tree/objects/KavExport.h"

class IFOSRcLocalEvent;
class IFOSRcLocalMutex;
class IFOSRcThread;

class KAV_EXPORT TimedExecutor {
 public:
  class JobExecutor : public IFOSAbstractExecutor {
   public:
    explicit JobExecutor(TimedExecutor* e) : m_pExecutor(e) {}
    void execute() const override;

   private:
    TimedExecutor* m_pExecutor;
  };

  static constexpr unsigned int kDefaultAbendMs = 40000;

  static TimedExecutor* getInstance();
  static void destroyInstance();

  // Once; creates the job pool and starts `threads` threads (0 means 1).
  // Failure ends the process.
  void init(unsigned int threads);
  // Runs no further job; a running one finishes. Pending jobs are destroyed.
  void terminate();

  // Schedules the job at now + delay and takes it over; the job id, or 0
  // after terminate (no job can exist then: the job pool has gone). An
  // abend time of 0 means 40000 ms. Before init the process ends.
  unsigned int insertJob(TimedJob* job, unsigned int delayMs, unsigned int logMs, unsigned int abendMs);
  // Moves a pending job to now + delay; false when none has the id.
  bool rescheduleJob(unsigned int id, unsigned int delayMs);
  // Removes and destroys a pending job; false when none has the id.
  bool deleteJob(unsigned int id);

  bool isInitialised() const { return m_initialised.isOpen(); }

 private:
  TimedExecutor();
  ~TimedExecutor();

  bool refuse(const char* what) const;
  void insertJobInternal(TimedJob* job, unsigned int delayMs);
  void executeJobs();

  IFOSRcLocalMutex* m_pMutex;
  SortedJobQueue m_queue;
  IFOSRcLocalEvent* m_pEvent;
  unsigned int m_nextJobId;
  IFOSRcHighResolutionClock m_clock;
  // The initialised flag; terminate waits for the calls under way.
  ServiceCallGate m_initialised;
  std::atomic<unsigned char> m_terminating;
  JobExecutor m_executor;
  IFOSRcThread** m_ppThreads;
  unsigned int m_numberOfThreads;
};

#endif
