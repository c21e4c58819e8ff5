// DynamicOscillatorHandler over two card sets on fakes (OscSetRig.h) and a
// redundant state table over a map: the selection byte, the transition
// rule over every pair of a settled current byte and any new byte (and the
// impossible current bytes, logged), the modes the two sets can take for
// each selection, the debug flag kept in the table and handed to the status
// handler, and the redundant oscillator status.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/RedundantStateTable.h"
#include "kav/clock/osc/DynamicOscillatorHandler.h"
#include "kav/events/ComponentReadyEvent.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimedJob.h"
#include "tests/clock/OscSetRig.h"
#include "tests/support/RecordingLogSink.h"

namespace {

// One byte per field; a field it does not hold is 0x7027. Tests that let
// the job thread write read it with value().
class FakeRedundantTable : public RedundantStateTable {
 public:
  std::map<unsigned int, unsigned char> fields{{kav::sid::OSC_CURRENT_SELECTION_FIELD, 0},
                                               {kav::sid::OSC_PREFERRED_SELECTION_FIELD, 0},
                                               {kav::sid::OSC_DEBUG_MODE_FIELD, 0}};
  unsigned char value(unsigned int field) const {
    std::lock_guard<std::mutex> guard(m_fieldsLock);
    return fields.at(field);
  }
  ErrorData readField(unsigned int field, unsigned char* buf, unsigned int size, unsigned int) const override {
    std::lock_guard<std::mutex> guard(m_fieldsLock);
    auto it = fields.find(field);
    if (it == fields.end() || size != 1) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    *buf = it->second;
    return ErrorData();
  }
  ErrorData writeField(unsigned int field, unsigned char* buf, unsigned int size, unsigned int) override {
    std::lock_guard<std::mutex> guard(m_fieldsLock);
    auto it = fields.find(field);
    if (it == fields.end() || size != 1) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    it->second = *buf;
    return ErrorData();
  }

 private:
  mutable std::mutex m_fieldsLock;
};

const unsigned char kSettled[] = {0x00, 0x11, 0x12, 0x21, 0x22};

class DynamicOscillatorHandlerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    set_tree_root(KavPtr<QueryBase>(m_root));
    m_a.reset(new osctest::SetRig(m_root.getRawPointer(), kavosc::OSC_CARD_SET_A, 0x20, {0x20, 0x21}, &m_journal));
    m_b.reset(new osctest::SetRig(m_root.getRawPointer(), kavosc::OSC_CARD_SET_B, 0x30, {0x30, 0x31}, &m_journal));
    m_table = KavPtr<FakeRedundantTable>(new FakeRedundantTable());
    cardstest::link(m_root.getRawPointer(), m_table.getRawPointer());
    m_handler = KavPtr<DynamicOscillatorHandler>(new DynamicOscillatorHandler());
    cardstest::link(m_root.getRawPointer(), m_handler.getRawPointer());
    m_status = KavPtr<OscillatorStatusHandler>(new OscillatorStatusHandler());
    cardstest::link(m_root.getRawPointer(), m_status.getRawPointer());
    OscillatorStatusHandler::destroyInstance();
  }
  void TearDown() override {
    m_a.reset();
    m_b.reset();
    OscillatorStatusHandler::destroyInstance();
    set_tree_root(KavPtr<QueryBase>());
  }

  void link() { ASSERT_EQ(0u, m_handler->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc()); }
  // Both sets with a control card and a domain card of the given types.
  void plug(bool controlB = true, unsigned int typeB = 1) {
    m_a->plugControl("CA");
    m_a->plugDomain("A", 0x21);
    if (controlB) m_b->plugControl("CB");
    m_b->plugDomain("B", 0x31, typeB);
  }

  testsupport::RecordingLogSink m_log;
  osctest::Journal m_journal;
  KavPtr<Container> m_root;
  std::unique_ptr<osctest::SetRig> m_a, m_b;
  KavPtr<FakeRedundantTable> m_table;
  KavPtr<DynamicOscillatorHandler> m_handler;
  KavPtr<OscillatorStatusHandler> m_status;
};

TEST(OscSelectionByte, SetModeAndInProgressBit) {
  const struct {
    unsigned int set, mode;
    bool inProgress;
    unsigned char byte;
  } cases[] = {
      {0x10, 1, false, 0x11}, {0x10, 2, false, 0x12}, {0x20, 1, false, 0x21}, {0x20, 2, true, 0xA2},
      {0x10, 1, true, 0x91},  {0, 0, true, 0x80},     {0xFF, 0xFF, false, 0x3F},  // other bits masked
      {0x40, 0x10, false, 0x00},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.byte, DynamicOscillatorHandler::convertToOscSelectionByte(c.set, c.mode, c.inProgress))
        << std::hex << c.set << " " << c.mode << " " << c.inProgress;
}

