// Scope lock: requests the mutex of an object on construction (waiting
// without limit) and releases it on destruction. Works for the OS mutexes
// and for every class with mutexRequest(timeout)/mutexRelease() or
// mutexRequest()/mutexRelease(), such as the tree objects.
#ifndef KAV_RUNTIME_IFOSGUARD_H
#define KAV_RUNTIME_IFOSGUARD_H

#include <utility>

namespace ifosguard_detail {

template <class T>
auto request(T& object, int) -> decltype(object.mutexRequest(-1), void()) {
  object.mutexRequest(-1);
}

template <class T>
auto request(T& object, long) -> decltype(object.mutexRequest(), void()) {
  object.mutexRequest();
}

}  // namespace ifosguard_detail

template <class T>
class IFOSGuard {
 public:
  explicit IFOSGuard(T& object) : m_pObject(&object) { ifosguard_detail::request(*m_pObject, 0); }
  // A null object guards nothing.
  explicit IFOSGuard(T* object) : m_pObject(object) {
    if (m_pObject != nullptr) ifosguard_detail::request(*m_pObject, 0);
  }
  IFOSGuard(const IFOSGuard&) = delete;
  IFOSGuard& operator=(const IFOSGuard&) = delete;
  ~IFOSGuard() {
    if (m_pObject != nullptr) m_pObject->mutexRelease();
  }

 private:
  T* m_pObject;
};

#endif
