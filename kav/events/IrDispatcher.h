// The interrupt thread: waits for one interrupt at a time (waitIrSendEvent
// of the derived class T) and turns it into an event, until terminated.
// More than kMaxConsecutiveErrors failed waits in a row deactivate it: the
// hardware path is considered broken until the library is restarted.
#ifndef KAV_EVENTS_IRDISPATCHER_H
#define KAV_EVENTS_IRDISPATCHER_H

#include <atomic>

#include "kav/runtime/Actor.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/BaseErrorData.h"

template <class T>
class IrDispatcher {
 public:
  static const unsigned int kMaxConsecutiveErrors = 10;

  IrDispatcher() : m_terminating(0), m_hwErrorLogged(0), m_started(false), m_running(false), m_terminated(false) {}
  IrDispatcher(const IrDispatcher&) = delete;
  IrDispatcher& operator=(const IrDispatcher&) = delete;
  virtual ~IrDispatcher() {}

  // Starts the thread with default scheduling; only the first call does.
  virtual void init() {
    if (!markStarted()) return;
    m_actor.execute(this);
  }
  virtual void init(IFOSRcThread::ifosPolicy policy, IFOSRcThread::ifosPriority priority) {
    if (!markStarted()) return;
    m_actor.execute(this, policy, priority);
  }
  // One wait; error tells whether it failed.
  virtual void waitIrSendEvent(bool& error) = 0;
  // Makes a blocked wait return; non-zero when the thread may then be joined.
  virtual long terminateWait() = 0;
  virtual void setHwErrorLogged(bool logged) { m_hwErrorLogged.store(logged ? 1 : 0); }
  virtual bool isHwErrorLogged() const { return m_hwErrorLogged.load() != 0; }

  // Once: sets terminating and releases the wait; the thread ends at its next
  // loop test. Joined only when terminateWait allows it.
  void terminate() {
    if (m_terminated.exchange(true)) return;
    m_terminating.store(1);
    KAV_TRACE(KAVT, "IrDispatcher::terminate");
    if (terminateWait() != 0) m_actor.waitForCompletion();
  }

  bool isTerminating() const { return m_terminating.load() != 0; }
  // The thread is inside its loop.
  bool isRunning() const { return m_running.load(); }
  bool isStarted() const { return m_started.load(); }

  // The dispatcher loop (interrupt thread).
  void execute() {
    m_running.store(true);
    unsigned int consecutiveErrors = 0;
    KAV_TRACE(KAVT, "IrDispatcher thread running");
    while (m_terminating.load() == 0) {
      bool error = false;
      waitIrSendEvent(error);
      if (!error) {
        consecutiveErrors = 0;
        continue;
      }
      ++consecutiveErrors;
      if (consecutiveErrors > kMaxConsecutiveErrors) {
        m_terminating.store(1);
        KAV_TRACE(KAVE, "IrDispatcher deactivated after %u consecutive errors", consecutiveErrors);
        BaseErrorData rc;
        rc = 0x701Au;
        rc.microcodeLog("kav/IrDispatcher", __LINE__, "IR dispatcher deactivated after several consecutive errors", 2,
                        false);
      }
    }
    KAV_TRACE(KAVT, "IrDispatcher thread ends");
    m_running.store(false);
  }

 protected:
  // Joins the thread (only safe once it left or is about to leave its loop).
  unsigned long waitForThread() { return m_actor.waitForCompletion(); }

 private:
  bool markStarted() { return !m_started.exchange(true); }

  std::atomic<unsigned char> m_terminating;
  Actor<IrDispatcher<T>> m_actor;
  std::atomic<unsigned char> m_hwErrorLogged;
  std::atomic<bool> m_started;
  std::atomic<bool> m_running;
  std::atomic<bool> m_terminated;
};

#endif
