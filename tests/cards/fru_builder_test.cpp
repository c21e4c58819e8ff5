// The FRU builder's transition table, its object sets and the paths that
// end the process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "kav/cards/FruBuilder.h"
#include "kav/cards/PlugDetectHwrIp.h"
#include "kav/cards/Slot.h"
#include "kav/events/PlugEventSender.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"

using cardstest::element;

namespace {

const kavstl::string& text(unsigned int id) { return get_string_by_id(id); }

BinaryReaderNode* row(const char* pattern, std::initializer_list<BinaryReaderNode*> lists) {
  return element("TransitionTableRow", {{text(kav::sid::SKIP_NODE), "true"}, {text(kav::sid::PLUG_PATTERN), pattern}},
                 lists);
}

BinaryReaderNode* buildList(const char* side, std::initializer_list<const char*> names) {
  BinaryReaderNode* list = element("BuildFileList", {{text(kav::sid::BUILD_SIDE), side}});
  for (const char* name : names) list->addChild(element("Obj", {{"Name", name}}));
  return list;
}

std::set<std::string> namesFor(const FruBuilder& builder, uint32_t bits) {
  FruBuilder::ObjectSet_t objects;
  builder.getXmlLookupIds(FruBuilder::plugPattern_s{bits}, objects);
  std::set<std::string> names;
  for (const FruBuilder::ObjectDescription& d : objects) names.insert(d.getName());
  return names;
}

// A slot whose builder has detector 0 and one row: plugged builds
// "NoSuchCard" (the fallback card when a build job runs).
struct OneCardSlot {
  std::unique_ptr<BinaryReaderNode> node;
  KavPtr<Slot> slot;
  KavPtr<FruBuilder> builder;
  KavPtr<PlugDetectHwrIp> detector;

  void make(unsigned int slotId) {
    node.reset(element("Builder", {}, {row("1", {buildList("Any", {"NoSuchCard"})})}));
    slot = KavPtr<Slot>(new Slot());
    slot->setSlotId(slotId);
    builder = KavPtr<FruBuilder>(new FruBuilder());
    ASSERT_EQ(0u, builder->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    cardstest::link(slot.getRawPointer(), builder.getRawPointer());
    detector = KavPtr<PlugDetectHwrIp>(new PlugDetectHwrIp());
    cardstest::link(builder.getRawPointer(), detector.getRawPointer());
    ASSERT_EQ(0u, builder->linkTreeElements().getRc());
  }
};

class FruBuilderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
};

}  // namespace

TEST_F(FruBuilderTest, PatternTextsMatchTheirPlugPatterns) {
  struct Case {
    const char* text;
    uint32_t pattern;
    bool matches;
  } cases[] = {
      {"X1", 0x1, true},  {"X1", 0x3, true},  {"X1", 0x2, false}, {"X1", 0x0, false},
      {"10", 0x2, true},  {"10", 0x3, false}, {"10", 0x1, false}, {"1", 0x1, true},
      {"1", 0x0, false},  {"0", 0x0, true},   {"0", 0x1, false},  {"1X0", 0x6, true},
      {"1X0", 0x4, true}, {"1X0", 0x5, false},
  };
  for (const Case& c : cases) {
    FruBuilder::PlugCondition condition;
    FruBuilder::parsePattern(c.text, condition.dontCareMask, condition.value);
    EXPECT_EQ(c.matches, condition.matches(FruBuilder::plugPattern_s{c.pattern}))
        << c.text << " pattern 0x" << std::hex << c.pattern;
  }
}

