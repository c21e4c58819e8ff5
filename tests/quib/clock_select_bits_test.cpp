// The clock-select bits of the processor chips and the clock debug data, on
// the simulated machine: what the chips' CFAM registers saw (the transaction
// log), what was traced and what the platform's error log holds.
#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fw/ErrorLog.h"
#include "fw/ErrorLogRepository.h"
#include "quib/ClockDebugInfo.h"
#include "quib/ClockSelectBits.h"
#include "quib/Quib.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"
#include "tests/support/TempDir.h"
#include "tests/support/TraceRecorder.h"

namespace {

// Three functional processor chips, one that is not (never touched), and
// one of another node.
const char* const kMachine = R"(<machine>
  <firmware>
    <node position="0">
      <processor position="0"/>
      <processor position="1"/>
      <processor position="2" functional="no"/>
    </node>
    <node position="1">
      <processor position="0"/>
    </node>
  </firmware>
</machine>)";

constexpr uint32_t kChips[] = {0x00050000, 0x00050001, 0x00050100};
const char* const kNames[] = {"proc0", "proc1", "proc3"};
constexpr uint32_t kIdle = 0x00050002;

struct Access {
  bool write;
  std::string chip;
  uint32_t value;
  int result;
  bool operator==(const Access& o) const {
    return write == o.write && chip == o.chip && value == o.value && result == o.result;
  }
};

std::ostream& operator<<(std::ostream& os, const Access& a) {
  return os << (a.write ? "W " : "R ") << a.chip << " 0x" << std::hex << a.value << std::dec << " rc " << a.result;
}

Access R(const std::string& chip, uint32_t value, int result = 0) { return Access{false, chip, value, result}; }
Access W(const std::string& chip, uint32_t value, int result = 0) { return Access{true, chip, value, result}; }

// The accesses of the clock-select register since the last clear.
std::vector<Access> accesses() {
  std::vector<Access> out;
  for (const ravosim::Transaction& t : ravosim::readTransactionLog()) {
    if (t.kind != ravosim::Transaction::CfamRead && t.kind != ravosim::Transaction::CfamWrite) continue;
    EXPECT_EQ(t.offset, 0x2812u);
    out.push_back(Access{t.kind == ravosim::Transaction::CfamWrite, t.device, t.value, t.result});
  }
  return out;
}

class ClockSelectBitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::freshSimMachine(m_state.path(), kMachine, "chips.xml"));
    QUIB::ClockSelectBits::instance().forget();
    QUIB::quib_config_been_run = 0;
    m_openLogs = fw::ErrorLog::openLogs();
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    // Every log the platform returned was deleted; none was committed.
    EXPECT_EQ(fw::ErrorLog::openLogs(), m_openLogs);
    QUIB::quib_config_been_run = 0;
  }
  void setAll(uint32_t value) {
    for (uint32_t id : kChips) ASSERT_TRUE(ravosim::pokeCfamRegister(id, 0x2812, value));
    ASSERT_TRUE(ravosim::pokeCfamRegister(kIdle, 0x2812, value));
  }
  uint32_t reg(uint32_t id) {
    uint32_t v = 0;
    EXPECT_TRUE(ravosim::peekCfamRegister(id, 0x2812, v));
    return v;
  }
  size_t committed() { return fw::ErrorLogRepository::machine().entries().size(); }

  testsupport::TempDir m_state{"quib-clock-bits"};
  unsigned m_openLogs = 0;
};

