// A link callback to a member function without arguments of a T object.
// A null object makes callBack do nothing.
#ifndef KAV_HWACCESS_LINKCALLBACK_H
#define KAV_HWACCESS_LINKCALLBACK_H

#include "kav/hwaccess/links/LinkCallBackBase.h"

template <class T>
class LinkCallBack : public LinkCallBackBase {
 public:
  typedef void (T::*Member_t)();

  LinkCallBack(T* object, Member_t member) : m_pObject(object), m_member(member) {}
  ~LinkCallBack() override {}

  LinkCallBackBase* getCopy() const override { return new LinkCallBack<T>(m_pObject, m_member); }
  void callBack() const override {
    if (m_pObject != nullptr && m_member != nullptr) (m_pObject->*m_member)();
  }

 private:
  T* m_pObject;
  Member_t m_member;
};

#endif
