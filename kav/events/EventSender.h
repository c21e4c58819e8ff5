// The sender of an event type: owns the type's one source and sends every
// event typed (with the event's own filter key) and then, with send-any,
// again as an any-event. Senders never wait; any send failure (a full
// queue among them) ends the process. A send that comes while the sender
// is being terminated is refused quietly: terminate() waits for the sends
// under way before it deletes the source.
#ifndef KAV_EVENTS_EVENTSENDER_H
#define KAV_EVENTS_EVENTSENDER_H

#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "kav/events/EventSource.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

template <class S, class T>
class EventSender {
 public:
  EventSender() : m_pSource(nullptr), m_sendAny(1), m_initialised(0), m_terminated(0) {}
  virtual ~EventSender() {
    if (m_initialised.load() != 0) terminate();
  }
  virtual EventSource<T>* createMyEventSource() = 0;

  EventSender(const EventSender&) = delete;
  EventSender& operator=(const EventSender&) = delete;

  // Creates the source, once.
  void init() {
    if (m_initialised.load() != 0) return;
    m_pSource = createMyEventSource();
    m_terminated.store(0);
    m_initialised.store(1);
  }
  // Deletes the source, once; it delivers what is queued first. Sends
  // under way finish before; later ones (handlers that run while the queue
  // drains among them) are refused.
  void terminate() {
    EventSource<T>* source = nullptr;
    {
      std::unique_lock<std::shared_mutex> lock(m_sendLock);
      if (m_initialised.exchange(0) == 0) return;
      m_terminated.store(1);
      source = m_pSource;
      m_pSource = nullptr;
    }
    deleteEventSource(source);
  }

  // Before init the process ends; after terminate null.
  EventSource<T>* getEventSource() {
    if (m_initialised.load() == 0) {
      refuse("getEventSource");
      return nullptr;
    }
    return m_pSource;
  }

  void sendEvent(T& event) {
    // Sends never wait, so the lock is held only for the appends.
    std::shared_lock<std::shared_mutex> lock(m_sendLock);
    if (m_initialised.load() == 0) {
      refuse("sendEvent");
      return;
    }
    long rc = m_pSource->sendEvents(event, event.getEventType(), 0, false);
    if (rc != 0) {
      KAV_TRACE(KAVE, "EventSender::sendEvent typed send failed %.8lX", rc);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    if (m_sendAny != 0) {
      rc = m_pSource->sendAnyEvents(event, 0, false);
      if (rc != 0) {
        KAV_TRACE(KAVE, "EventSender::sendEvent any send failed %.8lX", rc);
        percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
      }
    }
  }

  bool isInitialised() const { return m_initialised.load() != 0; }
  bool isSendingAny() const { return m_sendAny != 0; }

 protected:
  EventSource<T>* m_pSource;
  unsigned char m_sendAny;

 private:
  // A sender that has never been initialised is a programming error; one
  // that was terminated (the library is stopping) refuses quietly.
  void refuse(const char* what) const {
    if (m_terminated.load() != 0) {
      KAV_TRACE_STR(KAVT, "EventSender::%s after terminate", what);
      return;
    }
    KAV_TRACE_STR(KAVE, "EventSender::%s on an uninitialised sender", what);
    percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
  }

  std::atomic<unsigned char> m_initialised;
  std::atomic<unsigned char> m_terminated;
  // Shared by the sends, exclusive while terminate() takes the source.
  std::shared_mutex m_sendLock;
};

#endif
