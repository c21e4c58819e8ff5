#include "kav/runtime/TimedExecutor.h"

#include <mutex>

#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/runtime/TimeoutServiceRegistrationToken.h"
#include "perc_abend.h"

namespace {

std::atomic<TimedExecutor*> g_instance{nullptr};
std::mutex g_instanceMutex;

constexpr uint64_t kWaitForever = UINT64_MAX;

[[noreturn]] void abend() { percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0); }

}  // namespace

void TimedExecutor::JobExecutor::execute() const { m_pExecutor->executeJobs(); }

TimedExecutor::TimedExecutor()
    : m_pMutex(nullptr),
      m_pEvent(nullptr),
      m_nextJobId(1),
      m_terminating(0),
      m_executor(this),
      m_ppThreads(nullptr),
      m_numberOfThreads(0) {}

TimedExecutor::~TimedExecutor() {
  if (m_initialised.isOpen()) terminate();
}

TimedExecutor* TimedExecutor::getInstance() {
  TimedExecutor* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new TimedExecutor();
      g_instance.store(p);
    }
  }
  return p;
}

void TimedExecutor::destroyInstance() {
  TimedExecutor* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

void TimedExecutor::init(unsigned int threads) {
  if (m_initialised.isOpen()) {
    KAV_TRACE(KAVT, "TimedExecutor::init already initialised");
    return;
  }
  m_terminating.store(0);
  unsigned long rc = 0;
  m_pEvent = new IFOSRcLocalEvent(IFOS_EVENT_RESET, &rc);
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "TimedExecutor::init event %lu,%p", rc, m_pEvent);
    abend();
  }
  m_pMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "TimedExecutor::init mutex %lu,%p", rc, m_pMutex);
    abend();
  }
  TimedJob::initMemoryManagement();
  m_clock.startClock();
  m_initialised.open();
  m_numberOfThreads = threads == 0 ? 1 : threads;
  m_ppThreads = new IFOSRcThread*[m_numberOfThreads];
  for (unsigned int i = 0; i < m_numberOfThreads; ++i) m_ppThreads[i] = new IFOSRcThread(&m_executor);
  for (unsigned int i = 0; i < m_numberOfThreads; ++i) {
    rc = m_ppThreads[i]->start();
    if (rc != IFOS_RC_OK) {
      KAV_TRACE(KAVE, "TimedExecutor::init thread %lu,%p", rc, m_ppThreads[i]);
      abend();
    }
  }
  KAV_TRACE(KAVT, "TimedExecutor::init threads=%u", m_numberOfThreads);
}

void TimedExecutor::terminate() {
  // Set before the post: a job thread either sees the flag after its reset
  // of the event or finds the event posted.
  m_terminating.store(1);
  // From here on calls are refused; the ones under way (a deleteJob giving
  // its job back to the pool among them) finish first.
  if (!m_initialised.close()) return;
  m_pEvent->postEvent();
  for (unsigned int i = 0; i < m_numberOfThreads; ++i) m_ppThreads[i]->waitForCompletion();
  m_pMutex->mutexRequest(-1);
  TimedJob* pending = nullptr;
  while (TimedJob* job = m_queue.removeJob()) {
    KAV_TRACE(KAVT, "TimedExecutor::terminate pending job %d", job->getJobId());
    job->setNextInQueue(pending);
    pending = job;
  }
  m_pMutex->mutexRelease();
  while (pending != nullptr) {
    TimedJob* next = pending->getNextInQueue();
    delete pending;
    pending = next;
  }
  delete m_pEvent;
  m_pEvent = nullptr;
  delete m_pMutex;
  m_pMutex = nullptr;
  for (unsigned int i = 0; i < m_numberOfThreads; ++i) delete m_ppThreads[i];
  delete[] m_ppThreads;
  m_ppThreads = nullptr;
  m_numberOfThreads = 0;
  TimedJob::terminateMemoryManagement();
  KAV_TRACE(KAVT, "TimedExecutor::terminate done");
}

bool TimedExecutor::refuse(const char* what) const {
  if (m_terminating.load() != 0) {
    KAV_TRACE_STR(KAVT, "TimedExecutor::%s after terminate", what);
    return true;
  }
  KAV_TRACE_STR(KAVE, "TimedExecutor::%s before init", what);
  abend();
}

