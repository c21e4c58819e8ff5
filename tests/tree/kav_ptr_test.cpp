#include "kav/tree/objects/KavPtr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "tests/tree/TreeTestNodes.h"

namespace {

TEST(KavPtr, EveryPointerCountsOnce) {
  TestLeaf node("n");
  {
    KavPtr<QueryBase> a(&node);
    EXPECT_EQ(node.getReferenceCount(), 1u);
    KavPtr<QueryBase> b(a);
    KavPtr<TestLeaf> c(a);  // converting
    KavPtr<const QueryBase> d = a;
    EXPECT_EQ(node.getReferenceCount(), 4u);
    EXPECT_TRUE(node.isReserved());
    KavPtr<QueryBase> empty;
    EXPECT_EQ(empty, nullptr);
    empty = a;
    EXPECT_EQ(node.getReferenceCount(), 5u);
    empty = static_cast<QueryBase*>(nullptr);
    EXPECT_EQ(node.getReferenceCount(), 4u);
  }
  EXPECT_EQ(node.getReferenceCount(), 0u);
  EXPECT_FALSE(node.isReserved());
}

TEST(KavPtr, AssigningTheSameObjectKeepsTheCount) {
  TestNode node("n");
  KavPtr<QueryBase> a(&node);
  KavPtr<QueryBase> b(&node);
  a = b;
  EXPECT_EQ(node.getReferenceCount(), 2u);
  KavPtr<QueryBase>& alias = a;
  a = alias;
  EXPECT_EQ(node.getReferenceCount(), 2u);
  a = &node;
  EXPECT_EQ(node.getReferenceCount(), 2u);
}

TEST(KavPtr, AssignmentMovesTheCountToTheNewTarget) {
  TestNode x("x"), y("y");
  KavPtr<QueryBase> p(&x);
  p = &y;
  EXPECT_EQ(x.getReferenceCount(), 0u);
  EXPECT_EQ(y.getReferenceCount(), 1u);
  KavPtr<QueryBase> q(&x);
  p = q;
  EXPECT_EQ(x.getReferenceCount(), 2u);
  EXPECT_EQ(y.getReferenceCount(), 0u);
}

TEST(KavPtr, ComparesRawPointers) {
  TestNode x("x"), y("y");
  KavPtr<QueryBase> px(&x), px2(&x), py(&y), none;
  KavPtr<const QueryBase> cx(&x);
  EXPECT_TRUE(px == px2);
  EXPECT_TRUE(px != py);
  EXPECT_TRUE(px == cx);
  EXPECT_TRUE(px == &x);
  EXPECT_TRUE(&x == px);
  EXPECT_TRUE(px != &y);
  EXPECT_TRUE(none == nullptr);
  EXPECT_TRUE(px != nullptr);
  EXPECT_TRUE(none == static_cast<QueryBase*>(nullptr));
  EXPECT_EQ(px.operator->(), &x);
}

TEST(KavPtr, AsStringIsLowerCaseHexOrNull) {
  TestNode x("x");
  KavPtr<QueryBase> p(&x), none;
  char expected[32];
  std::snprintf(expected, sizeof expected, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(static_cast<QueryBase*>(&x))));
  EXPECT_EQ(p.asString(), expected);
  EXPECT_EQ(none.asString(), "NULL");
  for (char ch : p.asString().substr(2)) EXPECT_TRUE((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'));
}

TEST(KavPtr, DestroyingTheLastPointerLeavesTheObjectAlive) {
  TestNode* node = new TestNode("alive");
  { KavPtr<QueryBase> p(node); }
  EXPECT_EQ(node->getReferenceCount(), 0u);
  EXPECT_EQ(nameOf(*node), "alive");  // still there: only the collector deletes
  discardTree(node);
}

TEST(KavPtr, CopiesInSeveralThreadsKeepTheCountExact) {
  TestNode node("shared");
  KavPtr<QueryBase> origin(&node);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&origin] {
      for (int i = 0; i < 20000; ++i) {
        KavPtr<QueryBase> copy(origin);
        KavPtr<const QueryBase> converted = copy;
        KavPtr<QueryBase> assigned;
        assigned = copy;
        assigned = static_cast<QueryBase*>(nullptr);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(node.getReferenceCount(), 1u);
}

}  // namespace
