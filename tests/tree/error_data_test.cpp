#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/start/BsIdentity.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/errors/ErrorDataSrcExtension.h"

namespace {

std::string text(const BaseErrorData& e) { return std::string(e.getErrorBuffer(), e.getErrorBufferLen()); }

// ---------------------------------------------------------------------------
// Assignment rules

struct AssignCase {
  const char* name;
  BaseErrorData::OverwriteMode_t mode;
  std::vector<unsigned int> assigned;
  unsigned int expected;
};

class ErrorAssignment : public ::testing::TestWithParam<AssignCase> {};

TEST_P(ErrorAssignment, KeepsTheCodeTheModeAllows) {
  const AssignCase& c = GetParam();
  BaseErrorData e(c.mode);
  for (unsigned int rc : c.assigned) e = rc;
  EXPECT_EQ(e.getRcWithoutLogFlag(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ErrorAssignment,
    ::testing::Values(AssignCase{"first_error_wins", BaseErrorData::NO_OVERWRITE, {0x7002, 0x7000}, 0x7002},
                      AssignCase{"zero_does_not_clear", BaseErrorData::NO_OVERWRITE, {0x7002, 0x7000, 0}, 0x7002},
                      AssignCase{"zero_then_error", BaseErrorData::NO_OVERWRITE, {0, 0, 0x7005}, 0x7005},
                      AssignCase{"logged_first_stays", BaseErrorData::NO_OVERWRITE, {0x80007008, 0x7000}, 0x7008},
                      AssignCase{"overwrite_last_wins", BaseErrorData::OVERWRITE, {0x7002, 0x7000}, 0x7000},
                      AssignCase{"overwrite_zero_clears", BaseErrorData::OVERWRITE, {0x7002, 0x7000, 0}, 0}),
    [](const ::testing::TestParamInfo<AssignCase>& info) { return std::string(info.param.name); });

TEST(ErrorData, LogFlagIsKeptOutOfTheCode) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e = 0x80007000u;
  EXPECT_EQ(e.getRc(), 0x80007000u);
  EXPECT_EQ(e.getRcWithoutLogFlag(), 0x7000u);
  EXPECT_TRUE(e == 0x7000u);
  EXPECT_TRUE(0x7000u == e);
  EXPECT_FALSE(e != 0x7000u);
  EXPECT_EQ(e.getLogState(), BaseErrorData::LOG_STATE_LOGGED);
  EXPECT_EQ(e.getRcAsString(), "0x00007000");

  BaseErrorData u(BaseErrorData::NO_OVERWRITE);
  u = 0x7000u;
  EXPECT_EQ(u.getRc(), 0x7000u);
  EXPECT_EQ(u.getLogState(), BaseErrorData::LOG_STATE_UNLOGGED);
  EXPECT_TRUE(u == e);  // compares without the log flag
  u.setLogState(BaseErrorData::LOG_STATE_LOGGED);
  EXPECT_EQ(u.getRc(), 0x80007000u);
  u.setLogState(BaseErrorData::LOG_STATE_RELOGGED);
  EXPECT_EQ(u.getRc(), 0x7000u);
}

TEST(ErrorData, AssignedCodeIsWrittenIntoTheText) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e << "first";
  e = 0x7002u;
  EXPECT_EQ(text(e), "first |  - KAV-rc=0x00007002 -  | ");
  e = 0x7000u;  // refused: no text either
  EXPECT_EQ(text(e), "first |  - KAV-rc=0x00007002 -  | ");
}

TEST(ErrorData, ValueWithoutCodeHasNoContainer) {
  const unsigned int created = BaseErrorData::getContainersCreated();
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0);
  BaseErrorData b(BaseErrorData::OVERWRITE);
  b = 0u;
  EXPECT_EQ(BaseErrorData::getContainersCreated(), created);
  EXPECT_STREQ(e.getErrorBuffer(), "NO ERROR DATA available");
  EXPECT_EQ(e.getErrorBufferLen(), 0u);
  EXPECT_EQ(e.getRc(), 0u);
  EXPECT_EQ(e.getSrc(), 0u);
  EXPECT_FALSE(e.isSrcDefined());
  EXPECT_EQ(e.getLogState(), BaseErrorData::LOG_STATE_NONE);
  EXPECT_EQ(e.getLogMode(), 0u);
  EXPECT_EQ(e.getFedcOptions(), 0u);
  EXPECT_EQ(e.getLogClassType(), 0);
  EXPECT_EQ(e.getLogType(), 0);
  EXPECT_EQ(e.getLogUser(), 0);
  EXPECT_EQ(e.getLogStatus(), 0);
  EXPECT_TRUE(e.getEventName().empty());
  EXPECT_TRUE(e.getSlotIds().empty());
  EXPECT_TRUE(e.getSlotIdOrder().empty());
  EXPECT_TRUE(e.getFileNameList().empty());
  EXPECT_EQ(e.getSrcExtension(), ErrorDataSrcExtension());
  unsigned int p = 1, s = 1;
  e.getKeys(p, s);
  EXPECT_EQ(p, 0u);
  EXPECT_EQ(s, 0u);
  EXPECT_TRUE(e == 0u);
}

