// A typed list of tree objects as searches return it. Copies share one
// element list; the list is copied before it is changed through one of them.
// A list can hold access (the object locks) to all its elements; the
// accesses it still holds end with the list object at the latest.
//
// ExecList objects are short-lived values used by one thread; the shared
// element list is not locked.
#ifndef KAV_TREE_EXECLIST_H
#define KAV_TREE_EXECLIST_H

#include <type_traits>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/start/FunctionLooper.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/search/SearchCriteria.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/kavstl.h"
#include "perc_abend.h"

namespace execlist {
// Result of an object mutex request that timed out.
constexpr unsigned int kAccessTimedOut = 1000;
// Every object of a set is waited for at least this long per attempt.
constexpr int kMinAccessTimeout = 200;
// Time-outs retried before the process is ended.
constexpr unsigned int kMaxAccessRetries = 10;
}  // namespace execlist

template <class T>
class ExecList {
 public:
  typedef kavstl::list<KavPtr<T> > List_t;

  struct ref_counting_list {
    unsigned int m_referenceCount;
    List_t m_list;
  };

  class const_iterator {
   public:
    const_iterator() = default;
    explicit const_iterator(typename List_t::const_iterator it) : m_it(it) {}
    const KavPtr<T>& operator*() const { return *m_it; }
    const KavPtr<T>* operator->() const { return &*m_it; }
    const_iterator& operator++() {
      ++m_it;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++m_it;
      return old;
    }
    bool operator==(const const_iterator& o) const { return m_it == o.m_it; }
    bool operator!=(const const_iterator& o) const { return m_it != o.m_it; }

   private:
    typename List_t::const_iterator m_it;
  };

  ExecList() : m_pList(nullptr), m_classId(T::staticGetClassId()), m_heldAccessCount(0) {}

  ExecList(const ExecList& other) : m_pList(other.m_pList), m_classId(other.m_classId), m_heldAccessCount(0) {
    if (m_pList != nullptr) ++m_pList->m_referenceCount;
  }

  ExecList& operator=(const ExecList& other) {
    if (this == &other) return *this;
    releaseAllAccesses();
    ref_counting_list* shared = other.m_pList;
    if (shared != nullptr) ++shared->m_referenceCount;
    drop(m_pList);
    m_pList = shared;
    m_heldAccessCount = 0;
    return *this;
  }

  ~ExecList() {
    releaseAllAccesses();
    drop(m_pList);
    m_pList = nullptr;
  }

  // An element that is not an instance of T is not added (result 0). While
  // the list holds access to its elements, access to the new element is
  // requested as often; only when that succeeds is it appended.
  ErrorData addElement(KavPtr<T> element) {
    ErrorData rc(BaseErrorData::NO_OVERWRITE);
    if (element == nullptr || !element->isInstanceOf(m_classId)) return rc;
    for (int held = 0; held < m_heldAccessCount; ++held) {
      List_t one;
      one.push_back(element);
      rc = staticRequestAccess(one.begin(), one.end(), 0);
      if (rc != 0) {
        for (int k = 0; k < held; ++k) element->releaseAccess();
        return rc;
      }
    }
    writableList().push_back(element);
    return rc;
  }

  // The same for a pointer of another class of the tree (a base class of T,
  // typically QueryBase): the class is checked before the pointer is
  // converted.
  template <class U, class = typename std::enable_if<!std::is_same<U, T>::value>::type>
  ErrorData addElement(const KavPtr<U>& element) {
    const QueryBase* node = element.getRawPointer();
    if (node == nullptr || !node->isInstanceOf(m_classId)) return ErrorData(BaseErrorData::NO_OVERWRITE);
    return addElement(KavPtr<T>(static_cast<T*>(element.getRawPointer())));
  }

  // Drops this object's share of the list; the accesses it holds end first
  // (dropping the elements would leave their locks held for good).
  void clear() {
    releaseAllAccesses();
    drop(m_pList);
    m_pList = nullptr;
  }

  unsigned int elementCount() const { return m_pList == nullptr ? 0u : static_cast<unsigned int>(m_pList->m_list.size()); }

  const_iterator begin() const { return const_iterator(list().begin()); }
  const_iterator end() const { return const_iterator(list().end()); }

  // Removes every element the criterion does not match. Copies sharing the
  // list keep their elements; accesses held on a removed element end.
  ExecList& keepAllForCriteria(const SearchCriteria& criteria) { return removeWhere(criteria, false); }
  // Removes every element the criterion matches.
  ExecList& removeAllForCriteria(const SearchCriteria& criteria) { return removeWhere(criteria, true); }

  // The only element, or null (traced unless quiet).
  KavPtr<T> getSingleton(bool quiet) const {
    if (elementCount() == 1) return m_pList->m_list.front();
    if (!quiet)
      KAV_TRACE_STR(KAVE, "ExecList<%s>::getSingleton: %u elements", get_string_by_id(m_classId), elementCount());
    return KavPtr<T>();
  }

