#include "kav/tree/start/ExecList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "kav/tree/start/FunctionExecutor.h"
#include "kav/tree/start/InitSequenceExecutor.h"
#include "kav/tree/search/InstanceNameCriteria.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/start/TerminateSequenceExecutor.h"
#include "tests/tree/TreeTestNodes.h"

namespace {

using Names = std::vector<std::string>;

TEST(ExecListElements, NodeOfAnotherClassIsNotAdded) {
  TestNode plain("plain");
  TestLeaf leaf("leaf");
  ExecList<TestLeaf> leaves;
  EXPECT_EQ(leaves.addElement(KavPtr<QueryBase>(&plain)), 0u);
  EXPECT_EQ(leaves.elementCount(), 0u);
  EXPECT_EQ(leaves.addElement(KavPtr<TestLeaf>()), 0u);
  EXPECT_EQ(leaves.elementCount(), 0u);
  EXPECT_EQ(leaves.addElement(KavPtr<QueryBase>(&leaf)), 0u);
  EXPECT_EQ(leaves.elementCount(), 1u);
  EXPECT_EQ(leaves.getSingleton(false), &leaf);
  // A derived class is an instance of its base.
  ExecList<TestNode> nodes;
  nodes.addElement(KavPtr<TestNode>(&leaf));
  nodes.addElement(KavPtr<TestNode>(&plain));
  EXPECT_EQ(nodes.elementCount(), 2u);
}

TEST(ExecListElements, ListHoldsReferencesUntilCleared) {
  TestNode a("a");
  ExecList<QueryBase> list;
  list.addElement(KavPtr<QueryBase>(&a));
  EXPECT_EQ(a.getReferenceCount(), 1u);
  ExecList<QueryBase> copy(list);
  EXPECT_EQ(a.getReferenceCount(), 1u);  // shared, not copied
  list.clear();
  EXPECT_EQ(list.elementCount(), 0u);
  EXPECT_EQ(copy.elementCount(), 1u);
  copy.clear();
  EXPECT_EQ(a.getReferenceCount(), 0u);
}

TEST(ExecListElements, SingletonOnlyForExactlyOneElement) {
  TestNode a("a"), b("b");
  ExecList<QueryBase> list;
  trace_ravo_clear_all();
  EXPECT_EQ(list.getSingleton(true), nullptr);
  EXPECT_FALSE(traceContains("KAVE", "getSingleton"));
  list.addElement(KavPtr<QueryBase>(&a));
  EXPECT_EQ(list.getSingleton(false), &a);
  list.addElement(KavPtr<QueryBase>(&b));
  EXPECT_EQ(list.getSingleton(true), nullptr);
  EXPECT_FALSE(traceContains("KAVE", "getSingleton"));
  EXPECT_EQ(list.getSingleton(false), nullptr);
  EXPECT_TRUE(traceContains("KAVE", "ExecList<QueryBase>::getSingleton: 2 elements"));
}

TEST(ExecListElements, CopyIsUnsharedBeforeItChanges) {
  TestNode a("a"), b("b"), c("c");
  ExecList<QueryBase> original;
  original.addElement(KavPtr<QueryBase>(&a));
  ExecList<QueryBase> copy(original);
  copy.addElement(KavPtr<QueryBase>(&b));
  EXPECT_EQ(names(original), (Names{"a"}));
  EXPECT_EQ(names(copy), (Names{"a", "b"}));
  ExecList<QueryBase> assigned;
  assigned.addElement(KavPtr<QueryBase>(&c));
  assigned = original;
  original.addElement(KavPtr<QueryBase>(&c));
  EXPECT_EQ(names(assigned), (Names{"a"}));
  EXPECT_EQ(names(original), (Names{"a", "c"}));
  ExecList<QueryBase>& alias = assigned;
  assigned = alias;
  EXPECT_EQ(names(assigned), (Names{"a"}));
}

TEST(ExecListElements, FilteringKeepsOrRemovesMatches) {
  TestNode a("a"), b("b");
  TestLeaf l("l");
  ExecList<QueryBase> list;
  for (QueryBase* n : {static_cast<QueryBase*>(&a), static_cast<QueryBase*>(&l), static_cast<QueryBase*>(&b)})
    list.addElement(KavPtr<QueryBase>(n));
  ExecList<QueryBase> copy(list);
  ExecList<QueryBase> other(list);
  list.keepAllForCriteria(InstanceOfCriteria(TestLeaf::staticGetClassId()));
  EXPECT_EQ(names(list), (Names{"l"}));
  other.removeAllForCriteria(InstanceNameCriteria(get_id_by_string("a")));
  EXPECT_EQ(names(other), (Names{"l", "b"}));
  EXPECT_EQ(names(copy), (Names{"a", "l", "b"}));
  EXPECT_EQ(a.getReferenceCount(), 1u);
}

// Records the loop calls and answers what the elements answered.
class RecordingLooper : public FunctionLooper<QueryBase, ErrorData, unsigned int> {
 public:
  ErrorData getReturnValue() override { return m_rc; }
  void notifyStepBegin(unsigned int step) override { m_calls.push_back("begin" + std::to_string(step)); }
  void execute(KavPtr<QueryBase> e, unsigned int step) override {
    m_calls.push_back(nameOf(*e) + "(" + std::to_string(step) + ")");
  }
  void notifyStepEnd(unsigned int step) override { m_calls.push_back("end" + std::to_string(step)); }
  Names m_calls;
  ErrorData m_rc;
};

TEST(ExecListLoops, EveryElementCompletesAStepBeforeTheNext) {
  TestNode a("A"), b("B");
  ExecList<QueryBase> list;
  list.addElement(KavPtr<QueryBase>(&a));
  list.addElement(KavPtr<QueryBase>(&b));
  RecordingLooper looper;
  kavstl::vector<unsigned int> steps{3, 7};
  list.forEachElementLoop(looper, steps);
  EXPECT_EQ(looper.m_calls, (Names{"begin3", "A(3)", "B(3)", "end3", "begin7", "A(7)", "B(7)", "end7"}));

  RecordingLooper none;
  ExecList<QueryBase> empty;
  empty.forEachElementLoop(none, steps);
  EXPECT_TRUE(none.m_calls.empty());
}

TEST(ExecListLoops, InitSequenceReportsTheFirstFailureAndRunsOn) {
  callLog().clear();
  TestNode a("A"), b("B");
  a.failInit(initSequence::INIT_LINK_TREE_ELEMENTS, 0x7002);
  b.failInit(initSequence::INIT_REGISTER_EVENTS, 0x7000);
  ExecList<QueryBase> list;
  list.addElement(KavPtr<QueryBase>(&a));
  list.addElement(KavPtr<QueryBase>(&b));
  InitSequenceExecutor<QueryBase> executor;
  kavstl::vector<initSequence::Id_t> steps{initSequence::INIT_LINK_TREE_ELEMENTS, initSequence::INIT_REGISTER_EVENTS};
  ErrorData rc = list.forEachElementLoop(executor, steps);
  EXPECT_EQ(rc, 0x7002u);
  EXPECT_EQ(callLog(), (Names{"A:i3", "B:i3", "A:i7", "B:i7"}));
  EXPECT_EQ(executor.getReturnValue(), 0x7002u);
}

TEST(ExecListLoops, TerminateSequenceRunsEveryStep) {
  callLog().clear();
  TestNode a("A"), b("B");
  ExecList<QueryBase> list;
  list.addElement(KavPtr<QueryBase>(&a));
  list.addElement(KavPtr<QueryBase>(&b));
  TerminateSequenceExecutor executor;
  kavstl::vector<terminateSequence::Id_t> steps{terminateSequence::TERM_STOP,
                                               terminateSequence::TERM_MARK_DELETED};
  EXPECT_EQ(list.forEachElementLoop(executor, steps), 0u);
  EXPECT_EQ(callLog(), (Names{"A:t0", "B:t0", "A:t1", "B:t1"}));
  EXPECT_TRUE(a.isDeleted());
}

class CountingExecutor : public FunctionExecutor<QueryBase, void> {
 public:
  void getReturnValue() override {}
  void execute(KavPtr<QueryBase> e) override { m_names.push_back(nameOf(*e)); }
  Names m_names;
};

TEST(ExecListLoops, ForEachElementDoVisitsEveryElementOnce) {
  TestNode a("A"), b("B");
  ExecList<QueryBase> list;
  list.addElement(KavPtr<QueryBase>(&a));
  list.addElement(KavPtr<QueryBase>(&b));
  CountingExecutor executor;
  list.forEachElementDo(executor);
  EXPECT_EQ(executor.m_names, (Names{"A", "B"}));
}

// Access to a set of objects.
class ListAccess : public ::testing::Test {
 protected:
  ListAccess() : a("A"), b("B", 1000), c("C") {
    for (TestLock* n : {&a, &b, &c}) list.addElement(KavPtr<QueryBase>(n));
  }
  TestLock a, b, c;
  ExecList<QueryBase> list;
};

TEST_F(ListAccess, AllOrNothing) {
  b.setResult(0);
  EXPECT_EQ(list.requestListAccess(0), 0u);
  EXPECT_EQ(list.getHeldAccessCount(), 1);
  for (TestLock* n : {&a, &b, &c}) {
    EXPECT_EQ(n->held(), 1);
    EXPECT_EQ(n->lastTimeout(), 200);  // at least 200 per object
  }
  EXPECT_EQ(list.requestListAccess(500), 0u);
  EXPECT_EQ(a.lastTimeout(), 500);
  EXPECT_EQ(a.held(), 2);
  list.releaseListAccess();
  list.releaseListAccess();
  for (TestLock* n : {&a, &b, &c}) EXPECT_EQ(n->held(), 0);
  // Releasing more than was requested does nothing.
  list.releaseListAccess();
  EXPECT_EQ(a.held(), 0);
}

TEST_F(ListAccess, FailureReleasesWhatWasTakenAndIsNotCounted) {
  b.setResult(9999);
  ErrorData rc = list.requestListAccess(0);
  EXPECT_EQ(rc, 9999u);
  EXPECT_EQ(a.held(), 0);
  EXPECT_EQ(b.held(), 0);
  EXPECT_EQ(c.requests(), 0);
  EXPECT_EQ(list.getHeldAccessCount(), 0);
}

TEST_F(ListAccess, TimeOutsAreRetriedAfterReleasingEverything) {
  // B times out twice, then is free.
  class Flaky : public TestLock {
   public:
    Flaky() : TestLock("F", 1000) {}
    unsigned long mutexRequest(int timeout) const override {
      unsigned long rc = TestLock::mutexRequest(timeout);
      if (requests() == 2) const_cast<Flaky*>(this)->setResult(0);
      return rc;
    }
  } flaky;
  ExecList<QueryBase> l2;
  l2.addElement(KavPtr<QueryBase>(&a));
  l2.addElement(KavPtr<QueryBase>(&flaky));
  trace_ravo_clear_all();
  EXPECT_EQ(l2.requestListAccess(0), 0u);
  EXPECT_EQ(flaky.requests(), 3);
  EXPECT_EQ(a.requests(), 3);
  EXPECT_EQ(a.held(), 1);
  EXPECT_EQ(flaky.held(), 1);
  EXPECT_TRUE(traceContains("KAVE", "TestLock timed out, retry 2"));
  l2.releaseListAccess();
}

TEST_F(ListAccess, TenthRetryThatTimesOutEndsTheProcess) {
  EXPECT_DEATH(list.requestListAccess(0), "percAbend: reason=0x0000F0D1");
  // Ten retries are allowed: a lock that frees on the eleventh attempt is taken.
  class Late : public TestLock {
   public:
    Late() : TestLock("L", 1000) {}
    unsigned long mutexRequest(int timeout) const override {
      unsigned long rc = TestLock::mutexRequest(timeout);
      if (requests() == 10) const_cast<Late*>(this)->setResult(0);
      return rc;
    }
  } late;
  ExecList<QueryBase> l2;
  l2.addElement(KavPtr<QueryBase>(&late));
  EXPECT_EQ(l2.requestListAccess(0), 0u);
  EXPECT_EQ(late.requests(), 11);
  l2.releaseListAccess();
}

TEST_F(ListAccess, HeldAccessExtendsToNewElementsAndEndsWithTheList) {
  b.setResult(0);
  TestLock d("D");
  {
    ExecList<QueryBase> held(list);
    EXPECT_EQ(held.requestListAccess(0), 0u);
    EXPECT_EQ(held.requestListAccess(0), 0u);
    EXPECT_EQ(held.addElement(KavPtr<QueryBase>(&d)), 0u);
    EXPECT_EQ(d.held(), 2);
    // An element that cannot be locked is not added and keeps no lock.
    TestLock busy("busy", 9999);
    EXPECT_EQ(held.addElement(KavPtr<QueryBase>(&busy)), 9999u);
    EXPECT_EQ(held.elementCount(), 4u);
    // Filtering releases the removed element.
    held.removeAllForCriteria(InstanceNameCriteria(get_id_by_string("A")));
    EXPECT_EQ(a.held(), 0);
    EXPECT_EQ(c.held(), 2);
    // The copy holds no access of its own.
    ExecList<QueryBase> copy(held);
    EXPECT_EQ(copy.getHeldAccessCount(), 0);
  }
  for (TestLock* n : {&a, &b, &c, &d}) EXPECT_EQ(n->held(), 0);
  // Assignment first releases what the target holds.
  ExecList<QueryBase> target(list);
  target.requestListAccess(0);
  target = ExecList<QueryBase>();
  EXPECT_EQ(a.held(), 0);
}

TEST_F(ListAccess, ClearingTheListEndsTheAccessesItHolds) {
  b.setResult(0);
  EXPECT_EQ(list.requestListAccess(0), 0u);
  EXPECT_EQ(list.requestListAccess(0), 0u);
  list.clear();
  EXPECT_EQ(list.getHeldAccessCount(), 0);
  for (TestLock* n : {&a, &b, &c}) EXPECT_EQ(n->held(), 0);
  // The emptied list can be filled and locked again.
  list.addElement(KavPtr<QueryBase>(&a));
  EXPECT_EQ(list.requestListAccess(0), 0u);
  EXPECT_EQ(a.held(), 1);
  list.releaseListAccess();
  EXPECT_EQ(a.held(), 0);
}

TEST(ExecListAccess, RealMutexesOfSeveralObjects) {
  TestAtomic x("x"), y("y");
  std::atomic<int> inside{0};
  std::atomic<int> maxInside{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        // Lists are not shared between threads: each builds its own.
        ExecList<QueryBase> mine;
        mine.addElement(KavPtr<QueryBase>(&x));
        mine.addElement(KavPtr<QueryBase>(&y));
        ASSERT_EQ(mine.requestListAccess(0), 0u);
        int now = ++inside;
        if (now > maxInside) maxInside = now;
        --inside;
      }  // released by the destructor
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(maxInside.load(), 1);
}

}  // namespace
