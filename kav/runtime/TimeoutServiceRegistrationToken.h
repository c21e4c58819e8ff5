// A registration with the time-out service. Owned by the caller; it must
// outlive its registration (until deleteRegistration or until the
// registration ended).
#ifndef KAV_RUNTIME_TIMEOUTSERVICEREGISTRATIONTOKEN_H
#define KAV_RUNTIME_TIMEOUTSERVICEREGISTRATIONTOKEN_H

#include <cstdint>

#include "kav/tree/objects/kavstl.h"


class TimeoutServiceRegistrationToken {
 public:
  explicit TimeoutServiceRegistrationToken(const kavstl::string& text);
  ~TimeoutServiceRegistrationToken();

  TimeoutServiceRegistrationToken(const TimeoutServiceRegistrationToken&) = delete;
  TimeoutServiceRegistrationToken& operator=(const TimeoutServiceRegistrationToken&) = delete;

  uint64_t getTimeoutStarttime() const { return m_startTime; }
  void setTimeoutStarttime(uint64_t t) { m_startTime = t; }
  uint64_t getTimeoutLog() const { return m_logTime; }
  void setTimeoutLog(uint64_t t) { m_logTime = t; }
  uint64_t getTimeoutPabend() const { return m_abendTime; }
  void setTimeoutPabend(uint64_t t) { m_abendTime = t; }
  uint64_t getExecutionTime() const { return m_executionTime; }
  void setExecutionTime(uint64_t t) { m_executionTime = t; }
  const kavstl::string& getTimeoutText() const { return m_text; }
  void setTimeoutText(const kavstl::string& text) { m_text = text; }
  unsigned int getRegistrationId() const { return m_registrationId; }
  void setRegistrationId(unsigned int id) { m_registrationId = id; }
  TimeoutServiceRegistrationToken* getNextInQueue() const { return m_pNext; }
  void setNextInQueue(TimeoutServiceRegistrationToken* next) { m_pNext = next; }
  unsigned int getThreadId() const { return m_threadId; }
  void setThreadId(unsigned int tid) { m_threadId = tid; }

 private:
  uint64_t m_startTime = 0;
  uint64_t m_logTime = 0;
  uint64_t m_abendTime = 0;
  uint64_t m_executionTime = 0;
  kavstl::string m_text;
  unsigned int m_registrationId = 0;
  TimeoutServiceRegistrationToken* m_pNext = nullptr;
  unsigned int m_threadId = 0;
};


#endif
