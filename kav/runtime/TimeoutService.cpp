#include "kav/runtime/TimeoutService.h"

#include <mutex>

#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/scf_os.h"
#include "kav/tree/errors/ErrorData.h"
#include "perc_abend.h"

namespace {

std::atomic<TimeoutService*> g_instance{nullptr};
std::mutex g_instanceMutex;

// Times above this are used unscaled.
constexpr unsigned int kMaxScaledMs = 60000;
constexpr uint64_t kWaitForever = UINT64_MAX;

[[noreturn]] void abend() { percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0); }

}  // namespace

void TimeoutService::TimeoutServiceExecutor::execute() const { m_pService->executeTimeouts(); }

TimeoutService::TimeoutService()
    : m_pMutex(nullptr),
      m_pEvent(nullptr),
      m_nextRegistrationId(1),
      m_terminating(0),
      m_executor(this),
      m_pThread(nullptr),
      m_abendSuppressed(0),
      m_timeoutFactor(1),
      m_loggedTimeouts(0) {}

TimeoutService::~TimeoutService() {
  if (m_initialised.isOpen()) terminate();
}

TimeoutService* TimeoutService::getInstance() {
  TimeoutService* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new TimeoutService();
      g_instance.store(p);
    }
  }
  return p;
}

void TimeoutService::destroyInstance() {
  TimeoutService* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  delete p;
}

void TimeoutService::init(bool suppressAbend) {
  if (m_initialised.isOpen()) {
    KAV_TRACE(KAVT, "TimeoutService::init already initialised");
    return;
  }
  m_terminating.store(0);
  m_abendSuppressed.store(suppressAbend ? 1 : 0);
  unsigned long rc = 0;
  m_pEvent = new IFOSRcLocalEvent(IFOS_EVENT_RESET, &rc);
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "TimeoutService::init event %u,%p", rc, m_pEvent);
    abend();
  }
  m_pMutex = new IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "TimeoutService::init mutex %u,%p", rc, m_pMutex);
    abend();
  }
  m_pThread = new IFOSRcThread(&m_executor);
  m_clock.startClock();
  m_initialised.open();
  rc = m_pThread->start();
  if (rc != IFOS_RC_OK) {
    KAV_TRACE(KAVE, "TimeoutService::init thread %u,%p", rc, m_pThread);
    abend();
  }
  // A real-time policy may be refused by the system; the thread then runs
  // with the normal policy.
  m_pThread->setPolicy(IFOSRcThread::IFOS_POLICY_FIFO);
  m_pThread->setPriority(IFOSRcThread::IFOS_PRIORITY_75);
  KAV_TRACE(KAVT, "TimeoutService::init suppressAbend=%u", suppressAbend ? 1u : 0u);
}

void TimeoutService::terminate() {
  // Set before the post: the thread either sees the flag after its reset
  // of the event or finds the event posted.
  m_terminating.store(1);
  // From here on calls are refused; the ones under way finish first.
  if (!m_initialised.close()) return;
  m_pEvent->postEvent();
  m_pThread->waitForCompletion();
  m_pMutex->mutexRequest(-1);
  while (TimeoutServiceRegistrationToken* t = m_queue.removeRegistrationToken()) {
    KAV_TRACE(KAVT, "TimeoutService::terminate pending %d", t->getRegistrationId());
    t->setRegistrationId(0);
    t->setThreadId(0);
    t->setNextInQueue(nullptr);
  }
  m_pMutex->mutexRelease();
  delete m_pThread;
  m_pThread = nullptr;
  delete m_pEvent;
  m_pEvent = nullptr;
  delete m_pMutex;
  m_pMutex = nullptr;
  KAV_TRACE(KAVT, "TimeoutService::terminate done");
}

void TimeoutService::checkNotInitialised(const char* what) const {
  if (m_terminating.load() != 0) {
    KAV_TRACE_STR(KAVT, "TimeoutService::%s after terminate", what);
    return;
  }
  KAV_TRACE_STR(KAVE, "TimeoutService::%s before init", what);
  abend();
}

