#include "kav/runtime/SortedRegistrationTokenQueue.h"

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"


void SortedRegistrationTokenQueue::insertRegistrationToken(TimeoutServiceRegistrationToken* token, bool* newHead) {
  if (token == nullptr) {
    KAV_TRACE(KAVE, "SortedRegistrationTokenQueue::insertRegistrationToken null token %.8X", token);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
  TimeoutServiceRegistrationToken* prev = nullptr;
  TimeoutServiceRegistrationToken* cur = m_pHead;
  while (cur != nullptr && cur->getExecutionTime() <= token->getExecutionTime()) {
    prev = cur;
    cur = cur->getNextInQueue();
  }
  token->setNextInQueue(cur);
  if (prev == nullptr)
    m_pHead = token;
  else
    prev->setNextInQueue(token);
  if (newHead != nullptr) *newHead = (prev == nullptr);
}

TimeoutServiceRegistrationToken* SortedRegistrationTokenQueue::removeRegistrationToken(unsigned int id) {
  TimeoutServiceRegistrationToken* prev = nullptr;
  for (TimeoutServiceRegistrationToken* cur = m_pHead; cur != nullptr; prev = cur, cur = cur->getNextInQueue()) {
    if (cur->getRegistrationId() != id) continue;
    if (prev == nullptr)
      m_pHead = cur->getNextInQueue();
    else
      prev->setNextInQueue(cur->getNextInQueue());
    cur->setNextInQueue(nullptr);
    return cur;
  }
  return nullptr;
}

TimeoutServiceRegistrationToken* SortedRegistrationTokenQueue::removeRegistrationToken() {
  TimeoutServiceRegistrationToken* first = m_pHead;
  if (first != nullptr) {
    m_pHead = first->getNextInQueue();
    first->setNextInQueue(nullptr);
  }
  return first;
}