TEST_F(FruBuilderTest, RowsOfThisSideAreReadAndMatchingRowsAreJoined) {
  std::unique_ptr<BinaryReaderNode> node(element(
      "Builder", {},
      {row("X1", {buildList("Any", {"A"}), buildList("Side-B", {"B"})}), row("1", {buildList("Side-A", {"C", "A"})}),
       row("10", {buildList("Any", {"D"})})}));
  KavPtr<FruBuilder> builder(new FruBuilder());
  ASSERT_EQ(0u, builder->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  node.reset();  // the builder keeps its own copies of the described nodes
  ASSERT_EQ(3u, builder->getTransitionTable().size());
  EXPECT_EQ((std::set<std::string>{"A", "C"}), namesFor(*builder, 0x1));
  EXPECT_EQ((std::set<std::string>{"A"}), namesFor(*builder, 0x3));
  EXPECT_EQ((std::set<std::string>{"D"}), namesFor(*builder, 0x2));
  EXPECT_TRUE(namesFor(*builder, 0x0).empty());
  // The side of this service processor.
  EXPECT_EQ("Side-A", FruBuilder::getSideString());
}

TEST_F(FruBuilderTest, RowWithoutPatternStopsTheTable) {
  BinaryReaderNode* broken = element("TransitionTableRow", {{text(kav::sid::SKIP_NODE), "true"}});
  std::unique_ptr<BinaryReaderNode> node(
      element("Builder", {}, {row("1", {buildList("Any", {"A"})}), broken, row("10", {buildList("Any", {"D"})})}));
  KavPtr<FruBuilder> builder(new FruBuilder());
  EXPECT_EQ(0x7145u, builder->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
  EXPECT_EQ(1u, builder->getTransitionTable().size());
}

TEST_F(FruBuilderTest, DescriptionsOrderByNameThenNode) {
  std::unique_ptr<BinaryReaderNode> a(element("Obj", {{"Name", "X"}, {"k", "1"}}));
  std::unique_ptr<BinaryReaderNode> b(element("Obj", {{"Name", "X"}, {"k", "2"}}));
  FruBuilder::ObjectDescription none("X", nullptr), first("X", a.get()), second("X", b.get()), other("Y", nullptr);
  EXPECT_TRUE(none < first);
  EXPECT_FALSE(first < none);
  EXPECT_TRUE(first < second || second < first);
  EXPECT_TRUE(first < other);
  // A missing node compares equal to any node of the same name.
  EXPECT_TRUE(none == first);
  EXPECT_FALSE(first == second);
  EXPECT_FALSE(none == other);
}

TEST_F(FruBuilderTest, DetectorsWithTheSameIdAreRefused) {
  KavPtr<Slot> slot(new Slot());
  KavPtr<FruBuilder> builder(new FruBuilder());
  cardstest::link(slot.getRawPointer(), builder.getRawPointer());
  for (int i = 0; i < 2; ++i) {
    PlugDetectHwrIp* detector = new PlugDetectHwrIp();
    detector->setPlugDetectId(3);
    cardstest::link(builder.getRawPointer(), detector);
  }
  EXPECT_EQ(0x7002u, builder->linkTreeElements().getRcWithoutLogFlag());
  EXPECT_EQ(1u, builder->getPlugDetectCount());
  EXPECT_FALSE(builder->readIsPlugged(true));
  EXPECT_EQ(0x7002u, builder->deleteContainerInSlot(KavPtr<Slot>()).getRcWithoutLogFlag());
}

TEST_F(FruBuilderTest, PlugEventsScheduleBuildsOnlyWhenTheObjectSetChanges) {
  std::unique_ptr<BinaryReaderNode> node(element("Builder", {}, {row("1", {buildList("Any", {"NoSuchCard"})})}));
  KavPtr<Slot> slot(new Slot());
  slot->setSlotId(0x60);
  KavPtr<FruBuilder> builder(new FruBuilder());
  ASSERT_EQ(0u, builder->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  cardstest::link(slot.getRawPointer(), builder.getRawPointer());
  KavPtr<PlugDetectHwrIp> first(new PlugDetectHwrIp());
  KavPtr<PlugDetectHwrIp> high(new PlugDetectHwrIp());
  high->setPlugDetectId(40);
  cardstest::link(builder.getRawPointer(), first.getRawPointer());
  cardstest::link(builder.getRawPointer(), high.getRawPointer());
  ASSERT_EQ(0u, builder->linkTreeElements().getRc());

  // A detector with an id of 32 or more never changes the pattern.
  high->setPlugState(PlugDetectHwrInterface::PLUGGED);
  builder->handlePlugEvent(PlugEvent(0x60, 40, PlugEvent::PLUG));
  EXPECT_EQ(0u, builder->getCurrentPattern().bits);
  EXPECT_EQ(0u, builder->getPendingJobId());
  EXPECT_TRUE(builder->readIsPlugged(true));

  first->setPlugState(PlugDetectHwrInterface::PLUGGED);
  builder->handlePlugEvent(PlugEvent(0x60, 0, PlugEvent::PLUG));
  EXPECT_EQ(1u, builder->getCurrentPattern().bits);
  const unsigned int job = builder->getPendingJobId();
  EXPECT_NE(0u, job);
  // The reporting detector now waits for the unplug.
  EXPECT_FALSE(first->isWaitingForPlug());

  // The same object set again: the pending build stays.
  builder->handlePlugEvent(PlugEvent(0x60, 0, PlugEvent::PLUG));
  EXPECT_EQ(job, builder->getPendingJobId());

  // An unplug within the delay drops the pending build; removal is immediate.
  first->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
  builder->handlePlugEvent(PlugEvent(0x60, 0, PlugEvent::UNPLUG));
  EXPECT_EQ(0u, builder->getCurrentPattern().bits);
  EXPECT_EQ(0u, builder->getPendingJobId());
  EXPECT_TRUE(first->isWaitingForPlug());
  EXPECT_FALSE(TimedExecutor::getInstance()->deleteJob(job));
}

// A card pulled and put back before the unplug is delivered: the detector
// reads plugged again when the builder sees the unplug. The unplug still
// removes the content at once, and the plug the re-armed detector reports
// builds it again after the delay.
TEST_F(FruBuilderTest, ReseatSeenLateRemovesAndRebuildsTheContent) {
  OneCardSlot card;
  ASSERT_NO_FATAL_FAILURE(card.make(0x62));
  KavPtr<FruBuilder> builder = card.builder;
  KavPtr<PlugDetectHwrIp> detector = card.detector;
  ASSERT_EQ(0u, builder->enablePlugEvents().getRc());
  cardstest::Recorder<PlugEvent> events(PlugEventSender::getInstance(), 0x62);

  detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  builder->handlePlugEvent(PlugEvent(0x62, 0, PlugEvent::PLUG));
  const unsigned int firstBuild = builder->getPendingJobId();
  ASSERT_NE(0u, firstBuild);
  ASSERT_TRUE(TimedExecutor::getInstance()->deleteJob(firstBuild));  // as if it had run

  detector->setPlugState(PlugDetectHwrInterface::UNPLUGGED);
  detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  builder->handlePlugEvent(PlugEvent(0x62, 0, PlugEvent::UNPLUG));
  EXPECT_EQ(0u, builder->getCurrentPattern().bits);
  EXPECT_EQ(0u, builder->getPendingJobId());
  // Re-armed for the plug, the detector reported the card that is there.
  std::vector<PlugEvent> seen = events.waitFor(3);
  ASSERT_EQ(3u, seen.size());
  EXPECT_TRUE(seen[0].isPlugEvent());
  EXPECT_TRUE(seen[1].isUnplugEvent());
  EXPECT_TRUE(seen[2].isPlugEvent());
  builder->handlePlugEvent(seen[2]);
  EXPECT_EQ(1u, builder->getCurrentPattern().bits);
  const unsigned int rebuild = builder->getPendingJobId();
  EXPECT_NE(0u, rebuild);
  EXPECT_NE(firstBuild, rebuild);
  EXPECT_TRUE(TimedExecutor::getInstance()->deleteJob(rebuild));
}

TEST_F(FruBuilderTest, DeregistrationWhileAPlugIsBeingDeliveredCompletes) {
  OneCardSlot card;
  ASSERT_NO_FATAL_FAILURE(card.make(0x61));
  KavPtr<FruBuilder> builder = card.builder;
  KavPtr<PlugDetectHwrIp> detector = card.detector;

  cardstest::DeliveryGate<PlugEvent> gate(PlugEventSender::getInstance(), 0x61);
  ASSERT_EQ(0u, builder->registerEvents().getRc());
  detector->setPlugState(PlugDetectHwrInterface::PLUGGED);
  PlugEvent plug(0x61, 0, PlugEvent::PLUG);
  PlugEventSender::getInstance()->sendEvent(plug);
  ASSERT_TRUE(gate.waitEntered());

  // The builder's handler comes next in the delivery under way; its removal
  // must neither wait for it under the builder's lock nor leave its build.
  std::atomic<bool> done(false);
  std::thread remover([&] {
    builder->deregisterEvents();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  gate.open();
  if (!e2e::waitFor([&] { return done.load(); }, 10000)) {
    std::fprintf(stderr, "deregistration and plug delivery wait for each other\n");
    std::_Exit(1);
  }
  remover.join();
  EXPECT_EQ(0u, builder->getPendingJobId());
}

using FruBuilderDeathTest = FruBuilderTest;

TEST_F(FruBuilderDeathTest, UnknownLocalSideEndsTheProcess) {
  EXPECT_DEATH(FruBuilder::sideStringFor(2), "percAbend: reason=0x00000000");
}

TEST_F(FruBuilderDeathTest, MissingEventRouterEndsTheProcess) {
  EXPECT_DEATH(FruBuilder::checkRouter(nullptr), "percAbend: reason=0x0000F0D1");
}

TEST_F(FruBuilderDeathTest, SlotWithTwoContainersEndsTheProcess) {
  KavPtr<Slot> slot(new Slot());
  KavPtr<FruBuilder> builder(new FruBuilder());
  cardstest::link(slot.getRawPointer(), builder.getRawPointer());
  cardstest::link(slot.getRawPointer(), new Container(KavPtr<QueryBase>()));
  cardstest::link(slot.getRawPointer(), new Container(KavPtr<QueryBase>()));
  EXPECT_DEATH(builder->deleteContainerInSlot(slot), "percAbend: reason=0x00000000");
}

TEST_F(FruBuilderDeathTest, BuildWithoutRootEndsTheProcess) {
  // The configuration without the fallback card: nothing can be built.
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quib-no-fallback-" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const fs::directory_entry& e : fs::directory_iterator(e2e::configDir()))
    if (e.path().extension() == ".bin" && e.path().filename() != "UnknownFru.bin")
      fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
  const std::string saved = std::getenv("FACADEXMLPATH");
  setenv("FACADEXMLPATH", dir.c_str(), 1);
  EXPECT_DEATH(
      {
        KavPtr<FruBuilder> builder(new FruBuilder());
        FruBuilder::ObjectSet_t objects;
        objects.insert(FruBuilder::ObjectDescription("NoSuchCard", nullptr));
        builder->buildTree(objects);
      },
      "percAbend: reason=0x00000000");
  setenv("FACADEXMLPATH", saved.c_str(), 1);
  fs::remove_all(dir);
}
