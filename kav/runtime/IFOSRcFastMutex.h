// A plain, non-recursive mutex.
#ifndef KAV_RUNTIME_IFOSRCFASTMUTEX_H
#define KAV_RUNTIME_IFOSRCFASTMUTEX_H

#include "kav/runtime/IFOSReturnCodes.h"
#include "kav/runtime/scf_os.h"

class IFOSRcFastMutex {
 public:
  explicit IFOSRcFastMutex(unsigned long* rc = nullptr);
  IFOSRcFastMutex(const IFOSRcFastMutex&) = delete;
  IFOSRcFastMutex& operator=(const IFOSRcFastMutex&) = delete;
  virtual ~IFOSRcFastMutex();

  virtual unsigned long mutexRelease();
  virtual unsigned long mutexRequest();

 private:
  scf_os_fastmutex_t* m_pMutex;
};

#endif
