#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kav/tree/start/BsIdentity.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/errors/Logger.h"
#include "kav/tree/objects/QueryBase.h"
#include "tests/support/RecordingLogSink.h"

namespace {

// These cases run without configuration files: no SRC table can be created.
const bool g_noConfiguration = [] {
  unsetenv("FACADEXMLPATH");
  unsetenv("FACADEFILELIST");
  return true;
}();

// A tree node that answers a fixed slot id.
class SlotNode : public QueryBase {
 public:
  explicit SlotNode(unsigned int slotId) : m_slotId(slotId) {}
  unsigned int getSlotId() const override { return m_slotId; }

 private:
  unsigned int m_slotId;
};

void link(SlotNode& child, SlotNode& parent) { child.setParent(KavPtr<QueryBase>(&parent)); }

TEST(ErrorDataLog, PihListTakesTheValuesSlotIdsNewestFirst) {
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0x7014);
  e.addSlotId(0x21);
  e.addSlotId(0x22);
  e.addSlotId(0x23);
  SlotNode root(0x10000), card(0x30);
  link(card, root);
  kavstl::vector<unsigned int> pihs{99, 98};
  e.getPihList(KavPtr<const QueryBase>(&card), pihs);
  EXPECT_EQ(pihs, (kavstl::vector<unsigned int>{bs_get_own_pih(), 0x23, 0x22, 0x21}));
}

TEST(ErrorDataLog, PihListWalksTheTreeUpToTheRoot) {
  SlotNode root(0x77), slot(5), card(5), base(0x10001), origin(7);
  link(slot, root);
  link(card, slot);
  link(base, card);
  link(origin, base);
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0x7014);
  kavstl::vector<unsigned int> pihs;
  e.getPihList(KavPtr<const QueryBase>(&origin), pihs);
  // 0x10001 is not below the base domain id, the repeated 5 is dropped and
  // the root itself is not asked.
  EXPECT_EQ(pihs, (kavstl::vector<unsigned int>{bs_get_own_pih(), 7, 5}));
}

TEST(ErrorDataLog, PihListComparesOnlyAfterTheFirstEntry) {
  SlotNode root(0), parent(10), origin(10);  // children die first
  link(parent, root);
  link(origin, parent);
  ErrorData e;
  kavstl::vector<unsigned int> pihs;
  e.getPihList(KavPtr<const QueryBase>(&origin), pihs);
  EXPECT_EQ(pihs, (kavstl::vector<unsigned int>{10, 10}));

  e.getPihList(KavPtr<const QueryBase>(), pihs);
  EXPECT_EQ(pihs, (kavstl::vector<unsigned int>{10}));
}

TEST(ErrorDataLog, PreparedValueWithSrcGetsFedcAndTheSlotIdWords) {
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0x7014);
  e.setSrc(0x28C07014);
  e.setSlotIdOrder(2, 1, 0);
  e.prepareLogData(kavstl::vector<unsigned int>{10, 0x41}, "", "");
  EXPECT_EQ(e.getFedcOptions(), 1u);
  EXPECT_EQ(e.getSrc(), 0x28C07014u);
  const ErrorDataSrcExtension ext = e.getSrcExtension();
  EXPECT_EQ(ext.getSlotId2(), 10u);
  EXPECT_EQ(ext.getSlotId1(), 0x41u);
  EXPECT_EQ(ext.getSlotId3(), 0u);
}

TEST(ErrorDataLog, ValueWithoutSrcTableIsLoggedAsInternalError) {
  // No configuration files are present, so no SRC table can be created.
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0);
  e = 0x7000u;
  e.logSynchron("NO_SUCH_KEY", 5u, KavPtr<const QueryBase>(), KavPtr<const QueryBase>());
  EXPECT_EQ(e.getSrc(), 0x28C0F0D1u);
  EXPECT_EQ(e.getLogMode(), 2u);
  EXPECT_EQ(e.getEventName(), "KavFirmware");
  EXPECT_EQ(std::string(e.getErrorBuffer()).find("Microcode Error! rc=0x00007000"), 0u);
  EXPECT_NE(std::string(e.getErrorBuffer()).find("No SrcLookupTable found"), std::string::npos);
  EXPECT_EQ(e.getSrcExtension().getTrailer(), 'q');
}

struct RelogCase {
  const char* name;
  unsigned int rc;
  BaseErrorData::LogMode_t mode;
  BaseErrorData::LogState_t state;
  unsigned int fedc;
};

class ErrorDataRelog : public ::testing::TestWithParam<RelogCase> {};

TEST_P(ErrorDataRelog, LoggedValueIsMarkedRelogged) {
  const RelogCase& c = GetParam();
  ErrorData e;
  e = c.rc;
  e.setSrc(0x28C07000);
  e.setLogMode(c.mode);
  SlotNode root(0), card(3);
  link(card, root);
  e.logSynchron("", "", KavPtr<const QueryBase>(&card), KavPtr<const QueryBase>(&card));
  EXPECT_EQ(e.getLogState(), c.state);
  EXPECT_EQ(e.getFedcOptions(), c.fedc);
  EXPECT_EQ(e.getSrcExtension().getSlotId1(), 0u);  // no slot-id order
}

INSTANTIATE_TEST_SUITE_P(
    States, ErrorDataRelog,
    ::testing::Values(RelogCase{"logged", 0x80007000, 0, BaseErrorData::LOG_STATE_RELOGGED, 0},
                      RelogCase{"logged_mode_2", 0x80007000, 2, BaseErrorData::LOG_STATE_LOGGED, 1},
                      RelogCase{"unlogged", 0x7000, 0, BaseErrorData::LOG_STATE_UNLOGGED, 1}),
    [](const ::testing::TestParamInfo<RelogCase>& info) { return std::string(info.param.name); });

TEST(ErrorDataLog, InstalledSinkSeesTheLoggedValueAndEventsUntilRemoved) {
  ErrorData e;
  e = 0x7014u;
  e.setSrc(0x28C07014);
  e << "pin=3";
  SlotNode root(0), card(0x30);
  link(card, root);
  {
    testsupport::RecordingLogSink sink;
    e.logSynchron("", "", KavPtr<const QueryBase>(&card), KavPtr<const QueryBase>(&card));
    Logger().logEvent("FruActi16", "Fru got activated");
    // Without configuration files the missing SRC table is logged as well.
    const auto errors = sink.errorsWithRc(0x7014);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rc, 0x7014u);
    EXPECT_EQ(errors[0].src, 0x28C07014u);
    EXPECT_NE(errors[0].text.find("pin=3"), std::string::npos);
    EXPECT_EQ(errors[0].logState, BaseErrorData::LOG_STATE_UNLOGGED);
    EXPECT_FALSE(errors[0].asynchronous);
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "FruActi16");
    EXPECT_EQ(events[0].text, "Fru got activated");
  }
  // Removed with the recorder: logging goes on without a sink.
  e.logSynchron("", "", KavPtr<const QueryBase>(&card), KavPtr<const QueryBase>(&card));
  testsupport::RecordingLogSink later;
  EXPECT_TRUE(later.errors().empty());
}

}  // namespace
