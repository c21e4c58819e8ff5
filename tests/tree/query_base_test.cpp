#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <chrono>
#include <sstream>
#include <thread>

#include "kav/runtime/MemPool.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/tree/TreeTestNodes.h"

namespace {

// The attribute readers name attributes by the fixed string ids, whose texts
// come from the compiled string-id table of the build tree: point the
// configuration variables there before the first string id is asked for.
const bool g_configured = [] {
  const char* build = std::getenv("QUIB_BUILD_DIR");
  if (build != nullptr && std::getenv("FACADEXMLPATH") == nullptr) {
    setenv("FACADEXMLPATH", (std::string(build) + "/config").c_str(), 1);
    setenv("FACADEFILELIST", "FileList.bin", 1);
  }
  return true;
}();

bool haveStringTable() { return get_string_by_id(kav::sid::INSTANCE_NAME) == "instanceName"; }

TEST(QueryBaseClassIds, AreStringIdsOfClassNamesAlongTheClassChain) {
  TestLeaf leaf("leaf");
  TestSlot slot("slot", 1);
  Container container{KavPtr<QueryBase>()};
  struct Case {
    const QueryBase& node;
    const char* own;
    std::vector<const char*> ancestors;
    std::vector<const char*> others;
  };
  const Case cases[] = {
      {leaf, "TestLeaf", {"TestNode", "QueryBase"}, {"AtomicBase", "TestSlot"}},
      {slot, "TestSlot", {"TestAtomic", "AtomicBase", "QueryBase"}, {"TestNode", "Container"}},
      {container, "Container", {"AtomicBase", "QueryBase"}, {"TestAtomic"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.node.getClassId(), get_id_by_string(c.own)) << c.own;
    EXPECT_TRUE(c.node.isInstanceOf(get_id_by_string(c.own))) << c.own;
    for (const char* a : c.ancestors) EXPECT_TRUE(c.node.isInstanceOf(get_id_by_string(a))) << c.own << " " << a;
    for (const char* o : c.others) EXPECT_FALSE(c.node.isInstanceOf(get_id_by_string(o))) << c.own << " " << o;
  }
  EXPECT_EQ(QueryBase::staticGetClassId(), get_id_by_string("QueryBase"));
  EXPECT_EQ(AtomicBase::staticGetClassId(), get_id_by_string("AtomicBase"));
  EXPECT_EQ(leaf.getInstanceSize(), sizeof(TestLeaf));
  EXPECT_EQ(slot.getInstanceSize(), sizeof(TestSlot));
  EXPECT_EQ(container.getInstanceSize(), sizeof(Container));
}

TEST(QueryBaseStructure, ParentIsSetOnceAndNotByNull) {
  TestNode first("first"), second("second"), child("child");
  child.setParent(KavPtr<QueryBase>());
  EXPECT_TRUE(child.isRoot());
  child.setParent(KavPtr<QueryBase>(&first));
  child.setParent(KavPtr<QueryBase>(&second));
  EXPECT_EQ(child.getParent(), &first);
  EXPECT_FALSE(child.isRoot());
  // addChild does not set a parent.
  TestNode orphan("orphan");
  second.addChild(KavPtr<QueryBase>(&orphan));
  EXPECT_TRUE(orphan.isRoot());
  second.removeChild(KavPtr<QueryBase>(&orphan));
}

TEST(QueryBaseStructure, HiddenChildrenAreKeptApart) {
  TestNode parent("p"), visible("v"), hidden("h");
  hidden.setHidden(true);
  parent.addChild(KavPtr<QueryBase>(&hidden));
  EXPECT_TRUE(parent.isLeaf());
  EXPECT_TRUE(parent.getChildren().empty());
  ASSERT_EQ(parent.getHiddenChildren().size(), 1u);
  EXPECT_EQ(parent.getHiddenChildren().front(), &hidden);

  parent.addChild(KavPtr<QueryBase>(&visible));
  EXPECT_FALSE(parent.isLeaf());
  EXPECT_EQ(parent.getChildren().size(), 1u);
  EXPECT_EQ(parent.getHiddenChildren().size(), 1u);

  parent.removeChild(KavPtr<QueryBase>(&hidden));
  EXPECT_TRUE(parent.getHiddenChildren().empty());
  EXPECT_EQ(parent.getChildren().size(), 1u);
  parent.removeChild(KavPtr<QueryBase>(&visible));
  EXPECT_TRUE(parent.isLeaf());
  EXPECT_EQ(visible.getReferenceCount(), 0u);
}

TEST(QueryBaseStructure, RemoveChildRemovesEveryEntryAndKeepsOrder) {
  TestNode parent("p"), a("a"), b("b"), c("c");
  for (QueryBase* n : {&a, &b, &a, &c, &a}) parent.addChild(KavPtr<QueryBase>(n));
  parent.removeChild(KavPtr<QueryBase>(&a));
  QueryBase::ChildList_t children = parent.getChildren();
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children.front(), &b);
  EXPECT_EQ(children.back(), &c);
  EXPECT_EQ(a.getReferenceCount(), 0u);
  parent.removeChild(KavPtr<QueryBase>(&b));
  parent.removeChild(KavPtr<QueryBase>(&c));
}

class SlotTree : public ::testing::Test {
 protected:
  void SetUp() override {
    slot = new TestSlot("slot", 0x1234);
    card = new TestNode("card");
    chip = new TestNode("chip");
    link(slot, card);
    link(card, chip);
  }
  void TearDown() override { discardTree(slot); }
  TestSlot* slot = nullptr;
  TestNode* card = nullptr;
  TestNode* chip = nullptr;
};

TEST_F(SlotTree, NodesAnswerTheSlotIdOfTheNearestSlotAbove) {
  EXPECT_EQ(chip->getSlotId(), 0x1234u);
  EXPECT_EQ(card->getSlotId(), 0x1234u);
  TestNode root("root");
  EXPECT_EQ(root.getSlotId(), 0u);
  root.setDeletedSlotId(0x10000);
  EXPECT_EQ(root.getSlotId(), 0x10000u);
}

TEST_F(SlotTree, TerminatedNodeKeepsItsSlotIdAfterItLeftTheTree) {
  KavPtr<QueryBase> held(chip);
  EXPECT_FALSE(chip->isDeleted());
  chip->terminate(terminateSequence::TERM_MARK_DELETED);
  EXPECT_TRUE(chip->isDeleted());
  EXPECT_EQ(chip->getDeletedSlotId(), 0x1234u);
  chip->terminate(terminateSequence::TERM_DETACH);
  EXPECT_TRUE(chip->isRoot());
  EXPECT_TRUE(card->getChildren().empty());
  EXPECT_EQ(chip->getSlotId(), 0x1234u);
  EXPECT_TRUE(GarbageCollector::getInstance()->isPending(chip));
  // Held: the collector must leave it alone.
  GarbageCollector::getInstance()->deleteUnreservedObjects();
  EXPECT_TRUE(GarbageCollector::getInstance()->isPending(chip));
  EXPECT_EQ(nameOf(*held), "chip");
}

TEST_F(SlotTree, OtherStepsChangeNothing) {
  for (unsigned int step : {0u, 2u, 3u, 4u, 5u}) {
    EXPECT_EQ(chip->terminate(static_cast<terminateSequence::Id_t>(step)), 0u);
    EXPECT_FALSE(chip->isDeleted());
    EXPECT_FALSE(chip->isRoot());
  }
  for (unsigned int step = 0; step <= 16; ++step)
    EXPECT_EQ(chip->QueryBase::init(static_cast<initSequence::Id_t>(step)), 0u);
}

TEST(QueryBaseAttributes, ReadsParentNameAndHiddenFlag) {
  if (!haveStringTable()) GTEST_SKIP() << "no string-id table";
  TestNode parent("parent");
  BinaryReaderNode element;
  element.addAttribute(get_string_by_id(kav::sid::INSTANCE_NAME), "osc0");
  element.addAttribute(get_string_by_id(kav::sid::HIDDEN), "true");
  TestNode node("");
  BaseErrorData rc = node.setAttributes(AttributeInfo(&parent, &element, nullptr));
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(node.getInstanceId(), get_id_by_string("osc0"));
  EXPECT_TRUE(node.isHidden());
  EXPECT_EQ(node.getParent(), &parent);
}

TEST(QueryBaseAttributes, MissingNameIsTracedAndKeepsTheInstanceId) {
  if (!haveStringTable()) GTEST_SKIP() << "no string-id table";
  BinaryReaderNode element;
  element.addAttribute(get_string_by_id(kav::sid::HIDDEN), "false");
  TestNode node("");
  trace_ravo_clear_all();
  BaseErrorData rc = node.setAttributes(AttributeInfo(nullptr, &element, nullptr));
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(node.getInstanceId(), get_id_by_string(""));
  EXPECT_FALSE(node.isHidden());
  EXPECT_TRUE(node.isRoot());
  EXPECT_TRUE(traceContains("KAVE", "no instance name"));

  TestNode named("keep");
  BinaryReaderNode empty;
  EXPECT_EQ(named.setAttributes(AttributeInfo(nullptr, &empty, nullptr)), 0u);
  EXPECT_EQ(named.getInstanceId(), get_id_by_string("keep"));
}

TEST(QueryBaseAccess, TreeWithoutMutexOwnerEndsTheProcess) {
  EXPECT_DEATH(
      {
        TestNode root("root");
        TestNode child("child");
        link(&root, &child);
        child.requestAccess(0);
      },
      "percAbend: reason=0x00000000 .*arg7=11");
  EXPECT_DEATH(
      {
        TestNode lonely("lonely");
        lonely.mutexRelease();
      },
      "percAbend: reason=0x00000000 .*arg7=11");
}

TEST(QueryBaseAccess, DeletedNodeWithoutParentOnlyTracesRelease) {
  TestNode node("gone");
  node.terminate(terminateSequence::TERM_MARK_DELETED);
  EXPECT_EQ(node.mutexRelease(), 0u);
}

TEST(QueryBaseAccess, DescendantsShareTheMutexOfTheNearestAtomicBase) {
  TestAtomic owner("owner");
  TestNode mid("mid"), leaf("leaf");
  link(&owner, &mid);
  link(&mid, &leaf);
  // Recursive for the holder.
  EXPECT_EQ(leaf.requestAccess(0), 0u);
  EXPECT_EQ(mid.requestAccess(0), 0u);
  unsigned long other = 0;
  std::thread t([&] { other = owner.mutexRequest(50); });
  t.join();
  EXPECT_EQ(other, 1000u);
  EXPECT_EQ(mid.releaseAccess(), 0u);
  EXPECT_EQ(leaf.releaseAccess(), 0u);
  std::thread t2([&] {
    other = owner.mutexRequest(50);
    if (other == 0) owner.mutexRelease();
  });
  t2.join();
  EXPECT_EQ(other, 0u);
  mid.removeChild(KavPtr<QueryBase>(&leaf));
  owner.removeChild(KavPtr<QueryBase>(&mid));
}

TEST(QueryBaseAccess, TimeoutZeroWaitsWithoutLimitAndATimedRequestTimesOut) {
  TestAtomic owner("owner");
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  std::thread holder([&] {
    owner.mutexRequest(0);
    held = true;
    while (!release) std::this_thread::yield();
    owner.mutexRelease();
  });
  while (!held) std::this_thread::yield();
  EXPECT_EQ(owner.mutexRequest(100), 1000u);
  EXPECT_EQ(owner.requestAccess(100), 1000u);
  // With 0 the request outlasts the holder instead of failing.
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    release = true;
  });
  EXPECT_EQ(owner.mutexRequest(0), 0u);
  EXPECT_TRUE(release.load());
  EXPECT_EQ(owner.mutexRelease(), 0u);
  holder.join();
  releaser.join();
}

