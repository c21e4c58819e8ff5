// The rendezvous between one dispatcher and the senders that wait for the
// delivery of their events. After every dispatched event, while waiters
// exist, the dispatcher meets them in two phases:
//   one: every participant (the dispatcher counts as one) arrives; the last
//        one to arrive posts the dispatched event;
//   two: each waiter looks at its own event; a delivered one leaves, the
//        others acknowledge, the dispatcher too; the last acknowledgement
//        posts the all-acknowledged event, and everyone carries on.
// A waiter that times out leaves and completes the phase for the others
// when it was the last one missing. A terminating object makes every wait
// count as timed out.
#ifndef KAV_EVENTS_SYNCHEVENTSYNCHOBJECT_H
#define KAV_EVENTS_SYNCHEVENTSYNCHOBJECT_H

#include <cstdint>

class IFOSRcLocalMutex;
class IFOSRcLocalEvent;

class SynchEventSynchObject {
 public:
  // One waiter's part in the rounds; kept by the waiter.
  struct Waiter {
    unsigned char pending = 0;  // 0 none, 1 arrived, 2 acknowledged
    uint32_t round = 0;         // the round of the pending phase
  };

  // Creates its mutexes and events; failure ends the process.
  SynchEventSynchObject();
  ~SynchEventSynchObject();
  SynchEventSynchObject(const SynchEventSynchObject&) = delete;
  SynchEventSynchObject& operator=(const SynchEventSynchObject&) = delete;

  // Joins as a waiter; false (not joined) when terminating. Joining waits
  // for a running round to end.
  bool newSynchEvent(Waiter& w);
  // Leaves: before waiting (append failed), after a time-out, or when
  // the own event has been delivered.
  void cancelSynchEvent(Waiter& w);
  void eventDelivered(Waiter& w) { cancelSynchEvent(w); }
  // Phase one: arrives and waits for the next dispatched event, at most
  // timeoutMs (negative: no limit). False on time-out or termination; the
  // waiter is still part of the rendezvous and leaves with cancelSynchEvent
  // once it has looked at its event.
  bool waitDispatched(Waiter& w, long timeoutMs);
  // Phase two for a waiter whose event is not yet delivered: acknowledges
  // and waits for the others. False on time-out or termination (still to
  // leave, as above).
  bool eventNotYetDelivered(Waiter& w, long timeoutMs);
  // The dispatcher's part after every dispatched event.
  void eventDispatched();
  // Every wait from now on counts as timed out.
  void terminate();

  unsigned int getNumberOfWaiters();

 private:
  void arriveLocked(Waiter* w);
  void acknowledgeLocked(Waiter* w);
  void completePhaseOneLocked();
  void completePhaseTwoLocked();
  bool isTerminating();

  IFOSRcLocalMutex* m_pDispatchMutex;
  IFOSRcLocalMutex* m_pCounterMutex;
  IFOSRcLocalEvent* m_pDispatchedEvent;
  IFOSRcLocalEvent* m_pAllAcknowledgedEvent;
  unsigned int m_waiters;
  unsigned int m_arrived;
  unsigned int m_acknowledged;
  uint32_t m_roundOne;  // completed phase ones
  uint32_t m_roundTwo;  // completed phase twos
  unsigned char m_terminating;
};

#endif
