// Records one spreading set-up in every clock domain of a list.
#ifndef KAV_CLOCK_WRITESPREADINGVALUESEXECUTOR_H
#define KAV_CLOCK_WRITESPREADINGVALUESEXECUTOR_H

#include "kav/clock/domain/ClockDomainExecutor.h"

class KAV_EXPORT WriteSpreadingValuesExecutor : public ClockDomainExecutor<void*> {
 public:
  WriteSpreadingValuesExecutor(kavosc::SpreadingDirection_t direction, unsigned int value);
  ~WriteSpreadingValuesExecutor() override;

 protected:
  ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, void* step) override;

 private:
  kavosc::SpreadingDirection_t m_direction;
  unsigned int m_value;
};

#endif
