#include "kav/runtime/GarbageCollector.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "tests/tree/TreeTestNodes.h"

namespace {

std::atomic<int> g_destroyed{0};

// Counts its destruction.
class Mortal : public TestNode {
 public:
  explicit Mortal(const char* name) : TestNode(name) {}
  ~Mortal() override { ++g_destroyed; }
};

// Waits (bounded) until the collector has no pending object left.
bool waitUntilCollected(GarbageCollector* gc) {
  for (int i = 0; i < 2000; ++i) {
    if (gc->getNumberOfDeleteRequests() == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

class Collector : public ::testing::Test {
 protected:
  void SetUp() override {
    g_destroyed = 0;
    gc = GarbageCollector::getInstance();
    gc->deleteUnreservedObjects();
  }
  void TearDown() override { GarbageCollector::destroyInstance(); }
  GarbageCollector* gc = nullptr;
};

TEST_F(Collector, NullIsIgnoredAndObjectsAreHeldOnce) {
  gc->add(static_cast<QueryBase*>(nullptr));
  gc->add(static_cast<BuildBase*>(nullptr));
  EXPECT_EQ(gc->getNumberOfDeleteRequests(), 0u);
  Mortal* m = new Mortal("m");
  gc->add(m);
  gc->add(m->getBuildInterface());
  EXPECT_EQ(gc->getNumberOfDeleteRequests(), 1u);
  EXPECT_EQ(gc->deleteUnreservedObjects(), 1u);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(Collector, HeldObjectIsDeletedByTheFirstPassAfterItsRelease) {
  Mortal* m = new Mortal("held");
  KavPtr<QueryBase> holder(m);
  m->terminate(terminateSequence::TERM_MARK_DELETED);
  m->terminate(terminateSequence::TERM_DETACH);
  trace_ravo_clear_all();
  EXPECT_EQ(gc->deleteUnreservedObjects(), 0u);
  EXPECT_EQ(g_destroyed.load(), 0);
  // A pass that frees nothing lists what waits.
  EXPECT_TRUE(traceContains("KAVT", "TestNode deletedSlotId=0x0 references=1"));
  EXPECT_TRUE(holder->isDeleted());
  holder = static_cast<QueryBase*>(nullptr);
  EXPECT_EQ(g_destroyed.load(), 0);  // releasing alone deletes nothing
  EXPECT_EQ(gc->deleteUnreservedObjects(), 1u);
  EXPECT_EQ(g_destroyed.load(), 1);
  EXPECT_EQ(gc->getNumberOfDeleteRequests(), 0u);
}

TEST_F(Collector, PassDeletesOnlyUnreservedObjects) {
  Mortal* free1 = new Mortal("f1");
  Mortal* held = new Mortal("h");
  Mortal* free2 = new Mortal("f2");
  KavPtr<QueryBase> pin(held);
  for (QueryBase* o : {static_cast<QueryBase*>(free1), static_cast<QueryBase*>(held), static_cast<QueryBase*>(free2)})
    gc->add(o);
  EXPECT_EQ(gc->deleteUnreservedObjects(), 2u);
  EXPECT_TRUE(gc->isPending(held));
  EXPECT_EQ(gc->getNumberOfDeleteRequests(), 1u);
  std::ostringstream xml;
  GarbageCollector::dumpXmlDeleteListMembers(xml);
  EXPECT_NE(xml.str().find("instanceName=\"h\""), std::string::npos);
  pin = static_cast<QueryBase*>(nullptr);
  EXPECT_EQ(gc->deleteUnreservedObjects(), 1u);
  EXPECT_EQ(g_destroyed.load(), 3);
}

// Its destructor waits (bounded) until another thread has handed an object
// to the collector, as a destructor that takes a lock held by such a thread
// does.
class WaitsForAnAdd : public TestNode {
 public:
  WaitsForAnAdd(std::atomic<bool>& entered, std::atomic<bool>& added, std::atomic<bool>& sawAdd)
      : TestNode("waits"), m_entered(entered), m_added(added), m_sawAdd(sawAdd) {}
  ~WaitsForAnAdd() override {
    m_entered = true;
    for (int i = 0; i < 400 && !m_added; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    m_sawAdd = m_added.load();
  }

 private:
  std::atomic<bool>& m_entered;
  std::atomic<bool>& m_added;
  std::atomic<bool>& m_sawAdd;
};

TEST_F(Collector, AddDoesNotWaitForTheDestructorsOfAPass) {
  std::atomic<bool> entered{false}, added{false}, sawAdd{false};
  gc->add(new WaitsForAnAdd(entered, added, sawAdd));
  std::thread other([&] {
    while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    gc->add(new Mortal("late"));
    added = true;
  });
  EXPECT_EQ(gc->deleteUnreservedObjects(), 1u);
  other.join();
  EXPECT_TRUE(sawAdd.load());
  EXPECT_EQ(gc->deleteUnreservedObjects(), 1u);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(Collector, ThreadCollectsUntilTerminated) {
  gc->setCollectionPeriod(10);
  initGarbageCollector();
  EXPECT_TRUE(gc->isInitialised());
  initGarbageCollector();  // once only
  Mortal* m = new Mortal("threaded");
  KavPtr<QueryBase> pin(m);
  gc->add(m);
  pin = static_cast<QueryBase*>(nullptr);
  EXPECT_TRUE(waitUntilCollected(gc));
  EXPECT_EQ(g_destroyed.load(), 1);
  terminateGarbageCollector();
  EXPECT_FALSE(gc->isInitialised());
  // Stopped: nothing is collected any more.
  gc->add(new Mortal("late"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(gc->getNumberOfDeleteRequests(), 1u);
  gc->deleteUnreservedObjects();
  EXPECT_EQ(g_destroyed.load(), 2);
}

TEST_F(Collector, TerminatedSubtreesFromSeveralThreadsWhileReadersHoldPointers) {
  gc->setCollectionPeriod(1);
  gc->init();
  TestAtomic* root = new TestAtomic("root");
  std::vector<std::thread> workers;
  std::atomic<int> created{0};
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        Mortal* card = new Mortal("card");
        Mortal* chip = new Mortal("chip");
        link(card, chip);
        link(root, card);
        created += 2;
        // A reader keeps the chip while the card goes.
        KavPtr<QueryBase> reader(chip);
        std::thread other([reader] {
          KavPtr<QueryBase> copy = reader;
          copy->getSlotId();
        });
        card->terminateSubTreeAndAddToGarbageCollector();
        EXPECT_TRUE(reader->isDeleted());
        other.join();
      }
    });
  }
  for (std::thread& w : workers) w.join();
  EXPECT_TRUE(waitUntilCollected(gc));
  EXPECT_EQ(g_destroyed.load(), created.load());
  EXPECT_TRUE(root->isLeaf());
  gc->terminate();
  discardTree(root);
}

}  // namespace
