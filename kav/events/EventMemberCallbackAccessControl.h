// A member callback that keeps its tree object from being reclaimed: the
// object's reference count is raised around every handler call and, with
// the hold-reference flag, for as long as the callback exists.
#ifndef KAV_EVENTS_EVENTMEMBERCALLBACKACCESSCONTROL_H
#define KAV_EVENTS_EVENTMEMBERCALLBACKACCESSCONTROL_H

#include "kav/events/EventMemberCallback.h"

template <class C, class T>
class EventMemberCallbackAccessControl : public EventMemberCallback<C, T> {
  typedef EventMemberCallback<C, T> Base;

 public:
  template <class H>
  EventMemberCallbackAccessControl(C* object, H handler, bool holdReference)
      : Base(object, handler), m_holdReference(holdReference ? 1 : 0) {
    hold();
  }
  EventMemberCallbackAccessControl(const EventMemberCallbackAccessControl& other)
      : Base(other), m_holdReference(other.m_holdReference) {
    hold();
  }
  ~EventMemberCallbackAccessControl() override {
    if (m_holdReference != 0 && this->m_pObject != nullptr) this->m_pObject->releaseReference();
  }
  EventMemberCallbackAccessControl& operator=(const EventMemberCallbackAccessControl&) = delete;

  void run(T const& event, long registrationId) override {
    C* object = this->m_pObject;
    if (object == nullptr) return;
    object->requestReference();
    this->call(event, registrationId);
    object->releaseReference();
  }
  BaseEventCallback<T>* createCopy() const override { return new EventMemberCallbackAccessControl<C, T>(*this); }

  bool isHoldingReference() const { return m_holdReference != 0; }

 private:
  void hold() {
    if (m_holdReference != 0 && this->m_pObject != nullptr) this->m_pObject->requestReference();
  }

  unsigned char m_holdReference;
};

#endif