unsigned int TimedExecutor::insertJob(TimedJob* job, unsigned int delayMs, unsigned int logMs,
                                      unsigned int abendMs) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    refuse("insertJob");
    // Left alone: a job made before terminate goes with the job pool.
    return 0;
  }
  m_pMutex->mutexRequest(-1);
  if (job != nullptr) {
    job->setJobId(m_nextJobId++);
    if (m_nextJobId == 0) m_nextJobId = 1;
    job->setLogTime(logMs);
    job->setAbendTime(abendMs == 0 ? kDefaultAbendMs : abendMs);
  }
  insertJobInternal(job, delayMs);
  unsigned int id = job->getJobId();
  m_pMutex->mutexRelease();
  return id;
}

void TimedExecutor::insertJobInternal(TimedJob* job, unsigned int delayMs) {
  if (job == nullptr) {
    // The sorted queue ends the process on a null job.
    m_queue.insertJob(job);
    return;
  }
  uint64_t now = m_clock.getElapsedMilliSeconds();
  job->setDueTime(now + delayMs);
  KAV_TRACE(KAVT, "TimedExecutor: insert job %u due=%u.%03u", job->getJobId(),
            static_cast<unsigned>(job->getDueTime() / 1000), static_cast<unsigned>(job->getDueTime() % 1000));
  m_queue.insertJob(job);
  // Every insert wakes the threads, which recompute their wait.
  m_pEvent->postEvent();
}

bool TimedExecutor::rescheduleJob(unsigned int id, unsigned int delayMs) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    refuse("rescheduleJob");
    return false;
  }
  m_pMutex->mutexRequest(-1);
  TimedJob* job = m_queue.removeJob(id);
  if (job != nullptr) insertJobInternal(job, delayMs);
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "TimedExecutor::rescheduleJob %u,%u", id, job != nullptr ? 1u : 0u);
  return job != nullptr;
}

bool TimedExecutor::deleteJob(unsigned int id) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    refuse("deleteJob");
    return false;
  }
  m_pMutex->mutexRequest(-1);
  TimedJob* job = m_queue.removeJob(id);
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "TimedExecutor::deleteJob %u,%u", id, job != nullptr ? 1u : 0u);
  if (job == nullptr) return false;
  delete job;
  return true;
}

void TimedExecutor::executeJobs() {
  for (;;) {
    uint64_t wait = kWaitForever;
    m_pMutex->mutexRequest(-1);
    // The event is reset before the queue and the terminating flag are
    // looked at: a post from here on (an insert, terminate) stays set
    // until the wait below, so it is never lost.
    m_pEvent->resetEvent();
    if (m_terminating.load() != 0) {
      // The reset may have taken the wake-up of another job thread.
      m_pEvent->postEvent();
      m_pMutex->mutexRelease();
      break;
    }
    uint64_t now = m_clock.getElapsedMilliSeconds();
    TimedJob* job = m_queue.getJob();
    if (job != nullptr) {
      if (job->getDueTime() <= now) {
        m_queue.removeJob();
        // The reset may have taken the wake-up of another job thread that
        // is to serve the jobs left behind: let one of them look again.
        if (m_queue.getJob() != nullptr) m_pEvent->postEvent();
      } else {
        wait = job->getDueTime() - now;
        job = nullptr;
      }
    }
    m_pMutex->mutexRelease();
    if (job == nullptr) {
      unsigned long rc = m_pEvent->waitEvent(wait == kWaitForever ? -1L : static_cast<long>(wait));
      if (rc != IFOS_RC_OK && rc != IFOS_RC_EVENT_TIMEOUT) KAV_TRACE(KAVE, "TimedExecutor: wait %.8X", rc);
      continue;
    }
    KAV_TRACE(KAVT, "TimedExecutor: run job %u due=%u.%03u now=%u.%03u", job->getJobId(),
              static_cast<unsigned>(job->getDueTime() / 1000), static_cast<unsigned>(job->getDueTime() % 1000),
              static_cast<unsigned>(now / 1000), static_cast<unsigned>(now % 1000));
    TimeoutServiceRegistrationToken token("TimedExecutor(): Timed out while executing a job!");
    TimeoutService* service = TimeoutService::getInstance();
    unsigned int registration = service->registerTimeout(&token, job->getLogTime(), job->getAbendTime());
    job->execute();
    if (registration != 0) service->deleteRegistration(registration);
    delete job;
  }
}