TEST_F(DynamicOscillatorHandlerTest, TransitionsFromEverySettledSelectionToEveryByte) {
  const std::map<unsigned char, std::vector<unsigned char>> allowed = {
      {0x00, {0x11, 0x12, 0x21, 0x22}}, {0x11, {0x12, 0x22}}, {0x21, {0x12, 0x22}}, {0x12, {0x11}}, {0x22, {0x21}}};
  for (unsigned char current : kSettled) {
    const std::vector<unsigned char>& to = allowed.at(current);
    for (unsigned int next = 0; next <= 0xFF; ++next) {
      const bool ok = std::find(to.begin(), to.end(), static_cast<unsigned char>(next)) != to.end();
      EXPECT_EQ(ok ? 0u : 0x7255u,
                DynamicOscillatorHandler::checkForValidSelection(current, static_cast<unsigned char>(next))
                    .getRcWithoutLogFlag())
          << std::hex << "0x" << static_cast<unsigned int>(current) << " -> 0x" << next;
    }
  }
  EXPECT_TRUE(m_log.errors().empty());
  // Any other current byte is an internal error, logged at once.
  const unsigned char impossible[] = {0x01, 0x10, 0x13, 0x20, 0x23, 0x31, 0x80, 0x91, 0xA2, 0xFF};
  for (unsigned char current : impossible) {
    m_log.clear();
    EXPECT_EQ(0x7012u, DynamicOscillatorHandler::checkForValidSelection(current, 0x11).getRcWithoutLogFlag())
        << std::hex << static_cast<unsigned int>(current);
    const std::vector<testsupport::LoggedError> logged = m_log.errorsWithRc(0x7012);
    ASSERT_EQ(1u, logged.size());
    EXPECT_FALSE(logged[0].asynchronous);
    EXPECT_NE(std::string::npos, logged[0].text.find("This state should not be reached!"));
  }
}

TEST_F(DynamicOscillatorHandlerTest, EachSelectionNeedsModesBothSetsCanTake) {
  const struct {
    const char* name;
    bool controlB;
    unsigned int typeB;
    unsigned int rc[4];  // 0x11, 0x12, 0x21, 0x22
  } cases[] = {
      {"both sets alike", true, 1, {0, 0, 0, 0}},
      // B can run modes 0 and 4 only.
      {"set B without control", false, 1, {0x7258, 0, 0x7258, 0x7258}},
      // Redundant selections need the same clock domains on both sets.
      {"other domain type on B", true, 2, {0x7251, 0, 0x7251, 0}},
  };
  const unsigned char selections[] = {0x11, 0x12, 0x21, 0x22};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    plug(c.controlB, c.typeB);
    link();
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(c.rc[i], m_handler->checkForValidMode(selections[i]).getRcWithoutLogFlag())
          << std::hex << static_cast<unsigned int>(selections[i]);
    // Nothing selected and unknown bytes are no selection.
    EXPECT_EQ(0x7258u, m_handler->checkForValidMode(0x00).getRcWithoutLogFlag());
    EXPECT_EQ(0x7258u, m_handler->checkForValidMode(0x13).getRcWithoutLogFlag());
  }
  // A control card that is not active counts as none for a redundant pair.
  TearDown();
  SetUp();
  plug();
  link();
  m_b->control->table->setState(kav::FRU_NOT_ACTIVATED);
  EXPECT_EQ(0x7251u, m_handler->checkForValidMode(0x11).getRcWithoutLogFlag());
}

