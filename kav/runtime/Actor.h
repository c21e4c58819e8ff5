// Runs T::execute() of an object on a thread of its own. Failure to create
// or start the thread ends the process.
#ifndef KAV_RUNTIME_ACTOR_H
#define KAV_RUNTIME_ACTOR_H

#include <new>

#include "kav/runtime/IFOSRcThread.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/ThreadHelper.h"
#include "perc_abend.h"

template <class T>
class Actor {
 public:
  Actor() : m_pThread(nullptr), m_pHelper(nullptr), m_pObject(nullptr) {}
  Actor(const Actor&) = delete;
  Actor& operator=(const Actor&) = delete;
  virtual ~Actor() {
    delete m_pThread;
    delete m_pHelper;
  }

  void execute(T* object) {
    m_pObject = object;
    if (m_pHelper == nullptr) m_pHelper = new (std::nothrow) ThreadHelper<T>(this);
    if (m_pThread == nullptr && m_pHelper != nullptr) m_pThread = new (std::nothrow) IFOSRcThread(m_pHelper);
    if (m_pHelper == nullptr || m_pThread == nullptr) {
      KAV_TRACE(KAVE, " %p,%p,%lu", m_pHelper, m_pThread, 0ul);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    const unsigned long rc = m_pThread->start();
    if (rc != IFOS_RC_OK) {
      KAV_TRACE(KAVE, " %lu", rc);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
  }

  void execute(T* object, IFOSRcThread::ifosPolicy policy, IFOSRcThread::ifosPriority priority) {
    execute(object);
    m_pThread->setPolicy(policy);
    m_pThread->setPriority(priority);
  }

  unsigned long waitForCompletion() {
    if (m_pThread == nullptr) return IFOS_RC_NO_OBJECT;
    return m_pThread->waitForCompletion();
  }

  void realExecute() { m_pObject->execute(); }

  IFOSRcThread* getThread() const { return m_pThread; }

 private:
  IFOSRcThread* m_pThread;
  ThreadHelper<T>* m_pHelper;
  T* m_pObject;
};

#endif