TEST(ErrorData, ConstructorWithCodeStoresItWithoutText) {
  ErrorData e(BaseErrorData::NO_OVERWRITE, 0x700E);
  EXPECT_EQ(e.getRc(), 0x700Eu);
  EXPECT_EQ(e.getErrorBufferLen(), 0u);
  EXPECT_EQ(e.getLogState(), BaseErrorData::LOG_STATE_NONE);
}

TEST(ErrorData, OverwriteBypassesTheRule) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e.overwrite(0);
  EXPECT_EQ(e.getErrorBufferLen(), 0u);
  e = 0x7002u;
  const unsigned int len = e.getErrorBufferLen();
  e.overwrite(0x7000);
  EXPECT_EQ(e.getRc(), 0x7000u);
  EXPECT_EQ(e.getErrorBufferLen(), len);
  EXPECT_EQ(e.getLogState(), BaseErrorData::LOG_STATE_UNLOGGED);
  e.overwrite(0);
  EXPECT_EQ(e.getRc(), 0u);
}

TEST(ErrorData, AssignmentOfValuesFollowsTheRuleAndKeepsTheMode) {
  BaseErrorData source(BaseErrorData::OVERWRITE);
  source = 0x7009u;
  source << "source text";

  BaseErrorData empty(BaseErrorData::NO_OVERWRITE);
  empty = source;
  EXPECT_EQ(empty.getRc(), 0x7009u);
  EXPECT_EQ(text(empty), text(source));
  EXPECT_EQ(empty.getOverwriteMode(), BaseErrorData::NO_OVERWRITE);

  BaseErrorData holding(BaseErrorData::NO_OVERWRITE);
  holding = 0x7002u;
  holding = source;
  EXPECT_EQ(holding.getRc(), 0x7002u);

  BaseErrorData zero(BaseErrorData::NO_OVERWRITE);
  empty = zero;  // a success does not clear a kept error
  EXPECT_EQ(empty.getRc(), 0x7009u);

  BaseErrorData over(BaseErrorData::OVERWRITE);
  over = 0x7002u;
  over = zero;
  EXPECT_EQ(over.getRc(), 0u);
  EXPECT_EQ(over.getOverwriteMode(), BaseErrorData::OVERWRITE);

  ErrorData derived(source);
  EXPECT_EQ(derived.getRc(), 0x7009u);
  ErrorData other(BaseErrorData::NO_OVERWRITE, 0);
  other = derived;
  EXPECT_EQ(other.getRc(), 0x7009u);
  other = 0x7000u;
  EXPECT_EQ(other.getRc(), 0x7009u);
}

