// The initialised state of a service that is started and stopped, together
// with the calls under way. A call enters only while the service is
// initialised and is counted until it leaves; terminate closes the gate and
// waits until every call that entered has left before it destroys the
// mutex, the event and the rest that the calls use. A call that finds the
// gate closed uses nothing of the service.
#ifndef KAV_RUNTIME_SERVICECALLGATE_H
#define KAV_RUNTIME_SERVICECALLGATE_H

#include <atomic>

class ServiceCallGate {
 public:
  ServiceCallGate() = default;
  ServiceCallGate(const ServiceCallGate&) = delete;
  ServiceCallGate& operator=(const ServiceCallGate&) = delete;

  // The service is initialised from here on.
  void open();
  // Ends the initialised state and waits until the calls that entered have
  // left; false (and no wait) when the service was not initialised.
  bool close();
  bool isOpen() const { return m_open.load() != 0; }

  // One call of the service, entered when the gate was open.
  class Call {
   public:
    explicit Call(ServiceCallGate& gate);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    bool entered() const { return m_entered; }

   private:
    ServiceCallGate& m_gate;
    bool m_entered;
  };

 private:
  // Both sequentially consistent: a call either sees the gate closed or is
  // seen by close() as under way.
  std::atomic<unsigned char> m_open{0};
  std::atomic<unsigned int> m_calls{0};
};

#endif
