// Small tree classes for the tree tests: they record every init/terminate
// call and can be told to fail a step or to time out on access. Include in
// exactly one test program source.
#ifndef TESTS_TREE_TREETESTNODES_H
#define TESTS_TREE_TREETESTNODES_H

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kav/runtime/GarbageCollector.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/start/ExecList.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "trace_ravo.h"

// Every init/terminate call as "name:i<step>" / "name:t<step>".
inline std::vector<std::string>& callLog() {
  static std::vector<std::string> s_log;
  return s_log;
}
inline void logCall(const std::string& call) {
  static std::mutex s_lock;
  std::lock_guard<std::mutex> g(s_lock);
  callLog().push_back(call);
}

inline std::string nameOf(const QueryBase& node) { return get_string_by_id(node.getInstanceId()); }

template <class Base>
class Recording : public Base {
 public:
  using Base::Base;
  BaseErrorData init(initSequence::Id_t step) override {
    logCall(nameOf(*this) + ":i" + std::to_string(step));
    auto it = m_initRc.find(step);
    if (it != m_initRc.end()) return BaseErrorData(BaseErrorData::NO_OVERWRITE, it->second);
    return Base::init(step);
  }
  BaseErrorData terminate(terminateSequence::Id_t step) override {
    logCall(nameOf(*this) + ":t" + std::to_string(step));
    return Base::terminate(step);
  }
  void failInit(initSequence::Id_t step, unsigned int rc) { m_initRc[step] = rc; }

 private:
  std::map<unsigned int, unsigned int> m_initRc;
};

// A node without own mutex.
class TestNode : public Recording<QueryBase> {
  KAV_TREE_CLASS(TestNode)
 public:
  explicit TestNode(const char* name = "") { setInstanceId(get_id_by_string(name)); }
};
KAV_TREE_CLASS_IMPL(TestNode, QueryBase)

// A class derived from TestNode.
class TestLeaf : public TestNode {
  KAV_TREE_CLASS(TestLeaf)
 public:
  using TestNode::TestNode;
};
KAV_TREE_CLASS_IMPL(TestLeaf, TestNode)

// A node with own mutex.
class TestAtomic : public Recording<AtomicBase> {
  KAV_TREE_CLASS(TestAtomic)
 public:
  explicit TestAtomic(const char* name = "") { setInstanceId(get_id_by_string(name)); }
};
KAV_TREE_CLASS_IMPL(TestAtomic, AtomicBase)

// Answers its own slot id, as the slot classes do.
class TestSlot : public TestAtomic {
  KAV_TREE_CLASS(TestSlot)
 public:
  TestSlot(const char* name, unsigned int slotId) : TestAtomic(name), m_slot(slotId) {}
  unsigned int getSlotId() const override { return m_slot; }

 private:
  unsigned int m_slot;
};
KAV_TREE_CLASS_IMPL(TestSlot, TestAtomic)

// A lock that answers a fixed result without locking: 1000 plays an object
// somebody else holds.
class TestLock : public TestNode {
  KAV_TREE_CLASS(TestLock)
 public:
  explicit TestLock(const char* name, unsigned long result = 0) : TestNode(name), m_result(result) {}
  unsigned long mutexRequest(int timeout) const override {
    ++m_requests;
    m_lastTimeout = timeout;
    if (m_result == 0) ++m_held;
    return m_result;
  }
  unsigned long mutexRelease() const override {
    --m_held;
    return 0;
  }
  void setResult(unsigned long r) { m_result = r; }
  int held() const { return m_held; }
  int requests() const { return m_requests; }
  int lastTimeout() const { return m_lastTimeout; }

 private:
  unsigned long m_result;
  mutable int m_held = 0;
  mutable int m_requests = 0;
  mutable int m_lastTimeout = 0;
};
KAV_TREE_CLASS_IMPL(TestLock, TestNode)

// Links child under parent (parent pointer and child list).
inline void link(QueryBase* parent, QueryBase* child) {
  child->setParent(KavPtr<QueryBase>(parent));
  parent->addChild(KavPtr<QueryBase>(child));
}

inline std::vector<std::string> names(const ExecList<QueryBase>& list) {
  std::vector<std::string> out;
  for (auto it = list.begin(); it != list.end(); ++it) out.push_back(nameOf(**it));
  return out;
}

// Removes a test tree: terminates it into the collector and collects.
inline void discardTree(QueryBase* root) {
  if (root == nullptr) return;
  root->terminateSubTreeAndAddToGarbageCollector();
  GarbageCollector::getInstance()->deleteUnreservedObjects();
}

// The decoded lines of a trace buffer.
inline std::vector<std::string> traceLines(const char* buffer) {
  std::vector<std::string> lines;
  trace_ravo_decode(
      trace_ravo_find_buffer(buffer),
      [](void* ctx, const char* text) { static_cast<std::vector<std::string>*>(ctx)->push_back(text); }, &lines);
  return lines;
}

inline bool traceContains(const char* buffer, const std::string& text) {
  for (const std::string& l : traceLines(buffer))
    if (l.find(text) != std::string::npos) return true;
  return false;
}

#endif