unsigned int TimeoutService::scale(unsigned int ms) const {
  return ms <= kMaxScaledMs ? ms * m_timeoutFactor.load() : ms;
}

void TimeoutService::setTimeoutFactor(unsigned int factor) { m_timeoutFactor.store(factor == 0 ? 1 : factor); }

void TimeoutService::getTimeoutFactor(unsigned int* factor) const {
  if (factor == nullptr) {
    KAV_TRACE(KAVE, "TimeoutService::getTimeoutFactor null pointer");
    abend();
  }
  *factor = m_timeoutFactor.load();
}

unsigned int TimeoutService::registerTimeout(TimeoutServiceRegistrationToken* token, unsigned int logMs,
                                             unsigned int abendMs) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    checkNotInitialised("registerTimeout");
    return 0;
  }
  unsigned int logScaled = scale(logMs);
  unsigned int abendScaled = scale(abendMs);
  if (token == nullptr || (logScaled == 0 && abendScaled == 0)) {
    KAV_TRACE(KAVE, "TimeoutService::registerTimeout refused %p,%u,%u", token, logScaled, abendScaled);
    return 0;
  }
  m_pMutex->mutexRequest(-1);
  // The token's fields belong to the service while it is registered.
  if (token->getRegistrationId() != 0 || token->getNextInQueue() != nullptr) {
    unsigned int held = token->getRegistrationId();
    m_pMutex->mutexRelease();
    KAV_TRACE(KAVE, "TimeoutService::registerTimeout token already registered %p,%u", token, held);
    return 0;
  }
  unsigned int id = m_nextRegistrationId++;
  if (m_nextRegistrationId == 0) m_nextRegistrationId = 1;
  token->setRegistrationId(id);
  insertRegistrationInternal(token, logScaled, abendScaled);
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "TimeoutService::registerTimeout %u,%u,%u", id, logScaled, abendScaled);
  return id;
}

void TimeoutService::insertRegistrationInternal(TimeoutServiceRegistrationToken* token, unsigned int logMs,
                                                unsigned int abendMs) {
  uint64_t now = m_clock.getElapsedMilliSeconds();
  token->setThreadId(scf_os_get_tid());
  token->setTimeoutStarttime(now);
  if (logMs != 0) {
    token->setTimeoutLog(now + logMs);
    token->setExecutionTime(now + logMs);
  } else {
    token->setTimeoutLog(0);
  }
  if (abendMs != 0) {
    // An abend time not beyond the log time counts from the log time.
    uint64_t abend = abendMs;
    if (abend <= logMs) abend += logMs;
    token->setTimeoutPabend(now + abend);
    if (logMs == 0) token->setExecutionTime(now + abend);
  } else {
    token->setTimeoutPabend(0);
  }
  bool newHead = false;
  m_queue.insertRegistrationToken(token, &newHead);
  // Wake the thread only when the token became the first.
  if (newHead) m_pEvent->postEvent();
}

bool TimeoutService::changeRegistration(unsigned int id, unsigned int logMs, unsigned int abendMs) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    checkNotInitialised("changeRegistration");
    return false;
  }
  unsigned int logScaled = scale(logMs);
  unsigned int abendScaled = scale(abendMs);
  if (logScaled == 0 && abendScaled == 0) {
    KAV_TRACE(KAVE, "TimeoutService::changeRegistration no time %u", id);
    return false;
  }
  m_pMutex->mutexRequest(-1);
  TimeoutServiceRegistrationToken* token = m_queue.removeRegistrationToken(id);
  if (token != nullptr) insertRegistrationInternal(token, logScaled, abendScaled);
  m_pMutex->mutexRelease();
  KAV_TRACE(KAVT, "TimeoutService::changeRegistration %u,%u", id, token != nullptr ? 1u : 0u);
  return token != nullptr;
}

