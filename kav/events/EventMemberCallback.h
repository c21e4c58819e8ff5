// Calls a member function of an object with the event. Four handler shapes:
// the event by const reference, by const reference with the registration
// id, by value, by value with the registration id.
#ifndef KAV_EVENTS_EVENTMEMBERCALLBACK_H
#define KAV_EVENTS_EVENTMEMBERCALLBACK_H

#include "kav/events/BaseEventCallback.h"

template <class C, class T>
class EventMemberCallback : public BaseEventCallback<T> {
 public:
  typedef void (C::*RefHandler_t)(T const&);
  typedef void (C::*RefIdHandler_t)(T const&, long);
  typedef void (C::*ValueHandler_t)(T);
  typedef void (C::*ValueIdHandler_t)(T, long);

  EventMemberCallback(C* object, RefHandler_t h) : m_pObject(object), m_refHandler(h) {}
  EventMemberCallback(C* object, RefIdHandler_t h) : m_pObject(object), m_refIdHandler(h) {}
  EventMemberCallback(C* object, ValueHandler_t h) : m_pObject(object), m_valueHandler(h) {}
  EventMemberCallback(C* object, ValueIdHandler_t h) : m_pObject(object), m_valueIdHandler(h) {}
  EventMemberCallback(const EventMemberCallback&) = default;
  ~EventMemberCallback() override = default;

  // Calls the first handler slot that is set.
  void run(T const& event, long registrationId) override { call(event, registrationId); }
  BaseEventCallback<T>* createCopy() const override { return new EventMemberCallback<C, T>(*this); }

  C* getObject() const { return m_pObject; }

 protected:
  // For derived callbacks with handlers of their own: no slot set.
  explicit EventMemberCallback(C* object) : m_pObject(object) {}

  void call(T const& event, long registrationId) {
    if (m_pObject == nullptr) return;
    if (m_refHandler != nullptr) {
      (m_pObject->*m_refHandler)(event);
    } else if (m_refIdHandler != nullptr) {
      (m_pObject->*m_refIdHandler)(event, registrationId);
    } else if (m_valueHandler != nullptr) {
      T copy(event);
      (m_pObject->*m_valueHandler)(copy);
    } else if (m_valueIdHandler != nullptr) {
      T copy(event);
      (m_pObject->*m_valueIdHandler)(copy, registrationId);
    }
  }

  C* m_pObject;
  RefHandler_t m_refHandler = nullptr;
  RefIdHandler_t m_refIdHandler = nullptr;
  ValueHandler_t m_valueHandler = nullptr;
  ValueIdHandler_t m_valueIdHandler = nullptr;
};

#endif