TEST(QueryBaseMemory, TreeObjectsComeFromThePool) {
  QueryBase::initMemoryPool();
  MemPool* pool = QueryBase::getMemoryPool();
  ASSERT_NE(pool, nullptr);
  const uint32_t before = pool->getFreeBytes();
  TestNode* node = new TestNode("pooled");
  EXPECT_EQ(before - pool->getFreeBytes(), MemPool::blockSizeFor(sizeof(TestNode)));
  EXPECT_EQ(MemPool::getBlockSize(node), MemPool::blockSizeFor(sizeof(TestNode)));
  discardTree(node);
  EXPECT_EQ(pool->getFreeBytes(), before);
  EXPECT_TRUE(pool->consistencyCheck());
}

class HugeNode : public QueryBase {
 public:
  char m_payload[31 * 1024];
};

TEST(QueryBaseMemory, ObjectLargerThanAChunkIsNotCreated) {
  HugeNode* huge = new HugeNode;
  EXPECT_EQ(huge, nullptr);
}

TEST(QueryBaseDump, WritesOwnClassElementAndChildren) {
  TestNode root("root"), child("kid"), hidden("ghost");
  hidden.setHidden(true);
  link(&root, &child);
  link(&root, &hidden);
  root.setDeletedSlotId(0x10000);
  std::ostringstream os;
  root.dumpXml(os);
  const std::string xml = os.str();
  EXPECT_NE(xml.find("<class className=\"QueryBase\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"isDeleted\" value=\"false\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"m_deletedSlotId\" value=\"0x00010000\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("className=\"TestNode\" instanceName=\"kid\""), std::string::npos) << xml;
  EXPECT_LT(xml.find("instanceName=\"kid\""), xml.find("instanceName=\"ghost\""));
  std::ostringstream failed;
  failed.setstate(std::ios::failbit);
  root.dumpXml(failed);
  EXPECT_TRUE(failed.str().empty());
  root.removeChild(KavPtr<QueryBase>(&child));
  root.removeChild(KavPtr<QueryBase>(&hidden));
}

