// The watchdog of the library. A caller registers a token with a log time
// and an abend time before a piece of work that must not hang and deletes
// the registration afterwards. When a time passes first, the service traces
// the token's text; at the log time (when no abend time follows) and at the
// abend time with abends suppressed it logs "KAV Timeout has occured"
// (0x7007); at the abend time otherwise it ends the process.
//
// Times at most 60000 ms are multiplied by the time-out factor. The
// service's thread sleeps until the first due time.
#ifndef KAV_RUNTIME_TIMEOUTSERVICE_H
#define KAV_RUNTIME_TIMEOUTSERVICE_H

#include <atomic>
#include <cstdint>

#include "kav/runtime/IFOSAbstractExecutor.h"
#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/runtime/ServiceCallGate.h"
#include "kav/runtime/SortedRegistrationTokenQueue.h"
#include "kav/tree/objects/KavExport.h"

class IFOSRcLocalEvent;
class IFOSRcLocalMutex;
class IFOSRcThread;

class KAV_EXPORT TimeoutService {
 public:
  class TimeoutServiceExecutor : public IFOSAbstractExecutor {
   public:
    explicit TimeoutServiceExecutor(TimeoutService* s) : m_pService(s) {}
    void execute() const override;

   private:
    TimeoutService* m_pService;
  };

  static TimeoutService* getInstance();
  static void destroyInstance();

  // Once; starts the service thread. Failure ends the process.
  void init(bool suppressAbend);
  void terminate();

  // The registration id, 0 when not registered. Before init the process
  // ends; after terminate the call is refused (0).
  unsigned int registerTimeout(TimeoutServiceRegistrationToken* token, unsigned int logMs, unsigned int abendMs);
  // Restarts a pending registration with new times.
  bool changeRegistration(unsigned int id, unsigned int logMs, unsigned int abendMs);
  // True when the registration was pending; the token's id and thread id
  // are cleared.
  bool deleteRegistration(unsigned int id);

  bool isPAbendEnabled() const { return m_abendSuppressed.load() == 0; }
  void enablePAbend() { m_abendSuppressed.store(0); }
  void disablePAbend() { m_abendSuppressed.store(1); }

  // 0 stores 1.
  void setTimeoutFactor(unsigned int factor);
  // A null pointer ends the process.
  void getTimeoutFactor(unsigned int* factor) const;

  // Logs "KAV Timeout has occured" with code 0x7007; severity argument 2
  // when true, 1 when false.
  void log(bool severe);

  bool isInitialised() const { return m_initialised.isOpen(); }
  // True while a registration with that id is pending.
  bool isRegistered(unsigned int id);
  // Number of time-out errors logged so far.
  unsigned int getNumberOfLoggedTimeouts() const { return m_loggedTimeouts.load(); }

 private:
  TimeoutService();
  ~TimeoutService();

  // For register/change/delete while not initialised: 0 to refuse quietly
  // after terminate; ends the process before init.
  void checkNotInitialised(const char* what) const;
  unsigned int scale(unsigned int ms) const;
  void insertRegistrationInternal(TimeoutServiceRegistrationToken* token, unsigned int logMs, unsigned int abendMs);
  void executeTimeouts();

  IFOSRcLocalMutex* m_pMutex;
  SortedRegistrationTokenQueue m_queue;
  IFOSRcLocalEvent* m_pEvent;
  unsigned int m_nextRegistrationId;
  IFOSRcHighResolutionClock m_clock;
  // The initialised flag; terminate waits for the calls under way.
  ServiceCallGate m_initialised;
  std::atomic<unsigned char> m_terminating;
  TimeoutServiceExecutor m_executor;
  IFOSRcThread* m_pThread;
  std::atomic<unsigned char> m_abendSuppressed;
  std::atomic<unsigned int> m_timeoutFactor;
  std::atomic<unsigned int> m_loggedTimeouts;
};

#endif
