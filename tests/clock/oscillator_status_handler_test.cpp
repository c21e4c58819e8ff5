// OscillatorStatusHandler: the report built from a round of status changes
// (text, secondary key, the slot it names), one log entry per round 2000 ms
// after its first change, the lookup in the tree, the adapter's debug
// collection held back while a report is pending, and the asynchronous
// disabling of a card with its pending mark and wait.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kav/clock/osc/OscAdapterServices.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"

namespace {

typedef OscillatorStatusHandler::StatusChangeDesc_t Change;
typedef std::chrono::steady_clock Clock;

const unsigned int kReport = OscillatorStatusHandler::kStatusReport;
// The SRCs of the rows OscStatusH/Error and OscStatusH/Info.
const unsigned int kErrorSrc = 0x28C07201;
const unsigned int kInfoSrc = 0x28C07211;

struct ReportCase {
  const char* name;
  std::vector<Change> changes;
  std::string text;
  std::string secondaryKey;
  unsigned int slotId;
};

TEST(OscillatorStatusReport, OneTextAndKeyPerRound) {
  const ReportCase cases[] = {
      {"error of one slot", {{0x10, "lost", 2}, {0x10, "again", 2}},
       "SlotId=0x00000010   lostSlotId=0x00000010   again", "Error", 0x10},
      {"errors of two slots", {{0x10, "a", 2}, {0x11, "b", 2}},
       "SlotId=0x00000010   aSlotId=0x00000011   bErrors in more than one slot!!", "ErrorAmbiguous", 0},
      {"error without slot", {{0, "x", 2}}, "SlotId=0x00000000   xNo slot ids provided for errors!!", "ErrorNoSlot", 0},
      {"warning of one slot", {{0xAB, "w", 1}}, "SlotId=0x000000AB   w", "Info", 0xAB},
      {"warnings of two slots", {{0x10, "", 1}, {0x11, "", 1}},
       "SlotId=0x00000010   SlotId=0x00000011   Warnings in more than one slot!!", "InfoAmbiguous", 0},
      {"warning without slot", {{0, "", 1}}, "SlotId=0x00000000   No slot ids provided for warnings!!", "InfoNoSlot", 0},
      // An error outweighs the warnings of other slots.
      {"error and warnings", {{0x11, "w", 1}, {0x10, "e", 2}, {0x12, "w", 1}},
       "SlotId=0x00000011   wSlotId=0x00000010   eSlotId=0x00000012   w", "Error", 0x10},
      // Reports alone make no entry.
      {"reports only", {{0x10, "r", 0}, {0x11, "", 0}}, "SlotId=0x00000010   rSlotId=0x00000011   ", "", 0},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    kavstl::list<Change> changes;
    for (const Change& change : c.changes) changes.push_back(change);
    kavstl::string text, key;
    unsigned int slot = 0xFFFFFFFF;
    OscillatorStatusHandler::buildReport(changes, text, key, slot);
    EXPECT_EQ(c.text, text);
    EXPECT_EQ(c.secondaryKey, key);
    EXPECT_EQ(c.slotId, slot);
  }
}

// What the adapter's debug collection was asked.
std::vector<int> g_collected;
std::mutex g_collectedLock;
void recordCollect(int mode) {
  std::lock_guard<std::mutex> guard(g_collectedLock);
  g_collected.push_back(mode);
}
size_t collectedCount() {
  std::lock_guard<std::mutex> guard(g_collectedLock);
  return g_collected.size();
}

class OscillatorStatusHandlerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }

  void SetUp() override {
    m_root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_handler = KavPtr<OscillatorStatusHandler>(new OscillatorStatusHandler());
    cardstest::link(m_root.getRawPointer(), m_handler.getRawPointer());
    set_tree_root(KavPtr<QueryBase>(m_root));
    OscillatorStatusHandler::destroyInstance();
    m_previous = OscAdapterServices::registerOperations({nullptr, nullptr, nullptr, &recordCollect});
    std::lock_guard<std::mutex> guard(g_collectedLock);
    g_collected.clear();
  }
  void TearDown() override {
    m_handler->blockOnStatusChangePending();
    OscAdapterServices::registerOperations(m_previous);
    OscillatorStatusHandler::destroyInstance();
    set_tree_root(KavPtr<QueryBase>());
  }

  std::vector<testsupport::LoggedError> reports(size_t n) {
    EXPECT_TRUE(m_log.waitForErrors([n](const std::vector<testsupport::LoggedError>& errors) {
      size_t found = 0;
      for (const auto& e : errors) found += e.rc == kReport;
      return found >= n;
    }));
    return m_log.errorsWithRc(kReport);
  }

  testsupport::RecordingLogSink m_log;
  KavPtr<Container> m_root;
  KavPtr<OscillatorStatusHandler> m_handler;
  OscAdapterServices::Operations_t m_previous;
};