TEST_F(ClockSelectBitsTest, ClearRemembersAndSetRestores) {
  setAll(0xFFFFFFFF);
  QUIB::clearClockBit();
  std::vector<Access> expected;
  for (const char* n : kNames) {
    expected.push_back(R(n, 0xFFFFFFFF));
    expected.push_back(W(n, 0xF0FCFFFF));
  }
  EXPECT_EQ(accesses(), expected);
  for (uint32_t id : kChips) {
    uint32_t bits = 0;
    ASSERT_TRUE(QUIB::ClockSelectBits::instance().remembered(id, bits));
    EXPECT_EQ(bits, 0x0F030000u);
  }
  uint32_t none = 0;
  EXPECT_FALSE(QUIB::ClockSelectBits::instance().remembered(kIdle, none));
  EXPECT_EQ(QUIB::ClockSelectBits::instance().rememberedCount(), 3u);
  EXPECT_EQ(reg(kIdle), 0xFFFFFFFFu);

  ravosim::clearTransactionLog();
  QUIB::setClockBit();
  expected.clear();
  for (const char* n : kNames) {
    expected.push_back(R(n, 0xF0FCFFFF));
    expected.push_back(W(n, 0xFFFFFFFF));
  }
  EXPECT_EQ(accesses(), expected);
  EXPECT_EQ(QUIB::ClockSelectBits::instance().rememberedCount(), 0u);
  EXPECT_EQ(committed(), 0u);
}

TEST_F(ClockSelectBitsTest, OnlyTheSelectBitsChange) {
  struct Case {
    uint32_t before;
    uint32_t cleared;
    uint32_t remembered;
    uint32_t changedMeanwhile;  // what the chip holds when the bits are put back
    uint32_t restored;
  };
  const Case cases[] = {
      {0xFFFFFFFF, 0xF0FCFFFF, 0x0F030000, 0xF0FCFFFF, 0xFFFFFFFF},
      {0x12345678, 0x10345678, 0x02000000, 0x10345678, 0x12345678},
      {0x0A020000, 0x00000000, 0x0A020000, 0x80000001, 0x8A020001},
      {0x00000000, 0x00000000, 0x00000000, 0x0F030000, 0x00000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.before);
    setAll(c.before);
    QUIB::clearClockBit();
    uint32_t bits = 0;
    for (uint32_t id : kChips) {
      EXPECT_EQ(reg(id), c.cleared);
      ASSERT_TRUE(QUIB::ClockSelectBits::instance().remembered(id, bits));
      EXPECT_EQ(bits, c.remembered);
    }
    setAll(c.changedMeanwhile);
    QUIB::setClockBit();
    for (uint32_t id : kChips) EXPECT_EQ(reg(id), c.restored);
  }
}

TEST_F(ClockSelectBitsTest, SetWithoutRememberedBitsClearsThem) {
  setAll(0xFFFFFFFF);
  testsupport::TraceRecorder traces({"setClockBit: nothing remembered"});
  QUIB::setClockBit();
  for (uint32_t id : kChips) EXPECT_EQ(reg(id), 0xF0FCFFFFu);
  const std::vector<testsupport::TracedRecord> records = traces.records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].buffer, "QBIN");
  EXPECT_EQ(records[0].text, "setClockBit: nothing remembered value=0xFFFFFFFF chip=0x00050000");
}

TEST_F(ClockSelectBitsTest, ToggleWritesBit2SetThenClear) {
  struct Case {
    uint32_t before, first, second;
  };
  const Case cases[] = {
      {0x00000000, 0x20000000, 0x00000000},
      {0xFFFFFFFF, 0xFFFFFFFF, 0xDFFFFFFF},
      {0x0F030000, 0x2F030000, 0x0F030000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.before);
    setAll(c.before);
    ravosim::clearTransactionLog();
    QUIB::toggleClockBit();
    std::vector<Access> expected;
    for (const char* n : kNames) {
      expected.push_back(R(n, c.before));
      expected.push_back(W(n, c.first));
      expected.push_back(W(n, c.second));
    }
    EXPECT_EQ(accesses(), expected);
  }
}

