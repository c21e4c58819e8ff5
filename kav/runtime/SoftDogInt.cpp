#include "kav/runtime/SoftDogInt.h"

#include <string>

#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/tree/errors/Logger.h"

SoftDogInt::SoftDogInt(unsigned int limitMs, kavstl::string const& name)
    : m_token(name), m_limitMs(limitMs), m_registrationId(0) {
  m_registrationId = TimeoutService::getInstance()->registerTimeout(&m_token, 0, kAbendMs);
  m_clock.startClock();
}

SoftDogInt::~SoftDogInt() {
  if (m_registrationId != 0) TimeoutService::getInstance()->deleteRegistration(m_registrationId);
  uint64_t elapsed = m_clock.getElapsedMilliSeconds();
  if (elapsed > m_limitMs) {
    KAV_TRACE_STR(KAVE, "SoftDog %s %u ms limit %u", m_token.getTimeoutText(), static_cast<unsigned>(elapsed),
                  m_limitMs);
    Logger logger;
    logger.logEvent("SoftDog", overrunText(elapsed, m_token.getTimeoutText(), m_limitMs));
  }
}

kavstl::string SoftDogInt::overrunText(unsigned long long elapsedMs, const kavstl::string& name,
                                       unsigned int limitMs) {
  return std::to_string(elapsedMs) + "ms exectime for " + name + " exceeded, timeout value is " +
         std::to_string(limitMs) + "ms";
}
