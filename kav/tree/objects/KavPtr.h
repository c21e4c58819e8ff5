// A counted pointer to a tree object. The count does not free the object: it
// only keeps the garbage collector from deleting an object that has left the
// tree while somebody still points at it.
//
// T is QueryBase, a class derived from it, or a const one of those; T must
// offer requestReference(KavPtrBase*) and releaseReference(KavPtrBase*).
// Conversions between pointer types copy the raw pointer without a type
// check: the caller has checked isInstanceOf first.
#ifndef KAV_TREE_KAVPTR_H
#define KAV_TREE_KAVPTR_H

#include <cstdint>
#include <cstdio>

#include "kav/tree/objects/KavPtrBase.h"
#include "kav/tree/objects/kavstl.h"

template <class T>
class KavPtr : public KavPtrBase {
 public:
  KavPtr() : m_ptr(nullptr) {}
  KavPtr(std::nullptr_t) : m_ptr(nullptr) {}
  KavPtr(T* p) : m_ptr(p) { reference(); }
  KavPtr(const KavPtr& other) : KavPtrBase(), m_ptr(other.m_ptr) { reference(); }
  template <class U>
  KavPtr(const KavPtr<U>& other) : m_ptr(static_cast<T*>(other.getRawPointer())) {
    reference();
  }
  ~KavPtr() override {
    release();
    m_ptr = nullptr;
  }

  KavPtr& operator=(T* p) {
    // Count the new target first so that assigning the same object never
    // lets the count pass through zero.
    T* old = m_ptr;
    m_ptr = p;
    reference();
    if (old != nullptr) old->releaseReference(this);
    return *this;
  }
  KavPtr& operator=(const KavPtr& other) { return *this = other.m_ptr; }
  template <class U>
  KavPtr& operator=(const KavPtr<U>& other) {
    return *this = static_cast<T*>(other.getRawPointer());
  }

  T* operator->() const { return m_ptr; }
  T& operator*() const { return *m_ptr; }
  T* getRawPointer() const { return m_ptr; }
  bool isNull() const { return m_ptr == nullptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

  operator KavPtr<const T>() const { return KavPtr<const T>(m_ptr); }

  template <class U>
  bool operator==(const KavPtr<U>& other) const {
    return static_cast<const void*>(m_ptr) == static_cast<const void*>(other.getRawPointer());
  }
  template <class U>
  bool operator!=(const KavPtr<U>& other) const {
    return !(*this == other);
  }
  bool operator==(const T* p) const { return m_ptr == p; }
  bool operator!=(const T* p) const { return m_ptr != p; }
  bool operator==(std::nullptr_t) const { return m_ptr == nullptr; }
  bool operator!=(std::nullptr_t) const { return m_ptr != nullptr; }

  // "0x" and the address in lower-case hexadecimal, or "NULL".
  kavstl::string asString() const {
    if (m_ptr == nullptr) return kavstl::string("NULL");
    char buf[2 + 2 * sizeof(void*) + 1];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(static_cast<const void*>(m_ptr))));
    return kavstl::string(buf);
  }

 private:
  void reference() {
    if (m_ptr != nullptr) m_ptr->requestReference(this);
  }
  void release() {
    if (m_ptr != nullptr) m_ptr->releaseReference(this);
  }

  T* m_ptr;
};

template <class U, class T>
bool operator==(const U* p, const KavPtr<T>& k) {
  return k == p;
}
template <class U, class T>
bool operator!=(const U* p, const KavPtr<T>& k) {
  return k != p;
}

#endif
