// A member callback that passes a fixed parameter after the event.
#ifndef KAV_EVENTS_EVENTMEMBERPARAMETERCALLBACK_H
#define KAV_EVENTS_EVENTMEMBERPARAMETERCALLBACK_H

#include "kav/events/EventMemberCallback.h"

template <class C, class T, class P>
class EventMemberParameterCallback : public EventMemberCallback<C, T> {
  typedef EventMemberCallback<C, T> Base;

 public:
  typedef void (C::*ParamHandler_t)(T const&, P);
  typedef void (C::*ParamIdHandler_t)(T const&, P, long);

  EventMemberParameterCallback(C* object, ParamHandler_t h, P parameter)
      : Base(object), m_paramHandler(h), m_parameter(parameter) {}
  EventMemberParameterCallback(C* object, ParamIdHandler_t h, P parameter)
      : Base(object), m_paramIdHandler(h), m_parameter(parameter) {}
  EventMemberParameterCallback(const EventMemberParameterCallback&) = default;
  ~EventMemberParameterCallback() override = default;

  void run(T const& event, long registrationId) override {
    C* object = this->m_pObject;
    if (object == nullptr) return;
    if (m_paramHandler != nullptr)
      (object->*m_paramHandler)(event, m_parameter);
    else if (m_paramIdHandler != nullptr)
      (object->*m_paramIdHandler)(event, m_parameter, registrationId);
  }
  BaseEventCallback<T>* createCopy() const override { return new EventMemberParameterCallback<C, T, P>(*this); }

  const P& getParameter() const { return m_parameter; }

 private:
  ParamHandler_t m_paramHandler = nullptr;
  ParamIdHandler_t m_paramIdHandler = nullptr;
  P m_parameter;
};

#endif
