// A tree node with its own recursive mutex; every descendant without an own
// mutex serialises on it (QueryBase::mutexRequest asks the parent).
#ifndef KAV_TREE_ATOMICBASE_H
#define KAV_TREE_ATOMICBASE_H

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT AtomicBase : public QueryBase {
  KAV_TREE_CLASS(AtomicBase)

 public:
  AtomicBase();
  ~AtomicBase() override;

  // A timeout of 0 or 0xFFFFFFFF waits without limit, any other value that
  // long. 0, or 1000 on time-out (the mutexes held are traced); any other
  // result ends the process.
  unsigned long mutexRequest(int timeout) const override;
  unsigned long mutexRelease() const override;

 private:
  mutable IFOSRcLocalMutex m_mutex;
};

#endif
