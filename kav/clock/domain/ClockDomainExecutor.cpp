#include "kav/clock/domain/ClockDomainExecutor.h"

#include <cstdint>

#include "kav/runtime/KavTrace.h"

namespace {
// A device refused the parameters (direction; amount or counter): the
// domain itself is not at fault.
const unsigned int kRefusedDirection = 0x7246;
const unsigned int kRefusedAmount = 0x7247;

template <class T>
unsigned int stepValue(T step) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(step));
}
template <>
unsigned int stepValue<kavosc::OscSetMode_t>(kavosc::OscSetMode_t step) {
  return static_cast<unsigned int>(step);
}
}  // namespace

template <class T>
ClockDomainExecutor<T>::ClockDomainExecutor() : m_success(false), m_error(ErrorData::NO_OVERWRITE) {}

template <class T>
ClockDomainExecutor<T>::~ClockDomainExecutor() {}

template <class T>
ErrorData ClockDomainExecutor<T>::getReturnValue() {
  return m_success ? ErrorData() : m_error;
}

template <class T>
void ClockDomainExecutor<T>::notifyStepBegin(T step) {
  KAV_TRACE(KAVT, "ClockDomainExecutor step %u begins", stepValue(step));
}

template <class T>
void ClockDomainExecutor<T>::notifyStepEnd(T step) {
  KAV_TRACE(KAVT, "ClockDomainExecutor step %u ends success=%u rc=0x%08X", stepValue(step), m_success ? 1u : 0u,
            m_error.getRc());
}

template <class T>
void ClockDomainExecutor<T>::execute(KavPtr<ClockDomain> domain, T step) {
  if (domain == nullptr) return;
  const ErrorData rc = callClockDomainFunction(domain, step);
  if (rc == 0) {
    m_success = true;
    return;
  }
  m_error = rc;
  const unsigned int code = rc.getRcWithoutLogFlag();
  KAV_TRACE(KAVE, "ClockDomainExecutor slot=0x%08X rc=0x%08X", domain->getSlotId(), rc.getRc());
  if (code != kRefusedDirection && code != kRefusedAmount) domain->setDefective();
}

template class ClockDomainExecutor<void*>;
template class ClockDomainExecutor<kavosc::OscSetMode_t>;
