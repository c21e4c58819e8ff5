#include "kav/runtime/SortedRegistrationTokenQueue.h"

#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

void SortedRegistrationTokenQueue::insertRegistrationToken(TimeoutServiceRegistrationToken* token, bool* newHead) {
  if (token == nullptr) {
    KAV_TRACE(KAVE, "SortedRegistrationTokenQueue::insertRegistrationToken null token %.8X", token);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }
  const bool first = m_list.insert(token);
  if (newHead != nullptr) *newHead = first;
}
