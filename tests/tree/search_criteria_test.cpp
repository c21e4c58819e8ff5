#include <gtest/gtest.h>

#include <memory>

#include "kav/tree/search/AndSearchCriteria.h"
#include "kav/tree/search/InstanceNameCriteria.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/search/OrSearchCriteria.h"
#include "kav/tree/search/SearchCriteriaNegator.h"
#include "kav/tree/search/SlotIdCriteria.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/objects/TreeSearch.h"
#include "tests/tree/TreeTestNodes.h"

namespace {

using Names = std::vector<std::string>;

KavPtr<const QueryBase> cp(const QueryBase* n) { return KavPtr<const QueryBase>(n); }

TEST(SearchCriteriaSingle, MatchTable) {
  TestSlot slot("slot", 0x10003);
  TestLeaf leaf("leaf");
  link(&slot, &leaf);
  TestNode lonely("lonely");
  const unsigned int leafClass = TestLeaf::staticGetClassId();
  struct Case {
    const char* what;
    std::shared_ptr<SearchCriteria> criteria;
    const QueryBase* node;
    bool expected;
  };
  const Case cases[] = {
      {"own class", std::make_shared<InstanceOfCriteria>(leafClass), &leaf, true},
      {"base class", std::make_shared<InstanceOfCriteria>(TestNode::staticGetClassId()), &leaf, true},
      {"other class", std::make_shared<InstanceOfCriteria>(AtomicBase::staticGetClassId()), &leaf, false},
      {"class of null", std::make_shared<InstanceOfCriteria>(leafClass), nullptr, false},
      {"name", std::make_shared<InstanceNameCriteria>(get_id_by_string("leaf")), &leaf, true},
      {"other name", std::make_shared<InstanceNameCriteria>(get_id_by_string("slot")), &leaf, false},
      {"name of null", std::make_shared<InstanceNameCriteria>(0), nullptr, false},
      {"exact slot", std::make_shared<SlotIdCriteria>(0x10003, 0xFFFFFFFF), &leaf, true},
      {"base domain exactly", std::make_shared<SlotIdCriteria>(0x10000, 0xFFFFFFFF), &leaf, false},
      {"upper half", std::make_shared<SlotIdCriteria>(0x10000, 0xFFFF0000), &leaf, true},
      {"upper half of slot 0", std::make_shared<SlotIdCriteria>(0x10000, 0xFFFF0000), &lonely, false},
      {"slot of null", std::make_shared<SlotIdCriteria>(0, 0), nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.criteria->isMatching(cp(c.node)), c.expected) << c.what;
    EXPECT_EQ((*c.criteria)(cp(c.node)), c.expected) << c.what;
    std::unique_ptr<SearchCriteria> copy(c.criteria->clone());
    EXPECT_EQ(copy->isMatching(cp(c.node)), c.expected) << c.what << " (clone)";
  }
  slot.removeChild(KavPtr<QueryBase>(&leaf));
}

TEST(SearchCriteriaComposite, EmptyCompositesMatchNothingAndNegatedEmptyAndMatchesAll) {
  TestNode n("n");
  AndSearchCriteria emptyAnd;
  OrSearchCriteria emptyOr;
  EXPECT_FALSE(emptyAnd.isMatching(cp(&n)));
  EXPECT_FALSE(emptyOr.isMatching(cp(&n)));
  EXPECT_TRUE(SearchCriteriaNegator(emptyAnd).isMatching(cp(&n)));
  EXPECT_TRUE(SearchCriteriaNegator(emptyAnd).isMatching(cp(nullptr)));
}

// Counts its evaluations and answers a fixed result.
class CountingCriteria : public SearchCriteria {
 public:
  CountingCriteria(bool result, int* counter) : m_result(result), m_counter(counter) {}
  bool isMatching(KavPtr<const QueryBase>) const override {
    ++*m_counter;
    return m_result;
  }
  SearchCriteria* clone() const override { return new CountingCriteria(*this); }