TEST(QueryBaseDump, ReferenceInformationIsTraced) {
  TestNode node("traced");
  KavPtr<QueryBase> a(&node), b(&node);
  trace_ravo_clear_all();
  node.showReferenceInformation();
  EXPECT_TRUE(traceContains("KAVT", "TestNode deletedSlotId=0x0 references=2"));
}

TEST(ContainerTest, ParentComesFromTheConstructorAndFactoryMakesARoot) {
  TestAtomic parent("parent");
  Container c{KavPtr<QueryBase>(&parent)};
  EXPECT_EQ(c.getParent(), &parent);
  BaseErrorData unused;
  BuildBase* build = createContainer(nullptr, unused);
  ASSERT_NE(build, nullptr);
  QueryBase* made = build->getQueryBase();
  EXPECT_TRUE(made->isInstanceOf(Container::staticGetClassId()));
  EXPECT_TRUE(made->isRoot());
  EXPECT_EQ(made->getBuildInterface(), build);
  discardTree(made);
}

TEST(TreeRootTest, KeepsOneGlobalPointer) {
  TestAtomic* root = new TestAtomic("root");
  set_tree_root(KavPtr<QueryBase>(root));
  EXPECT_EQ(get_tree_root(), root);
  EXPECT_TRUE(root->isReserved());
  set_tree_root(KavPtr<QueryBase>());
  EXPECT_EQ(get_tree_root(), nullptr);
  EXPECT_FALSE(root->isReserved());
  discardTree(root);
}

}  // namespace
