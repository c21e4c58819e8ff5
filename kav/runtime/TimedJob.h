// A delayed job of the timed executor: execute() is called once on a job
// thread when the job is due, then the job is deleted. Jobs live in a
// fixed pool that exists only between TimedExecutor::init and terminate;
// outside that window (or when the pool is full) new returns null.
#ifndef KAV_RUNTIME_TIMEDJOB_H
#define KAV_RUNTIME_TIMEDJOB_H

#include <cstddef>
#include <cstdint>

class TimedJob {
 public:
  TimedJob();
  virtual ~TimedJob();
  virtual void execute() = 0;

  TimedJob(const TimedJob&) = delete;
  TimedJob& operator=(const TimedJob&) = delete;

  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* p) noexcept;

  // Creates the class-wide job pool (20 KB, not growing) / destroys it.
  static void initMemoryManagement();
  static void terminateMemoryManagement();

  TimedJob* getNextInQueue() const { return m_pNext; }
  void setNextInQueue(TimedJob* next) { m_pNext = next; }
  uint64_t getDueTime() const { return m_dueTime; }
  void setDueTime(uint64_t t) { m_dueTime = t; }
  unsigned int getJobId() const { return m_jobId; }
  void setJobId(unsigned int id) { m_jobId = id; }
  unsigned int getLogTime() const { return m_logTime; }
  void setLogTime(unsigned int t) { m_logTime = t; }
  unsigned int getAbendTime() const { return m_abendTime; }
  void setAbendTime(unsigned int t) { m_abendTime = t; }

  static constexpr unsigned int kPoolChunkKB = 20;

 private:
  TimedJob* m_pNext = nullptr;
  uint64_t m_dueTime = UINT64_MAX;
  unsigned int m_jobId = 0;
  unsigned int m_logTime = UINT32_MAX;
  unsigned int m_abendTime = UINT32_MAX;
};

#endif