bool TimeoutService::deleteRegistration(unsigned int id) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered()) {
    checkNotInitialised("deleteRegistration");
    return false;
  }
  m_pMutex->mutexRequest(-1);
  TimeoutServiceRegistrationToken* token = m_queue.removeRegistrationToken(id);
  if (token != nullptr) {
    token->setRegistrationId(0);
    token->setThreadId(0);
  }
  m_pMutex->mutexRelease();
  if (token == nullptr) return false;
  KAV_TRACE(KAVT, "TimeoutService::deleteRegistration %u", id);
  return true;
}

bool TimeoutService::isRegistered(unsigned int id) {
  ServiceCallGate::Call call(m_initialised);
  if (!call.entered() || id == 0) return false;
  m_pMutex->mutexRequest(-1);
  bool found = false;
  for (TimeoutServiceRegistrationToken* t = m_queue.getRegistrationToken(); t != nullptr && !found;
       t = t->getNextInQueue())
    found = t->getRegistrationId() == id;
  m_pMutex->mutexRelease();
  return found;
}

void TimeoutService::log(bool severe) {
  m_loggedTimeouts.fetch_add(1);
  KAV_TRACE(KAVE, "KAV Timeout has occured rc=0x%.8X severity=%u", 0x7007u, severe ? 2u : 1u);
  ErrorData error(BaseErrorData::NO_OVERWRITE, 0x7007);
  error << "KAV Timeout has occured";
  error.microcodeLog(__FILE__, __LINE__, "KAV Timeout has occured", severe ? 2 : 1, false);
}

void TimeoutService::executeTimeouts() {
  for (;;) {
    bool ended = false;
    uint64_t wait = kWaitForever;
    m_pMutex->mutexRequest(-1);
    // The event is reset before the queue and the terminating flag are
    // looked at: a post from here on (a new first token, terminate) stays
    // set until the wait below, so it is never lost.
    m_pEvent->resetEvent();
    if (m_terminating.load() != 0) {
      m_pMutex->mutexRelease();
      break;
    }
    uint64_t now = m_clock.getElapsedMilliSeconds();
    TimeoutServiceRegistrationToken* token = m_queue.getRegistrationToken();
    if (token != nullptr) {
      if (token->getExecutionTime() <= now) {
        m_queue.removeRegistrationToken();
        wait = 0;
      } else {
        wait = token->getExecutionTime() - now;
        token = nullptr;
      }
    }
    if (token != nullptr) {
      KAV_TRACE_STR(KAVE, "TimeoutService: timeout %u,%.8x,%s", token->getTimeoutText(), token->getRegistrationId(),
                    token->getThreadId());
      if (token->getExecutionTime() == token->getTimeoutLog()) {
        // Log stage: the abend stage follows when it is set.
        token->setExecutionTime(token->getTimeoutPabend());
        if (token->getExecutionTime() != 0) {
          m_queue.insertRegistrationToken(token, nullptr);
        } else {
          token->setRegistrationId(0);
          token->setThreadId(0);
          ended = true;
        }
      } else if (m_abendSuppressed.load() == 0) {
        IFOSRcLocalMutex::dump();
        KAV_TRACE_STR(KAVE, "TimeoutService: abend %u,%s", token->getTimeoutText(), token->getRegistrationId());
        abend();
      } else {
        KAV_TRACE(KAVE, "TimeoutService: abend suppressed %u", token->getRegistrationId());
        token->setRegistrationId(0);
        token->setThreadId(0);
        ended = true;
      }
    }
    m_pMutex->mutexRelease();
    if (ended) log(true);
    if (wait != 0) {
      unsigned long rc = m_pEvent->waitEvent(wait == kWaitForever ? -1L : static_cast<long>(wait));
      if (rc != IFOS_RC_OK && rc != IFOS_RC_EVENT_TIMEOUT) KAV_TRACE(KAVE, "TimeoutService: wait %.8X", rc);
    }
  }
}
