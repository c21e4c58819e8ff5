// A callback that a router runs for one registration.
#ifndef KAV_EVENTS_BASEEVENTCALLBACK_H
#define KAV_EVENTS_BASEEVENTCALLBACK_H

template <class T>
class BaseEventCallback {
 public:
  BaseEventCallback() = default;
  virtual ~BaseEventCallback() = default;
  // The long is the registration id.
  virtual void run(T const& event, long registrationId) = 0;
  // A heap copy; the router stores it.
  virtual BaseEventCallback<T>* createCopy() const = 0;

 protected:
  BaseEventCallback(const BaseEventCallback&) = default;
  BaseEventCallback& operator=(const BaseEventCallback&) = default;
};

#endif
