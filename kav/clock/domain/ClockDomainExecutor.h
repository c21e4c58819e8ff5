// One operation applied to every clock domain of a list, in list order, on
// the caller's thread (ExecList::forEachElementDo, or forEachElementLoop
// with the mode as the step). The operation counts as done when at least
// one domain carried it out; every domain it failed on is marked defective,
// unless the failure is a refused parameter (0x7246, 0x7247) rather than a
// fault of the domain. The first failure is kept as the result for when no
// domain succeeded.
//
// T is void* (no argument) or kavosc::OscSetMode_t (the mode).
#ifndef KAV_CLOCK_CLOCKDOMAINEXECUTOR_H
#define KAV_CLOCK_CLOCKDOMAINEXECUTOR_H

#include "kav/clock/domain/ClockDomain.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/start/FunctionLooper.h"

template <class T>
class KAV_EXPORT ClockDomainExecutor : public FunctionLooper<ClockDomain, ErrorData, T> {
 public:
  ClockDomainExecutor();

  // 0 when a domain succeeded (or the list was empty); the first failure
  // when none did.
  ErrorData getReturnValue() override;
  void notifyStepBegin(T step) override;
  void execute(KavPtr<ClockDomain> domain, T step) override;
  void notifyStepEnd(T step) override;
  ~ClockDomainExecutor() override;

  bool hasSucceeded() const { return m_success; }

 protected:
  virtual ErrorData callClockDomainFunction(KavPtr<ClockDomain> domain, T step) = 0;

 private:
  bool m_success;
  ErrorData m_error;
};

extern template class ClockDomainExecutor<void*>;
extern template class ClockDomainExecutor<kavosc::OscSetMode_t>;

#endif
