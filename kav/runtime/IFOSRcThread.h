// A thread that runs an executor's execute().
#ifndef KAV_RUNTIME_IFOSRCTHREAD_H
#define KAV_RUNTIME_IFOSRCTHREAD_H

#include "kav/runtime/IFOSAbstractExecutor.h"
#include "kav/runtime/IFOSReturnCodes.h"
#include "kav/runtime/scf_os.h"

class IFOSRcThread {
 public:
  // Normal, round robin, FIFO.
  enum ifosPolicy { IFOS_POLICY_OTHER = 0, IFOS_POLICY_RR = 1, IFOS_POLICY_FIFO = 2 };
  // Middle of the policy's range, its maximum, its minimum, 75.
  enum ifosPriority { IFOS_PRIORITY_MIDDLE = 0, IFOS_PRIORITY_MAX = 1, IFOS_PRIORITY_MIN = 2, IFOS_PRIORITY_75 = 3 };

  explicit IFOSRcThread(IFOSAbstractExecutor* executor = nullptr);
  IFOSRcThread(const IFOSRcThread&) = delete;
  IFOSRcThread& operator=(const IFOSRcThread&) = delete;
  // Detaches a thread that was not joined.
  virtual ~IFOSRcThread();

  void setExecutor(IFOSAbstractExecutor* executor) { m_pExecutor = executor; }
  IFOSAbstractExecutor* getExecutor() const { return m_pExecutor; }

  // Joins and closes a previous thread of this object, then starts a new one.
  unsigned long start();
  unsigned long waitForCompletion();
  bool isStarted() const { return m_started; }

  // Store the value and apply it to a running thread. A real-time policy
  // may be refused by the operating system (9999); the thread then keeps
  // the normal policy.
  unsigned long setPolicy(ifosPolicy policy);
  unsigned long setPriority(ifosPriority priority);
  ifosPolicy getPolicy() const { return m_policy; }
  ifosPriority getPriority() const { return m_priority; }

  // The operating-system policy of an ifosPolicy.
  static int toOsPolicy(ifosPolicy policy);

 private:
  static void threadFunction(scf_os_thread_t* handle, void* argument);

  scf_os_thread_t* m_pThread;
  IFOSAbstractExecutor* m_pExecutor;
  bool m_started;
  ifosPolicy m_policy;
  ifosPriority m_priority;
};

#endif
