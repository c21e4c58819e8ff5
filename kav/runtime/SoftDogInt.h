// Scope watchdog of a handler: watched by the time-out service (abend time
// 120000 ms) for its lifetime; when the scope took longer than the limit,
// a "SoftDog" event is logged on leaving it.
#ifndef KAV_RUNTIME_SOFTDOGINT_H
#define KAV_RUNTIME_SOFTDOGINT_H

#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/runtime/TimeoutServiceRegistrationToken.h"
#include "kav/tree/objects/kavstl.h"

class SoftDogInt {
 public:
  static constexpr unsigned int kAbendMs = 120000;

  SoftDogInt(unsigned int limitMs, kavstl::string const& name);
  ~SoftDogInt();
  SoftDogInt(const SoftDogInt&) = delete;
  SoftDogInt& operator=(const SoftDogInt&) = delete;

  unsigned int getRegistrationId() const { return m_registrationId; }
  // The text logged for an overrun of `elapsedMs`.
  static kavstl::string overrunText(unsigned long long elapsedMs, const kavstl::string& name, unsigned int limitMs);

 private:
  TimeoutServiceRegistrationToken m_token;
  unsigned int m_limitMs;
  unsigned int m_registrationId;
  IFOSRcHighResolutionClock m_clock;
};

#endif