 private:
  bool m_result;
  int* m_counter;
};

TEST(SearchCriteriaComposite, EvaluationStopsAtTheDecidingMember) {
  TestNode n("n");
  int evaluated = 0;
  OrSearchCriteria any;
  any.addSingleCriteria(CountingCriteria(false, &evaluated));
  any.addSingleCriteria(CountingCriteria(true, &evaluated));
  any.addSingleCriteria(CountingCriteria(true, &evaluated));
  EXPECT_TRUE(any.isMatching(cp(&n)));
  EXPECT_EQ(evaluated, 2);

  evaluated = 0;
  AndSearchCriteria all;
  all.addSingleCriteria(CountingCriteria(true, &evaluated));
  all.addSingleCriteria(CountingCriteria(false, &evaluated));
  all.addSingleCriteria(CountingCriteria(true, &evaluated));
  EXPECT_FALSE(all.isMatching(cp(&n)));
  EXPECT_EQ(evaluated, 2);
}

TEST(SearchCriteriaComposite, MembersAreOwnedCopies) {
  TestSlot slot("slot", 7);
  TestLeaf leaf("leaf");
  link(&slot, &leaf);
  std::unique_ptr<SearchCriteria> kept;
  {
    AndSearchCriteria both;
    {
      InstanceOfCriteria cls(TestLeaf::staticGetClassId());
      SlotIdCriteria inSlot(7, 0xFFFFFFFF);
      both.addSingleCriteria(cls);
      both.addSingleCriteria(inSlot);
    }  // the originals are gone
    EXPECT_TRUE(both.isMatching(cp(&leaf)));
    OrSearchCriteria either;
    either.addSingleCriteria(both);
    either.addSingleCriteria(InstanceNameCriteria(get_id_by_string("slot")));
    kept.reset(SearchCriteriaNegator(either).clone());
  }
  EXPECT_FALSE(kept->isMatching(cp(&leaf)));
  EXPECT_FALSE(kept->isMatching(cp(&slot)));
  TestNode other("other");
  EXPECT_TRUE(kept->isMatching(cp(&other)));
  slot.removeChild(KavPtr<QueryBase>(&leaf));
}

// root(Atomic) - slot(TestSlot 5) - card(TestNode) - chip(TestLeaf)
//              \ hidden leaf
class SearchTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = new TestAtomic("root");
    slot = new TestSlot("slot", 5);
    card = new TestNode("card");
    chip = new TestLeaf("chip");
    ghost = new TestLeaf("ghost");
    ghost->setHidden(true);
    link(root, slot);
    link(slot, card);
    link(card, chip);
    link(root, ghost);
    set_tree_root(KavPtr<QueryBase>(root));
  }
  void TearDown() override {
    set_tree_root(KavPtr<QueryBase>());
    discardTree(root);
  }
  TestAtomic* root = nullptr;
  TestSlot* slot = nullptr;
  TestNode* card = nullptr;
  TestLeaf* chip = nullptr;
  TestLeaf* ghost = nullptr;
};

template <class T>
Names namesOf(const ExecList<T>& list) {
  Names out;
  for (auto it = list.begin(); it != list.end(); ++it) out.push_back(nameOf(**it));
  return out;
}

TEST_F(SearchTree, CollectFindsInstancesInPrefixOrder) {
  EXPECT_EQ(namesOf(collectClasstypeInTree<TestNode>(false)), (Names{"card", "chip"}));
  EXPECT_EQ(namesOf(collectClasstypeInTree<TestNode>(true)), (Names{"card", "chip", "ghost"}));
  EXPECT_EQ(namesOf(collectClasstypeInTree<TestLeaf>(true)), (Names{"chip", "ghost"}));
  EXPECT_EQ(namesOf(collectClasstypeInTree<QueryBase>(true)), (Names{"root", "slot", "card", "chip", "ghost"}));
  EXPECT_EQ(namesOf(collectClasstypeInSubTree<AtomicBase>(cp(slot), true)), (Names{"slot"}));
  EXPECT_EQ(collectClasstypeInSubTree<TestNode>(KavPtr<const QueryBase>(), true).elementCount(), 0u);
  ExecList<TestLeaf> leaves = collectClasstypeInTree<TestLeaf>(true);
  leaves.keepAllForCriteria(SlotIdCriteria(5, 0xFFFFFFFF));
  EXPECT_EQ(leaves.getSingleton(false), chip);
}

TEST_F(SearchTree, CollectFromAList) {
  kavstl::list<KavPtr<QueryBase> > members{KavPtr<QueryBase>(ghost), KavPtr<QueryBase>(card),
                                           KavPtr<QueryBase>(slot), KavPtr<QueryBase>(chip)};
  EXPECT_EQ(namesOf(collectClasstypeInList<TestLeaf>(members)), (Names{"ghost", "chip"}));
  EXPECT_EQ(namesOf(collectClasstypeInList<AtomicBase>(members)), (Names{"slot"}));
}

TEST_F(SearchTree, CollectWithoutRootIsEmpty) {
  set_tree_root(KavPtr<QueryBase>());
  EXPECT_EQ(collectClasstypeInTree<QueryBase>(true).elementCount(), 0u);
}

TEST_F(SearchTree, SeekUpFindsTheNearestMatchingAncestor) {
  // The start node itself is never tested.
  EXPECT_EQ(seekUp<TestSlot>(cp(chip), InstanceOfCriteria(TestSlot::staticGetClassId())), slot);
  EXPECT_EQ(seekUp<TestNode>(cp(card), InstanceOfCriteria(TestNode::staticGetClassId())), nullptr);
  EXPECT_EQ(seekUp<TestNode>(cp(chip), InstanceOfCriteria(TestNode::staticGetClassId())), card);
  EXPECT_EQ(seekUp<AtomicBase>(cp(chip), InstanceOfCriteria(AtomicBase::staticGetClassId())), slot);
  EXPECT_EQ(seekUp<QueryBase>(cp(chip), InstanceNameCriteria(get_id_by_string("root"))), root);
  // From the root, and when nothing matches: null.
  EXPECT_EQ(seekUp<QueryBase>(cp(root), SearchCriteriaNegator(AndSearchCriteria())), nullptr);
  EXPECT_EQ(seekUp<QueryBase>(cp(chip), InstanceNameCriteria(get_id_by_string("nobody"))), nullptr);
  // The parent matches but is not of the class asked for.
  EXPECT_EQ(seekUp<TestSlot>(cp(chip), InstanceNameCriteria(get_id_by_string("card"))), nullptr);
  EXPECT_EQ(seekUp<QueryBase>(KavPtr<const QueryBase>(), InstanceNameCriteria(0)), nullptr);
}

}  // namespace