// Holds the job thread until released, so that jobs queued after it wait.
class GateJob : public TimedJob {
 public:
  GateJob(std::atomic<bool>& open, std::atomic<bool>& started) : m_open(open), m_started(started) {}
  void execute() override {
    m_started = true;
    while (!m_open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

 private:
  std::atomic<bool>& m_open;
  std::atomic<bool>& m_started;
};

bool eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

// Both events seen but the start-up still queued behind another job: the
// handler is not ready, so that a caller's selection cannot come before the
// completion of the interrupted one; once the start-up has run, it is.
TEST_F(DynamicOscillatorHandlerTest, NotReadyWhileTheStartUpWaitsForTheJobThread) {
  plug();
  link();
  m_table->fields[kav::sid::OSC_PREFERRED_SELECTION_FIELD] = 0x92;  // 0x12 preferred, interrupted
  std::atomic<bool> open{false}, started{false};
  ASSERT_NE(0u, TimedExecutor::getInstance()->insertJob(new GateJob(open, started), 0, 0, 0));
  ASSERT_TRUE(eventually([&] { return started.load(); }));
  m_handler->handleComponentReadyEvent(ComponentReadyEvent());
  m_handler->handleConfigCompleteEvent(ConfigCompleteEvent());
  EXPECT_EQ(0x700Bu, m_handler->checkReady().getRcWithoutLogFlag());
  EXPECT_EQ(0x700Bu, m_handler->selectOscillator(kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_SINGLE, false)
                         .getRcWithoutLogFlag());
  EXPECT_EQ(0x00, m_table->value(kav::sid::OSC_CURRENT_SELECTION_FIELD));
  open = true;
  // The interrupted selection is completed, not the caller's; a caller
  // meanwhile waits for the start-up on the selection lock.
  ASSERT_TRUE(eventually([&] { return m_table->value(kav::sid::OSC_PREFERRED_SELECTION_FIELD) == 0x12; }));
  EXPECT_EQ(0x7255u, m_handler->selectOscillator(kavosc::OSC_CARD_SET_B, kavosc::OSC_SELECTION_SINGLE, false)
                         .getRcWithoutLogFlag());
  EXPECT_EQ(0x12, m_table->value(kav::sid::OSC_CURRENT_SELECTION_FIELD));
  EXPECT_EQ(0u, m_handler->checkReady().getRc());
}

TEST_F(DynamicOscillatorHandlerTest, TheDebugFlagIsKeptInTheRedundantTableAndGivenToTheStatusHandler) {
  plug();
  link();
  for (bool debug : {true, false, true}) {
    SCOPED_TRACE(debug);
    ASSERT_EQ(0u, m_handler->setDebugMode(debug).getRc());
    EXPECT_EQ(debug ? 1 : 0, m_table->fields[kav::sid::OSC_DEBUG_MODE_FIELD]);
    bool read = !debug;
    ASSERT_EQ(0u, m_handler->readDebugModeFromRedundantStateTable(read).getRc());
    EXPECT_EQ(debug, read);
    EXPECT_EQ(debug, m_status->isDebugMode());
    kavosc::RedundantOscillatorStatus_t status;
    ASSERT_EQ(0u, m_handler->readRedundantOscStatus(status).getRc());
    EXPECT_EQ(debug, status.debugMode);
  }
  // A restart reads it back: the status handler follows the table.
  m_status->setDebugMode(false);
  ASSERT_EQ(0u, m_handler->handleDebugModeState().getRc());
  EXPECT_TRUE(m_status->isDebugMode());
  // In debug mode no card is disabled.
  m_status->disableCardAsync(0x21);
  EXPECT_FALSE(m_status->isDisableCardAsyncPending(0x21));
  // Without a status handler: written all the same, 0x7254.
  OscillatorStatusHandler::destroyInstance();
  m_root->removeChild(KavPtr<QueryBase>(m_status));
  EXPECT_EQ(0x7254u, m_handler->setDebugMode(false).getRcWithoutLogFlag());
  EXPECT_EQ(0, m_table->fields[kav::sid::OSC_DEBUG_MODE_FIELD]);
}

TEST_F(DynamicOscillatorHandlerTest, RedundantStatusCarriesSelectionsCardsAndControls) {
  kavosc::RedundantOscillatorStatus_t status;
  // Not linked yet: no card sets.
  EXPECT_EQ(0x700Bu, m_handler->readRedundantOscStatus(status).getRcWithoutLogFlag());
  plug();
  link();
  ASSERT_EQ(0u, m_a->cardSet->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
  ASSERT_EQ(0u, m_b->cardSet->performInitialSetup(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  m_table->fields[kav::sid::OSC_CURRENT_SELECTION_FIELD] = 0x11;
  m_table->fields[kav::sid::OSC_PREFERRED_SELECTION_FIELD] = 0x22;
  ASSERT_EQ(0u, m_handler->readRedundantOscStatus(status).getRc());
  EXPECT_EQ(0x10u, status.currentOscCardSet);
  EXPECT_EQ(1u, status.currentSelectionMode);
  EXPECT_EQ(0x20u, status.preferredOscCardSet);
  EXPECT_EQ(2u, status.preferredSelectionMode);
  EXPECT_EQ(0u, status.previousOscCardSet);
  EXPECT_FALSE(status.debugMode);
  std::vector<unsigned int> slots, sets, states;
  for (const auto& card : status.cards) {
    slots.push_back(card.slotId);
    sets.push_back(card.oscCardSet);
    states.push_back(card.cardState);
  }
  EXPECT_EQ((std::vector<unsigned int>{0x20, 0x21, 0x30, 0x31}), slots);
  EXPECT_EQ((std::vector<unsigned int>{0x10, 0x10, 0x20, 0x20}), sets);
  EXPECT_EQ((std::vector<unsigned int>{1, 1, 1, 1}), states);
  EXPECT_EQ(0x20u, status.controlA.controlSlotId);
  EXPECT_EQ(1u, status.controlA.oscSetMode);
  EXPECT_EQ(1u, status.controlA.groups.size());
  EXPECT_EQ(0x30u, status.controlB.controlSlotId);
  EXPECT_EQ(2u, status.controlB.oscSetMode);
  // A selection field that can not be read: both reported as 0, 0x7012.
  m_table->fields.erase(kav::sid::OSC_PREFERRED_SELECTION_FIELD);
  EXPECT_EQ(0x7012u, m_handler->readRedundantOscStatus(status).getRcWithoutLogFlag());
  EXPECT_EQ(0x10u, status.currentOscCardSet);
  EXPECT_EQ(0u, status.preferredOscCardSet);
  EXPECT_EQ(0u, status.preferredSelectionMode);
}

}  // namespace