TEST_F(ClockSelectBitsTest, FailedAccessIsTracedAndTheWalkGoesOn) {
  struct Case {
    const char* what;
    const char* op;
    std::function<void()> call;
    std::vector<Access> proc1;  // what chip proc1 saw
    const char* trace;
  };
  const Case cases[] = {
      {"clear, read fails", "cfamRead", [] { QUIB::clearClockBit(); }, {R("proc1", 0, EIO)},
       "clearClockBit: read of CFAM 0x2812 failed value=0x00000000 chip=0x00050001"},
      {"clear, write fails", "cfamWrite", [] { QUIB::clearClockBit(); },
       {R("proc1", 0xFFFFFFFF), W("proc1", 0xF0FCFFFF, EIO)},
       "clearClockBit: write of CFAM 0x2812 failed value=0xF0FCFFFF chip=0x00050001"},
      {"set, read fails", "cfamRead", [] { QUIB::setClockBit(); }, {R("proc1", 0, EIO)},
       "setClockBit: read of CFAM 0x2812 failed value=0x00000000 chip=0x00050001"},
      {"toggle, first write fails", "cfamWrite", [] { QUIB::toggleClockBit(); },
       {R("proc1", 0xFFFFFFFF), W("proc1", 0xFFFFFFFF, EIO)},
       "toggleClockBit: write of CFAM 0x2812 failed value=0xFFFFFFFF chip=0x00050001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setAll(0xFFFFFFFF);
    QUIB::ClockSelectBits::instance().forget();
    ravosim::clearTransactionLog();
    ravosim::failCalls(c.op, "proc1", EIO, 1);
    testsupport::TraceRecorder traces({"clearClockBit: ", "setClockBit: ", "toggleClockBit: "});
    c.call();
    std::vector<Access> proc1;
    unsigned others = 0;
    for (const Access& a : accesses()) {
      if (a.chip == "proc1")
        proc1.push_back(a);
      else if (a.write)
        ++others;
    }
    EXPECT_EQ(proc1, c.proc1);
    // The chips before and after it were written all the same.
    EXPECT_GE(others, 2u);
    bool traced = false;
    for (const testsupport::TracedRecord& r : traces.records())
      traced = traced || (r.buffer == "QBER" && r.text == c.trace);
    EXPECT_TRUE(traced) << c.trace;
    // The platform's log was deleted (TearDown), not committed.
    EXPECT_EQ(committed(), 0u);
    EXPECT_EQ(fw::ErrorLog::openLogs(), m_openLogs);
  }
}

TEST_F(ClockSelectBitsTest, SecondClearKeepsTheRememberedBits) {
  setAll(0xFFFFFFFF);
  QUIB::clearClockBit();
  QUIB::clearClockBit();
  uint32_t bits = 0;
  ASSERT_TRUE(QUIB::ClockSelectBits::instance().remembered(kChips[0], bits));
  EXPECT_EQ(bits, 0x0F030000u);
  QUIB::setClockBit();
  for (uint32_t id : kChips) EXPECT_EQ(reg(id), 0xFFFFFFFFu);
}

TEST_F(ClockSelectBitsTest, FailedRestoreKeepsTheBitsForTheNextSet) {
  setAll(0xFFFFFFFF);
  QUIB::clearClockBit();
  ravosim::failCalls("cfamWrite", "proc0", EIO, 1);
  QUIB::setClockBit();
  EXPECT_EQ(reg(kChips[0]), 0xF0FCFFFFu);
  EXPECT_EQ(reg(kChips[1]), 0xFFFFFFFFu);
  uint32_t bits = 0;
  ASSERT_TRUE(QUIB::ClockSelectBits::instance().remembered(kChips[0], bits));
  EXPECT_EQ(bits, 0x0F030000u);
  EXPECT_EQ(QUIB::ClockSelectBits::instance().rememberedCount(), 1u);
  QUIB::setClockBit();
  EXPECT_EQ(reg(kChips[0]), 0xFFFFFFFFu);
  EXPECT_EQ(QUIB::ClockSelectBits::instance().rememberedCount(), 0u);
}

TEST_F(ClockSelectBitsTest, ConcurrentCallersKeepEveryChipConsistent) {
  // Pairs of clear and set on one thread, pulses on another, debug
  // collection on a third: under the chips' locks every read-modify-write
  // is whole, so the registers end as they began.
  setAll(0x0F030000);
  QUIB::quib_config_been_run = 1;
  constexpr unsigned kRounds = 20;
  std::thread pairs([] {
    for (unsigned i = 0; i < kRounds; ++i) {
      QUIB::clearClockBit();
      QUIB::setClockBit();
    }
  });
  std::thread pulses([] {
    for (unsigned i = 0; i < kRounds; ++i) QUIB::toggleClockBit();
  });
  std::thread debug([] {
    for (unsigned i = 0; i < 3; ++i) QUIB::quib_collectDebugInfo(static_cast<int>(i));
  });
  pairs.join();
  pulses.join();
  debug.join();
  for (uint32_t id : kChips) EXPECT_EQ(reg(id), 0x0F030000u);
  EXPECT_EQ(QUIB::ClockSelectBits::instance().rememberedCount(), 0u);
  EXPECT_EQ(committed(), 3u);
}

// --- clock debug data -------------------------------------------------------

class ClockDebugInfoTest : public ClockSelectBitsTest {};

TEST_F(ClockDebugInfoTest, NothingBeforeTheConfigurationIsComplete) {
  testsupport::TraceRecorder traces({"quib_collectDebugInfo"});
  for (int mode : {0, 1, 2}) QUIB::quib_collectDebugInfo(mode);
  EXPECT_EQ(committed(), 0u);
  EXPECT_EQ(fw::ErrorLog::openLogs(), m_openLogs);
  ASSERT_EQ(traces.records().size(), 3u);
  EXPECT_EQ(traces.records()[1].text,
            "quib_collectDebugInfo mode=1: clock configuration not complete, nothing collected");
}

TEST_F(ClockDebugInfoTest, CommitsOneSoftwareLogPerCall) {
  QUIB::quib_config_been_run = 1;
  struct Case {
    int mode;
    uint16_t reason;
  };
  const Case cases[] = {{1, 0xCCDA}, {0, 0xCCCC}, {2, 0xCCCC}, {-1, 0xCCCC}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const size_t before = committed();
    QUIB::quib_collectDebugInfo(c.mode);
    const std::vector<fw::ErrorLog> entries = fw::ErrorLogRepository::machine().entries();
    ASSERT_EQ(entries.size(), before + 1);
    const fw::ErrorLog& e = entries.back();
    EXPECT_EQ(e.kind(), fw::ErrorLog::Software);
    EXPECT_EQ(e.module(), 7);
    EXPECT_EQ(e.reason(), c.reason);
    EXPECT_EQ(e.component(), 0xCC00);
    EXPECT_EQ(e.severity(), 0);
    EXPECT_EQ(e.action(), 0xA000);
    std::vector<std::string> buffers;
    for (const fw::TraceSection& t : e.traces()) {
      buffers.push_back(t.buffer);
      EXPECT_TRUE(t.found) << t.buffer;
    }
    EXPECT_EQ(buffers, (std::vector<std::string>{"QBER", "KAVE", "QBIN", "KAVD", "KAVT", "KAVI", "KAVL"}));
    ASSERT_EQ(e.userData().size(), 1u);
    EXPECT_EQ(e.userData()[0].type, QUIB::kClockCalloutUserData);
    EXPECT_TRUE(e.userData()[0].bytes.empty());
  }
  // In the machine's state folder, for the next run.
  fw::ErrorLogRepository restarted(m_state.path() + "/firmware");
  EXPECT_EQ(restarted.entries().size(), 4u);
}

TEST_F(ClockDebugInfoTest, WaitsForTheExclusiveAccessMutex) {
  QUIB::quib_config_been_run = 1;
  std::unique_lock<std::mutex> clockTest(QUIB::g_exclusiveAccessMutex);
  auto collect = std::async(std::launch::async, [] { QUIB::quib_collectDebugInfo(1); });
  EXPECT_EQ(collect.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(committed(), 0u);
  clockTest.unlock();
  collect.get();
  EXPECT_EQ(committed(), 1u);
}

}  // namespace