TEST(ErrorData, CopiesShareUntilOneWrites) {
  BaseErrorData original(BaseErrorData::NO_OVERWRITE);
  original = 0x7012u;
  original << "original";
  original.setSrc(0x1111);
  original.addSlotId(5);
  original.setSlotIdOrder(1, 2, 3);
  original.setEventName("Orig");
  original.setTrailer('p');

  const unsigned int created = BaseErrorData::getContainersCreated();
  const unsigned int alive = BaseErrorData::getContainersAlive();
  BaseErrorData copy(original);
  EXPECT_EQ(BaseErrorData::getContainersCreated(), created);
  EXPECT_EQ(copy.getErrorBuffer(), original.getErrorBuffer());  // the same buffer

  copy << "more";
  copy.setSrc(0x2222);
  copy.addSlotId(6);
  copy.setEventName("Copy");
  copy.overwriteSrcExtension(7, 8, 9);
  EXPECT_EQ(BaseErrorData::getContainersCreated(), created + 1);
  EXPECT_EQ(BaseErrorData::getContainersAlive(), alive + 1);

  EXPECT_EQ(text(original), " - KAV-rc=0x00007012 -  | original | ");
  EXPECT_EQ(original.getSrc(), 0x1111u);
  EXPECT_EQ(original.getSlotIds(), (kavstl::vector<unsigned int>{5}));
  EXPECT_EQ(original.getEventName(), "Orig");
  EXPECT_EQ(original.getSrcExtension().getSlotId1(), 0u);

  EXPECT_EQ(copy.getRc(), 0x7012u);
  EXPECT_EQ(text(copy), " - KAV-rc=0x00007012 -  | original | more | ");
  EXPECT_EQ(copy.getSrc(), 0x2222u);
  EXPECT_EQ(copy.getSlotIds(), (kavstl::vector<unsigned int>{5, 6}));
  EXPECT_EQ(copy.getSlotIdOrder(), (kavstl::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(copy.getSrcExtension().getTrailer(), 'p');
  EXPECT_EQ(copy.getSrcExtension().getSlotId3(), 9u);
  EXPECT_EQ(copy.getErrorBufferCapacity(), original.getErrorBufferCapacity());
}

TEST(ErrorData, ContainerIsFreedWithTheLastCopy) {
  const unsigned int alive = BaseErrorData::getContainersAlive();
  {
    BaseErrorData a(BaseErrorData::NO_OVERWRITE, 0x7000);
    {
      BaseErrorData b(a);
      ErrorData c(b);
      EXPECT_EQ(BaseErrorData::getContainersAlive(), alive + 1);
    }
    EXPECT_EQ(BaseErrorData::getContainersAlive(), alive + 1);
  }
  EXPECT_EQ(BaseErrorData::getContainersAlive(), alive);
}

TEST(ErrorData, CopyReleasedInAnotherThread) {
  // The job of an asynchronous log holds a copy that dies on its own thread.
  for (int round = 0; round < 50; ++round) {
    BaseErrorData original(BaseErrorData::NO_OVERWRITE);
    original = 0x7000u;
    BaseErrorData* job = new BaseErrorData(original);
    std::thread t([job] { delete job; });
    original << "caller goes on";
    t.join();
    EXPECT_EQ(text(original).find("caller goes on"), text(original).size() - std::strlen("caller goes on | "));
  }
}

// ---------------------------------------------------------------------------
// Text buffer

TEST(ErrorData, BufferGrowsToTwiceTheLengthRoundedUpToHundreds) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  const std::string chunk(150, 'a');
  e.addDataToErrorBuffer(chunk.data(), 150);
  EXPECT_EQ(e.getErrorBufferLen(), 150u);
  EXPECT_EQ(e.getErrorBufferCapacity(), 400u);
  e.addDataToErrorBuffer(chunk.data(), 150);  // 300 still fits
  EXPECT_EQ(e.getErrorBufferCapacity(), 400u);
  e.addDataToErrorBuffer(std::string(101, 'b'));  // 401
  EXPECT_EQ(e.getErrorBufferCapacity(), 900u);
  EXPECT_EQ(text(e), std::string(300, 'a') + std::string(101, 'b'));
  EXPECT_EQ(std::strlen(e.getErrorBuffer()), 401u);  // printable
}

TEST(ErrorData, StreamOperatorsAppendTheSeparator) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  std::ostringstream os;
  os << "v=" << 5;
  e << "a" << kavstl::string("b") << os;
  e.addDataToErrorBuffer(os);
  e.addDataToErrorBuffer("xyz", 2);
  EXPECT_EQ(text(e), "a | b | v=5 | v=5xy");
  EXPECT_EQ(e.getRc(), 0u);  // text alone is no error
}

// ---------------------------------------------------------------------------
// Log data

TEST(ErrorData, LogDataSettersAndGetters) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e.setSrc(0x28C07000);
  e.setLogMode(2);
  e.setFedcOptions(1);
  e.setLogClassType(3);
  e.setLogType(4);
  e.setLogUser(0x1234);
  e.setLogStatus(0x8001);
  e.setEventName(kavstl::string("Ev"));
  EXPECT_EQ(e.getSrc(), 0x28C07000u);
  EXPECT_TRUE(e.isSrcDefined());
  EXPECT_EQ(e.getLogMode(), 2u);
  EXPECT_EQ(e.getFedcOptions(), 1u);
  EXPECT_EQ(e.getLogClassType(), 3);
  EXPECT_EQ(e.getLogType(), 4);
  EXPECT_EQ(e.getLogUser(), 0x1234);
  EXPECT_EQ(e.getLogStatus(), 0x8001);
  EXPECT_EQ(e.getEventName(), "Ev");
  e.addFileNameToList("dump.xml");
  EXPECT_TRUE(e.getFileNameList().empty());
  EXPECT_EQ(e.getRc(), 0u);
}

TEST(ErrorData, SlotIdsSkipAnImmediateRepeat) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  for (unsigned int id : {3u, 3u, 4u, 3u, 3u}) e.addSlotId(id);
  EXPECT_EQ(e.getSlotIds(), (kavstl::vector<unsigned int>{3, 4, 3}));
  e.clearSlotIds();
  EXPECT_TRUE(e.getSlotIds().empty());
  e.setSlotIdOrder(kavstl::vector<unsigned char>{2, 1});
  e.setSlotIdOrder(3, 0, 0);
  EXPECT_EQ(e.getSlotIdOrder(), (kavstl::vector<unsigned char>{2, 1, 3, 0, 0}));
}