TEST_F(OscillatorStatusHandlerTest, FoundInTheTreeUntilDestroyed) {
  EXPECT_EQ(m_handler.getRawPointer(), OscillatorStatusHandler::getInstance().getRawPointer());
  // Kept: a tree without it still gives the one found.
  set_tree_root(KavPtr<QueryBase>(new Container(KavPtr<QueryBase>())));
  EXPECT_EQ(m_handler.getRawPointer(), OscillatorStatusHandler::getInstance().getRawPointer());
  OscillatorStatusHandler::destroyInstance();
  EXPECT_TRUE(OscillatorStatusHandler::getInstance() == nullptr);
  set_tree_root(KavPtr<QueryBase>(m_root));
}

TEST_F(OscillatorStatusHandlerTest, ChangesOfOneRoundGiveOneEntryAfterTheDelay) {
  const Clock::time_point first = Clock::now();
  m_handler->notifyStatusChange({0x10, "first", OscillatorStatusHandler::ERROR});
  EXPECT_TRUE(m_handler->isStatusChangePending());
  m_handler->notifyStatusChange({0x10, "second", OscillatorStatusHandler::WARNING});
  m_handler->blockOnStatusChangePending();
  std::vector<testsupport::LoggedError> logged = reports(1);
  ASSERT_EQ(1u, logged.size());
  // The job thread counts whole milliseconds.
  EXPECT_GE(logged[0].time - first, std::chrono::milliseconds(OscillatorStatusHandler::kReportDelayMs - 2));
  EXPECT_EQ(kErrorSrc, logged[0].src);
  EXPECT_EQ("SlotId=0x00000010   firstSlotId=0x00000010   second", logged[0].text);
  EXPECT_FALSE(logged[0].asynchronous);
  ASSERT_FALSE(logged[0].slotIds.empty());
  EXPECT_EQ(0x10u, logged[0].slotIds.back());
  EXPECT_FALSE(m_handler->isStatusChangePending());

  // A change after the report starts a round of its own.
  m_handler->notifyStatusChange({0x11, "third", OscillatorStatusHandler::WARNING});
  m_handler->blockOnStatusChangePending();
  logged = reports(2);
  ASSERT_EQ(2u, logged.size());
  EXPECT_EQ(kInfoSrc, logged[1].src);
  EXPECT_EQ("SlotId=0x00000011   third", logged[1].text);
}

TEST_F(OscillatorStatusHandlerTest, DebugDataIsNotCollectedWhileAReportIsPending) {
  m_handler->collectDebugInfo();
  EXPECT_EQ(1u, collectedCount());
  m_handler->notifyStatusChange({0x10, "", OscillatorStatusHandler::REPORT_ONLY});
  m_handler->collectDebugInfo();
  EXPECT_EQ(1u, collectedCount());
  m_handler->blockOnStatusChangePending();
  m_handler->setDebugMode(true);
  m_handler->collectDebugInfo();
  EXPECT_EQ(1u, collectedCount());
  m_handler->setDebugMode(false);
  m_handler->collectDebugInfo();
  EXPECT_EQ(2u, collectedCount());
  // A round of reports only made no entry.
  EXPECT_TRUE(m_log.errorsWithRc(kReport).empty());
}

TEST_F(OscillatorStatusHandlerTest, NothingIsDisabledInDebugMode) {
  m_handler->setDebugMode(true);
  m_handler->disableCardAsync(0x10);
  EXPECT_FALSE(m_handler->isDisableCardAsyncPending(0x10));
  EXPECT_EQ(0u, m_handler->disableCard(0x10).getRc());
  EXPECT_EQ(0u, m_handler->disableCardSet(OscillatorStatusHandler::kOscCardSetA).getRc());
  // A slot that never had a disable pending is not waited for.
  m_handler->blockOnDisableCardAsyncPending(0x10);
}

}  // namespace
