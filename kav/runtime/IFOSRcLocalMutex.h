// A recursive mutex of this process.
#ifndef KAV_RUNTIME_IFOSRCLOCALMUTEX_H
#define KAV_RUNTIME_IFOSRCLOCALMUTEX_H

#include "kav/runtime/IFOSRcMutex.h"
#include "kav/runtime/scf_os.h"

class IFOSRcLocalMutex : public IFOSRcMutex {
 public:
  // rc (optional) receives the converted result of the creation.
  explicit IFOSRcLocalMutex(IFOSMutexState state = IFOS_MUTEX_UNLOCKED, unsigned long* rc = nullptr);
  ~IFOSRcLocalMutex() override;

  unsigned long mutexRelease() override;
  unsigned long mutexRequest(long timeoutMs = -1) override;
  // Owner thread id (0 = free) and recursion count.
  unsigned long query(int* owner, int* count);

  // Traces every mutex of the OS layer that is currently held.
  static void dump();

 private:
  scf_os_mu_t* m_pMutex;
};

#endif