TEST(ErrorData, KeysAreReplaced) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e.setKeys(200, 201);
  e.setKeys(300, 301);
  unsigned int p = 0, s = 0;
  e.getKeys(p, s);
  EXPECT_EQ(p, 300u);
  EXPECT_EQ(s, 301u);
}

TEST(ErrorData, SrcExtensionWordsOfTheValueAreSetOnce) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  EXPECT_EQ(e.setTrailer('p'), 0u);
  EXPECT_EQ(e.setTrailer('q'), 0x7130u);
  e.setSrcExtension(0, 2, 0);
  e.setSrcExtension(1, 5, 3);
  ErrorDataSrcExtension ext = e.getSrcExtension();
  EXPECT_EQ(ext.getTrailer(), 'p');
  EXPECT_EQ(ext.getSlotId1(), 1u);
  EXPECT_EQ(ext.getSlotId2(), 2u);
  EXPECT_EQ(ext.getSlotId3(), 3u);
  e.overwriteSrcExtension(7, 8, 9);
  ext = e.getSrcExtension();
  EXPECT_EQ(ext.getSlotId1(), 7u);
  EXPECT_EQ(ext.getSlotId2(), 8u);
  EXPECT_EQ(ext.getSlotId3(), 9u);
  EXPECT_FALSE(e.isSrcDefined());
}

TEST(ErrorData, MicrocodeLogRebuildsTheTextAndSetsTheInternalSrc) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e = 0x7111u;
  e.setSlotIdOrder(1, 2, 3);
  e.setSrc(0x1234);
  const std::string before = text(e);
  e.microcodeLog("kav/StringToId", 42, "lookup failed", 2, false);
  const std::string header = "Microcode Error! rc=0x00007111 occured in File='kav/StringToId' at Line=42 \n";
  EXPECT_EQ(text(e), header + "lookup failed" + before);
  EXPECT_EQ(e.getSrc(), 0x28C0F0D1u);
  EXPECT_TRUE(e.getSlotIdOrder().empty());
  EXPECT_EQ(e.getEventName(), "KavFirmware");
  EXPECT_EQ(e.getLogMode(), 2u);
  EXPECT_EQ(e.getFedcOptions(), 1u);
  EXPECT_EQ(e.getLogClassType(), 9);
  EXPECT_EQ(e.getLogType(), 9);
  EXPECT_EQ(e.getLogUser(), 17);
  EXPECT_EQ(e.getLogStatus(), 0);
  const ErrorDataSrcExtension ext = e.getSrcExtension();
  EXPECT_EQ(ext.getTrailer(), 'q');
  EXPECT_EQ(ext.getSlotId1(), bs_get_own_pih());
  EXPECT_EQ(ext.getMicrocode(), 0x7111u);
  EXPECT_EQ(ext.getExt2(), 0x7111u);
  EXPECT_EQ(e.getRc(), 0x7111u);
}

TEST(ErrorData, MicrocodeLogGrowsTheBufferForALongHeader) {
  BaseErrorData e(BaseErrorData::NO_OVERWRITE);
  e.addDataToErrorBuffer(std::string(10, 'x'));  // capacity 100
  const std::string file(300, 'f');
  e.microcodeLog(file.c_str(), 1, "t", 0, false);
  const unsigned int len = e.getErrorBufferLen();
  EXPECT_GT(len, 300u);
  EXPECT_EQ(e.getErrorBufferCapacity(), ((len * 2) / 100 + 1) * 100);
  EXPECT_EQ(text(e).substr(len - 11), "t" + std::string(10, 'x'));
  EXPECT_EQ(e.getSrcExtension().getMicrocode(), 0u);
  EXPECT_TRUE(e.isSrcDefined());
}

TEST(ErrorData, IdentityFunctionsAreFixed) {
  EXPECT_EQ(bs_get_local_cageid(), 0u);
  EXPECT_EQ(bs_get_local_nodeid(), 0u);
  EXPECT_EQ(bs_get_own_pih(), 10u);
  EXPECT_EQ(bs_get_local_cage_id(), 1u);
  EXPECT_EQ(bs_get_local_node_id(), 1u);
  EXPECT_EQ(bs_get_local_side(), 0u);
}

using ErrorDataDeathTest = ::testing::Test;

TEST(ErrorDataDeathTest, InvalidOverwriteModeEndsTheProcess) {
  EXPECT_DEATH(
      {
        BaseErrorData e(static_cast<BaseErrorData::OverwriteMode_t>(5));
        e = 0x7000u;
      },
      "percAbend: reason=0x0000F0D1");
}

}  // namespace
