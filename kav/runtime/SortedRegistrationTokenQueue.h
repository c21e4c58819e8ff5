// The time-out service's pending registrations: a singly linked list of
// tokens in ascending execution time, linked through the tokens themselves.
// Not locked; the service's mutex guards it.
#ifndef KAV_RUNTIME_SORTEDREGISTRATIONTOKENQUEUE_H
#define KAV_RUNTIME_SORTEDREGISTRATIONTOKENQUEUE_H

#include "kav/runtime/SortedIntrusiveQueue.h"
#include "kav/runtime/TimeoutServiceRegistrationToken.h"

class SortedRegistrationTokenQueue {
 public:
  SortedRegistrationTokenQueue() = default;

  // Links the token behind every token due at or before it, so equal times
  // keep their insertion order. *newHead (when given) tells whether it
  // became the first. A null token ends the process.
  void insertRegistrationToken(TimeoutServiceRegistrationToken* token, bool* newHead);
  // Unlinks and returns the token with that registration id, or null.
  TimeoutServiceRegistrationToken* removeRegistrationToken(unsigned int id) { return m_list.remove(id); }
  // Unlinks and returns the first token, or null.
  TimeoutServiceRegistrationToken* removeRegistrationToken() { return m_list.removeFirst(); }
  // The first token, still linked, or null.
  TimeoutServiceRegistrationToken* getRegistrationToken() const { return m_list.first(); }

 private:
  SortedIntrusiveQueue<TimeoutServiceRegistrationToken, &TimeoutServiceRegistrationToken::getNextInQueue,
                       &TimeoutServiceRegistrationToken::setNextInQueue,
                       &TimeoutServiceRegistrationToken::getExecutionTime,
                       &TimeoutServiceRegistrationToken::getRegistrationId>
      m_list;
};

#endif
