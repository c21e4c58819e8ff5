#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "kav/tree/start/TerminateSequenceExecutor.h"
#include "tests/tree/TreeTestNodes.h"

namespace {

using Names = std::vector<std::string>;

// R with children A (children A1, A2) and B, and the hidden child H.
class WalkTree : public ::testing::Test {
 protected:
  void SetUp() override {
    callLog().clear();
    r = new TestAtomic("R");
    a = new TestNode("A");
    a1 = new TestNode("A1");
    a2 = new TestNode("A2");
    b = new TestNode("B");
    h = new TestNode("H");
    h->setHidden(true);
    link(r, a);
    link(a, a1);
    link(a, a2);
    link(r, b);
    link(r, h);
  }
  void TearDown() override { discardTree(r); }

  TestAtomic* r = nullptr;
  TestNode *a = nullptr, *a1 = nullptr, *a2 = nullptr, *b = nullptr, *h = nullptr;
};

TEST_F(WalkTree, PrefixAndPostfixOrders) {
  struct Case {
    bool postfix;
    bool hidden;
    Names expected;
  };
  const Case cases[] = {
      {false, true, {"R", "A", "A1", "A2", "B", "H"}},
      {false, false, {"R", "A", "A1", "A2", "B"}},
      {true, true, {"A1", "A2", "A", "B", "H", "R"}},
      {true, false, {"A1", "A2", "A", "B", "R"}},
  };
  for (const Case& c : cases) {
    ExecList<QueryBase> list;
    BaseErrorData rc =
        c.postfix ? r->addToExecListInPostfixOrder(list, c.hidden) : r->addToExecListInPrefixOrder(list, c.hidden);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(names(list), c.expected) << c.postfix << c.hidden;
  }
}

TEST_F(WalkTree, HiddenChildrenOfHiddenChildrenFollowTheirParent) {
  TestNode* h1 = new TestNode("H1");
  TestNode* h2 = new TestNode("H2");
  h2->setHidden(true);
  link(h, h1);
  link(h, h2);
  ExecList<QueryBase> pre, post, without;
  r->addToExecListInPrefixOrder(pre, true);
  r->addToExecListInPostfixOrder(post, true);
  r->addToExecListInPrefixOrder(without, false);
  EXPECT_EQ(names(pre), (Names{"R", "A", "A1", "A2", "B", "H", "H1", "H2"}));
  EXPECT_EQ(names(post), (Names{"A1", "A2", "A", "B", "H1", "H2", "H", "R"}));
  EXPECT_EQ(names(without), (Names{"R", "A", "A1", "A2", "B"}));
}

class ChildWalk : public WalkTree, public ::testing::WithParamInterface<bool> {};

TEST_P(ChildWalk, VisitsOnlyChildrenAppendedSinceTheLastVisit) {
  const bool postfix = GetParam();
  auto walk = [&](ExecList<QueryBase>& list, unsigned int& done, unsigned int& hiddenDone) {
    return postfix ? r->addChildsToExecListInPostfixOrder(list, done, hiddenDone, true)
                   : r->addChildsToExecListInPrefixOrder(list, done, hiddenDone, true);
  };
  unsigned int done = 0, hiddenDone = 0;
  ExecList<QueryBase> first;
  EXPECT_EQ(walk(first, done, hiddenDone), 0u);
  EXPECT_EQ(names(first), postfix ? (Names{"A1", "A2", "A", "B", "H"}) : (Names{"A", "A1", "A2", "B", "H"}));
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(hiddenDone, 1u);

  ExecList<QueryBase> nothing;
  walk(nothing, done, hiddenDone);
  EXPECT_EQ(nothing.elementCount(), 0u);

  TestNode* c = new TestNode("C");
  TestNode* cc = new TestNode("CC");
  TestNode* g = new TestNode("G");
  g->setHidden(true);
  link(c, cc);
  link(r, c);
  link(r, g);
  ExecList<QueryBase> second;
  walk(second, done, hiddenDone);
  EXPECT_EQ(names(second), postfix ? (Names{"CC", "C", "G"}) : (Names{"C", "CC", "G"}));
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(hiddenDone, 2u);

  // Counters from elsewhere: positions above them only.
  unsigned int fromSecond = 1, noHidden = 2;
  ExecList<QueryBase> tail;
  walk(tail, fromSecond, noHidden);
  EXPECT_EQ(names(tail), postfix ? (Names{"B", "CC", "C"}) : (Names{"B", "C", "CC"}));
}

INSTANTIATE_TEST_SUITE_P(PrefixAndPostfix, ChildWalk, ::testing::Bool());

TEST_F(WalkTree, ChildWalkWithoutHiddenStillAdvancesBothCounters) {
  unsigned int done = 0, hiddenDone = 0;
  ExecList<QueryBase> list;
  r->addChildsToExecListInPrefixOrder(list, done, hiddenDone, false);
  EXPECT_EQ(names(list), (Names{"A", "A1", "A2", "B"}));
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(hiddenDone, 1u);
}

TEST_F(WalkTree, SubtreeTerminationRunsEveryStepOverAllNodesInPostfixOrder) {
  KavPtr<QueryBase> holdA(a);
  BaseErrorData rc = a->terminateSubTreeAndAddToGarbageCollector();
  EXPECT_EQ(rc, 0u);
  Names expected;
  for (int step = 1; step <= 6; ++step)
    for (const char* n : {"A1", "A2", "A"}) expected.push_back(std::string(n) + ":t" + std::to_string(step));
  EXPECT_EQ(callLog(), expected);
  // The subtree left the tree and waits for the collector.
  ExecList<QueryBase> rest;
  r->addToExecListInPrefixOrder(rest, true);
  EXPECT_EQ(names(rest), (Names{"R", "B", "H"}));
  GarbageCollector* gc = GarbageCollector::getInstance();
  EXPECT_TRUE(gc->isPending(a));
  EXPECT_TRUE(gc->isPending(a1));
  EXPECT_TRUE(a1->isDeleted());
  EXPECT_TRUE(a->isRoot());
  // A is still held here; A1 and A2 go in the next pass.
  gc->deleteUnreservedObjects();
  EXPECT_TRUE(gc->isPending(a));
  EXPECT_FALSE(gc->isPending(a1));
  holdA = static_cast<QueryBase*>(nullptr);
  gc->deleteUnreservedObjects();
  EXPECT_FALSE(gc->isPending(a));
}

TEST_F(WalkTree, WalksAndTreeChangesInSeveralThreads) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> walkers;
  for (int t = 0; t < 2; ++t) {
    walkers.emplace_back([&] {
      while (!stop) {
        ExecList<QueryBase> list;
        r->addToExecListInPrefixOrder(list, true);
        EXPECT_GE(list.elementCount(), 6u);
        for (auto it = list.begin(); it != list.end(); ++it) (*it)->getSlotId();
      }
    });
  }
  std::thread changer([&] {
    for (int i = 0; i < 200; ++i) {
      TestNode* extra = new TestNode("X");
      link(b, extra);
      extra->isLeaf();
      b->getChildren();
      extra->terminateSubTreeAndAddToGarbageCollector();
    }
    stop = true;
  });
  changer.join();
  for (std::thread& w : walkers) w.join();
  EXPECT_TRUE(b->isLeaf());
}

}  // namespace
