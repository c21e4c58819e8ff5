// A stand-alone holder of one recursive mutex (not a tree node).
#ifndef KAV_TREE_ATOMIC_H
#define KAV_TREE_ATOMIC_H

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT Atomic {
 public:
  Atomic();
  virtual ~Atomic();
  Atomic(const Atomic&) = delete;
  Atomic& operator=(const Atomic&) = delete;

  // Waits without limit.
  unsigned long mutexRequest() const;
  unsigned long mutexRelease() const;

 private:
  mutable IFOSRcLocalMutex m_mutex;
};

#endif
