// A clock domain's speed port: reads or writes the domain's speed as a
// cycle time in picoseconds.
#ifndef KAV_CLOCK_PLLSPEEDACCESS_H
#define KAV_CLOCK_PLLSPEEDACCESS_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PllSpeedAccess : public AtomicBase {
  KAV_TREE_CLASS(PllSpeedAccess)

 public:
  ~PllSpeedAccess() override;

  virtual ErrorData readSpeed(unsigned int& cycleTimePs) = 0;
  virtual ErrorData writeSpeed(unsigned int cycleTimePs) = 0;

 protected:
  PllSpeedAccess();
};

#endif
