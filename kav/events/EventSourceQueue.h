// The bounded ring queue of one source. Appending stores the event in the
// next free slot and hands the slot to the source's dispatcher; the
// dispatcher delivers the slots of all its queues in append order.
// Capacity slots are allocated once; appending and dispatching allocate
// nothing.
#ifndef KAV_EVENTS_EVENTSOURCEQUEUE_H
#define KAV_EVENTS_EVENTSOURCEQUEUE_H

#include <cstdint>
#include <cstring>

#include "kav/events/EventDispatcher.h"
#include "kav/events/EventSourceBaseQueue.h"
#include "kav/events/EventSourceQueueElement.h"
#include "kav/events/SynchEventSynchObject.h"
#include "kav/runtime/IFOSRcHighResolutionClock.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

template <class T>
class EventSource;

template <class T>
class EventSourceQueue : public EventSourceBaseQueue {
 public:
  typedef typename T::EventType Filter;
  typedef EventSourceQueueElement<T> Element;

  // A capacity of 0 ends the process.
  EventSourceQueue(EventDispatcher* dispatcher, unsigned long capacity, EventSource<T>* source)
      : EventSourceBaseQueue(dispatcher),
        m_pElements(nullptr),
        m_capacity(capacity),
        m_count(0),
        m_oldest(0),
        m_delivered(0),
        m_pSource(source),
        m_closed(0) {
    if (capacity == 0) {
      KAV_TRACE(KAVE, "EventSourceQueue: capacity 0 %lu", capacity);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    m_pElements = new Element[capacity];
    for (unsigned long i = 0; i < capacity; ++i) m_pElements[i].m_pQueue = this;
  }

  ~EventSourceQueue() override {
    if (m_terminating.load() == 0) terminateQueue();
    delete[] m_pElements;
  }

  // 0 queued (ticket set), -3 full, -4 closed or terminating.
  long appendEvent(const T& event, const Filter* filter, bool any, uint32_t& ticket) {
    long rc = 0;
    lockQueue();
    if (m_terminating.load() != 0 || m_closed != 0) {
      unlockQueue();
      KAV_TRACE(KAVT, "EventSourceQueue::appendEvent terminating %p", this);
      return -4;
    }
    if (m_count < m_capacity) {
      Element& e = m_pElements[(m_oldest + m_count) % m_capacity];
      unsigned int size = event.dataSize();
      if (size > sizeof(e.m_payload)) size = sizeof(e.m_payload);
      std::memcpy(e.m_payload, event.dataPointer(), size);
      e.m_payloadSize = size;
      if (!any && filter != nullptr) e.m_filter = *filter;
      e.m_any = any ? 1 : 0;
      e.m_state = EventSourceQueueBaseElement::QUEUED;
      ticket = m_delivered + static_cast<uint32_t>(m_count);
      if (m_suspended == 0) rc = m_pDispatcher->enqueueForDispatching(&e);
      if (rc == 0)
        ++m_count;
      else
        e.m_state = EventSourceQueueBaseElement::FREE;
    } else {
      rc = -3;
      traceFullQueue(event);
    }
    unlockQueue();
    return rc;
  }

  // Appends and waits until the event has been delivered, at most timeoutMs
  // (negative: no limit). 0 delivered, -2 timed out before its delivery
  // began (with cancelOnTimeout it will not be delivered), -5 timed out
  // while it was being delivered, -4 terminating; append results as above.
  long appendEventAndWait(const T& event, const Filter* filter, bool any, long timeoutMs, bool cancelOnTimeout) {
    uint32_t ticket = 0;
    SynchEventSynchObject::Waiter w;
    // The dispatcher's own thread can not wait for itself.
    if (m_pDispatcher->isDispatcherThread() || !m_pSynchObject->newSynchEvent(w)) {
      KAV_TRACE(KAVT, "EventSourceQueue::appendEventAndWait without waiting %p", this);
      return appendEvent(event, filter, any, ticket);
    }
    long rc = appendEvent(event, filter, any, ticket);
    if (rc != 0) {
      m_pSynchObject->cancelSynchEvent(w);
      return rc;
    }
    return wait(ticket, timeoutMs, cancelOnTimeout, w);
  }

  void dispatchEvent(EventSourceQueueBaseElement* base) override {
    // This queue may be gone once the delivery lock is released.
    EventSource<T>* source = m_pSource;
    SynchEventSynchObject* synch = m_pSynchObject;
    source->blockDelivery();
    lockQueue();
    Element* e = static_cast<Element*>(base);
    if (m_count == 0 || e != &m_pElements[m_oldest] ||
        (e->m_state != EventSourceQueueBaseElement::QUEUED && e->m_state != EventSourceQueueBaseElement::CANCELLED)) {
      KAV_TRACE(KAVE, "EventSourceQueue::dispatchEvent not the oldest %p,%p,%lu,%lu,%lu,%p,%u", this, e, m_count,
                m_oldest, m_capacity, &m_pElements[m_oldest], e->m_state);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    bool cancelled = e->m_state == EventSourceQueueBaseElement::CANCELLED;
    if (!cancelled) e->m_state = EventSourceQueueBaseElement::DELIVERING;
    unlockQueue();
    if (!cancelled)
      source->deliverEvents(e->m_payload, e->m_payloadSize, e->m_any != 0 ? nullptr : &e->m_filter, e->m_any != 0, 0,
                            false);
    else
      KAV_TRACE(KAVT, "EventSourceQueue::dispatchEvent skips cancelled %p,%p", this, e);
    lockQueue();
    e->m_state = EventSourceQueueBaseElement::FREE;
    m_oldest = (m_oldest + 1) % m_capacity;
    ++m_delivered;
    --m_count;
    unlockQueue();
    source->unblockDelivery();
    synch->eventDispatched();
  }

  // The caller holds the queue mutex.
  void reenqueueForDispatching() override {
    for (unsigned long i = 0; i < m_count; ++i) {
      Element& e = m_pElements[(m_oldest + i) % m_capacity];
      if (e.m_state == EventSourceQueueBaseElement::QUEUED || e.m_state == EventSourceQueueBaseElement::CANCELLED)
        m_pDispatcher->enqueueForDispatching(&e);
    }
  }

  // No event is accepted any more.
  void close() {
    lockQueue();
    m_closed = 1;
    unlockQueue();
  }

  // Waits until every stored event has been delivered. Does not wait on
  // the dispatcher's own thread or for a suspended queue.
  void waitQueueEmpty() {
    if (m_pDispatcher->isDispatcherThread()) return;
    SynchEventSynchObject::Waiter w;
    if (!m_pSynchObject->newSynchEvent(w)) return;
    for (;;) {
      if (isDrainedOrStuck()) {
        m_pSynchObject->cancelSynchEvent(w);
        return;
      }
      if (!m_pSynchObject->waitDispatched(w, -1) || isDrainedOrStuck()) {
        m_pSynchObject->eventDelivered(w);
        return;
      }
      if (!m_pSynchObject->eventNotYetDelivered(w, -1)) {
        m_pSynchObject->cancelSynchEvent(w);
        return;
      }
    }
  }

  // Stops the queue: its elements leave the dispatcher, stored events are
  // dropped, and waiting senders wake and see the termination.
  void terminateQueue() {
    lockQueue();
    m_terminating.store(1);
    m_pDispatcher->removeAllEntries(this);
    if (m_count != 0) KAV_TRACE(KAVE, "EventSourceQueue::terminate drops %lu events %p", m_count, this);
    unlockQueue();
    m_pSynchObject->eventDispatched();
  }

  unsigned long getCapacity() const { return m_capacity; }
  unsigned long getCount() {
    lockQueue();
    unsigned long n = m_count;
    unlockQueue();
    return n;
  }
  uint32_t getDeliveredCount() {
    lockQueue();
    uint32_t n = m_delivered;
    unlockQueue();
    return n;
  }
  // The slot at a ring index (diagnosis and tests).
  Element* getElement(unsigned long index) { return index < m_capacity ? &m_pElements[index] : nullptr; }

 private:
  bool isDeliveredLocked(uint32_t ticket) const { return static_cast<int32_t>(m_delivered - ticket) > 0; }

  bool isDrainedOrStuck() {
    lockQueue();
    bool done = m_count == 0 || m_terminating.load() != 0 || m_suspended != 0 || m_pDispatcher->isTerminating();
    unlockQueue();
    return done;
  }

  long wait(uint32_t ticket, long timeoutMs, bool cancelOnTimeout, SynchEventSynchObject::Waiter& w) {
    IFOSRcHighResolutionClock clock;
    clock.startClock();
    auto remaining = [&]() -> long {
      if (timeoutMs <= 0) return -1;
      long left = timeoutMs - static_cast<long>(clock.getElapsedMilliSeconds());
      return left < 1 ? 1 : left;
    };
    auto expired = [&]() { return timeoutMs > 0 && static_cast<long>(clock.getElapsedMilliSeconds()) >= timeoutMs; };
    for (;;) {
      bool woke = m_pSynchObject->waitDispatched(w, remaining());
      if (woke) {
        lockQueue();
        long rc = 1;
        // A delivered event counts as delivered even when the queue has
        // been terminated since.
        if (isDeliveredLocked(ticket))
          rc = 0;
        else if (m_terminating.load() != 0)
          rc = -4;
        unlockQueue();
        if (rc != 1) {
          m_pSynchObject->eventDelivered(w);
          return rc;
        }
        woke = !expired() && m_pSynchObject->eventNotYetDelivered(w, remaining());
      }
      if (!woke) {
        // Timed out. The waiter leaves the rendezvous only after looking at
        // its event: until then a source deletion waits for it.
        lockQueue();
        long rc = -2;
        if (isDeliveredLocked(ticket)) {
          rc = 0;
        } else if (m_terminating.load() != 0) {
          rc = -4;
        } else {
          Element& e = m_pElements[(ticket - m_delivered + m_oldest) % m_capacity];
          if (e.m_state == EventSourceQueueBaseElement::DELIVERING) {
            rc = -5;
          } else if (cancelOnTimeout && e.m_state == EventSourceQueueBaseElement::QUEUED) {
            e.m_state = EventSourceQueueBaseElement::CANCELLED;
          }
        }
        unlockQueue();
        KAV_TRACE(KAVT, "EventSourceQueue::wait timed out %p,%u,%ld", this, ticket, rc);
        m_pSynchObject->cancelSynchEvent(w);
        return rc;
      }
    }
  }

  // The first payload word (the key) of every stored event, oldest first,
  // then that of the rejected one; the caller holds the queue mutex.
  void traceFullQueue(const T& rejected) {
    uint32_t words[8];
    unsigned int n = 0;
    auto flush = [&]() {
      KAV_TRACE(KAVE, "EventSourceQueue full: %x %x %x %x %x %x %x %x", words[0], words[1], words[2], words[3],
                words[4], words[5], words[6], words[7]);
      n = 0;
    };
    auto add = [&](const void* payload) {
      uint32_t w = 0;
      std::memcpy(&w, payload, sizeof(w));
      words[n++] = w;
      if (n == 8) flush();
    };
    unsigned long count = m_count < m_capacity ? m_count : m_capacity;
    for (unsigned long i = 0; i < count; ++i) add(m_pElements[(m_oldest + i) % m_capacity].m_payload);
    add(rejected.dataPointer());
    if (n != 0) {
      for (unsigned int i = n; i < 8; ++i) words[i] = 0;
      flush();
    }
    if (m_count > m_capacity) {
      KAV_TRACE(KAVE, "EventSourceQueue: count above capacity %lu,%lu", m_count, m_capacity);
      percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
    }
    KAV_TRACE(KAVE, "EventSourceQueue: queue full %p,%lu", this, m_capacity);
  }

  Element* m_pElements;
  unsigned long m_capacity;
  unsigned long m_count;   // occupied slots, under the queue mutex
  unsigned long m_oldest;  // index of the oldest slot
  uint32_t m_delivered;    // dispatched slots; ticket base
  EventSource<T>* m_pSource;
  unsigned char m_closed;  // set when the source is being deleted
};

#endif