  // All or nothing: either access to every element is held afterwards, or to
  // none of them.
  ErrorData requestListAccess(int timeout) {
    ErrorData rc = staticRequestAccess(list().begin(), list().end(), timeout);
    // Only a granted request is counted: counting a refused one would
    // release, later, locks this list never got.
    if (rc == 0) ++m_heldAccessCount;
    return rc;
  }

  void releaseListAccess() {
    if (m_heldAccessCount <= 0) {
      KAV_TRACE_STR(KAVE, "ExecList<%s>::releaseListAccess without access", get_string_by_id(m_classId));
      return;
    }
    --m_heldAccessCount;
    for (const KavPtr<T>& e : list()) e->releaseAccess();
  }

  int getHeldAccessCount() const { return m_heldAccessCount; }

  // For each step: notifyStepBegin, execute for every element in order,
  // notifyStepEnd. Every element completes a step before any starts the
  // next. An empty list runs nothing.
  template <class R, class P>
  R forEachElementLoop(FunctionLooper<T, R, P>& looper, const kavstl::vector<P>& steps) {
    ref_counting_list* shared = m_pList;
    if (shared != nullptr && !shared->m_list.empty()) {
      // Pin the elements: changes made through this object during the loop
      // go to a private copy.
      ++shared->m_referenceCount;
      for (const P& step : steps) {
        looper.notifyStepBegin(step);
        for (const KavPtr<T>& e : shared->m_list) looper.execute(e, step);
        looper.notifyStepEnd(step);
      }
      drop(shared);
    }
    return looper.getReturnValue();
  }

  // execute(element, null) for every element, without step notifications.
  template <class R>
  R forEachElementDo(FunctionLooper<T, R, void*>& looper) {
    ref_counting_list* shared = m_pList;
    if (shared != nullptr) {
      ++shared->m_referenceCount;
      for (const KavPtr<T>& e : shared->m_list) looper.execute(e, nullptr);
      drop(shared);
    }
    return looper.getReturnValue();
  }

  // Requests access to every element of [first, last) in order with the
  // time-out (at least 200). A time-out releases what this attempt holds and
  // starts again; after ten retries a further time-out ends the process.
  // Another failure releases what this attempt holds and is returned.
  template <class It>
  static ErrorData staticRequestAccess(It first, It last, int timeout) {
    const int perObject = timeout < execlist::kMinAccessTimeout ? execlist::kMinAccessTimeout : timeout;
    for (unsigned int retry = 0;; ++retry) {
      It it = first;
      BaseErrorData rc(BaseErrorData::NO_OVERWRITE);
      for (; it != last; ++it) {
        rc = (*it)->requestAccess(perObject);
        if (rc != 0) break;
      }
      if (it == last) return ErrorData(BaseErrorData::NO_OVERWRITE);
      for (It j = first; j != it; ++j) (*j)->releaseAccess();
      if (rc != execlist::kAccessTimedOut) return ErrorData(rc);
      const kavstl::string& cls = get_string_by_id((*it)->getClassId());
      if (retry >= execlist::kMaxAccessRetries) {
        KAV_TRACE_STR(KAVE, "staticRequestAccess: %s still locked after %u retries", cls, retry);
        percAbend(0xF0D1, nullptr, 0, 0, 0, 0, "staticRequestAccess: retries exhausted", 11, 0);
      }
      KAV_TRACE_STR(KAVE, "staticRequestAccess: %s timed out, retry %u", cls, retry + 1);
    }
  }

 private:
  static const List_t& emptyList() {
    static const List_t s_empty;
    return s_empty;
  }
  const List_t& list() const { return m_pList == nullptr ? emptyList() : m_pList->m_list; }

  static void drop(ref_counting_list* l) {
    if (l != nullptr && --l->m_referenceCount == 0) delete l;
  }

  // The list for writing: created when missing, copied when shared.
  List_t& writableList() {
    if (m_pList == nullptr) {
      m_pList = new ref_counting_list{1u, List_t()};
    } else if (m_pList->m_referenceCount > 1) {
      ref_counting_list* copy = new ref_counting_list{1u, m_pList->m_list};
      drop(m_pList);
      m_pList = copy;
    }
    return m_pList->m_list;
  }

  ExecList& removeWhere(const SearchCriteria& criteria, bool whenMatching) {
    if (m_pList == nullptr) return *this;
    List_t& l = writableList();
    for (typename List_t::iterator it = l.begin(); it != l.end();) {
      if (criteria.isMatching(KavPtr<const QueryBase>(*it)) == whenMatching) {
        for (int k = 0; k < m_heldAccessCount; ++k) (*it)->releaseAccess();
        it = l.erase(it);
      } else {
        ++it;
      }
    }
    return *this;
  }

  void releaseAllAccesses() {
    while (m_heldAccessCount > 0) releaseListAccess();
  }

  ref_counting_list* m_pList;
  unsigned int m_classId;
  int m_heldAccessCount;
};

#endif
