// I/O multiplexer, scratchpad and FSI engine discovery of the device access
// layer against the simulated machine.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalFsi.h"
#include "kav/hwaccess/edal/edalIomux.h"
#include "kav/hwaccess/edal/edalScpd.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine name="edal-storage">
  <cfam link="1" cascade="0">
    <gpio number="8"/>
    <gpio number="3" type="24"/>
    <i2c number="5" ports="2"/>
    <scratchpad number="6" size="256"/>
    <iomux number="20" size="8"/>
    <engine number="11" type="5"/>
    <engine number="12" type="13"/>
    <engine number="13" type="4"/>
  </cfam>
  <cfam link="2" cascade="1">
    <gpio number="4"/>
  </cfam>
  <cfam link="5" cascade="0" present="false">
    <gpio number="4"/>
  </cfam>
</machine>)";

const char* const kMux = "/dev/iomux/L01C0E20";
const char* const kScp = "/dev/scp/L01C0E06";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Machine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char dir[] = "/tmp/edal-storage-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    stateDir = dir;
  }
  static void TearDownTestSuite() { std::system(("rm -rf " + stateDir).c_str()); }

  void SetUp() override {
    ASSERT_TRUE(testsupport::freshSimMachine(stateDir, kMachine, "edal-storage"));
    handlesBefore = ravosim::openHandles();
  }
  void TearDown() override {
    ravosim::clearFaults();
    EXPECT_EQ(handlesBefore, ravosim::openHandles());
  }
  static std::string stateDir;
  unsigned handlesBefore = 0;
};

std::string Machine::stateDir;

class EdalIomux : public Machine {
 protected:
  void SetUp() override {
    Machine::SetUp();
    std::string msg;
    ASSERT_EQ(0u, edalIOmuxOpen(EdalInfo(1, 0, 20), h, msg)) << msg;
    EXPECT_STREQ(kMux, h->getDeviceName());
  }
  void TearDown() override {
    std::string msg;
    if (h != nullptr) {
      EXPECT_EQ(0u, edalIOmuxClose(h, msg)) << msg;
    }
    EXPECT_EQ(nullptr, h);
    Machine::TearDown();
  }
  EdalHandle* h = nullptr;
};

TEST_F(EdalIomux, WritableMultiplexerIsWrittenAndReadBack) {
  std::string msg;
  const edal_iomux_info entries[3] = {0x81200000u, 0x00F00000u, 0xF0100000u};
  ASSERT_EQ(0u, edalIOmuxWrite(h, 2, entries, 3, msg)) << msg;
  std::vector<uint32_t> content;
  int state = -1;
  ASSERT_TRUE(ravosim::readIomux(kMux, content, state));
  ASSERT_EQ(8u, content.size());
  EXPECT_EQ(0x81200000u, content[2]);
  EXPECT_EQ(0xF0100000u, content[4]);
  edal_iomux_info back[3] = {};
  unsigned count = 3;
  ASSERT_EQ(0u, edalIOmuxRead(h, 2, back, count, msg)) << msg;
  EXPECT_EQ(0x00F00000u, back[1]);
  unsigned size = 0, st = 9;
  ASSERT_EQ(0u, edalIOmuxQuerySize(h, size, msg)) << msg;
  EXPECT_EQ(8u, size);
  ASSERT_EQ(0u, edalIOmuxQueryState(h, st, msg)) << msg;
  EXPECT_EQ(0u, st);
}

TEST_F(EdalIomux, SizeChecks) {
  std::string msg;
  const edal_iomux_info entries[3] = {0, 0, 0};
  EXPECT_EQ(0xFFFFu, edalIOmuxWrite(h, 6, entries, 3, msg));
  EXPECT_TRUE(contains(msg, "requested size > iomux")) << msg;
  msg.clear();
  EXPECT_EQ(0xFFFFu, edalIOmuxWrite(h, 0xFFFFFFFFu, entries, 2, msg));
  msg.clear();
  EXPECT_EQ(0xFFFFu, edalIOmuxWrite(h, 0, entries, 0, msg));
  EXPECT_TRUE(contains(msg, "len = 0")) << msg;
  edal_iomux_info back[3];
  unsigned count = 3;
  msg.clear();
  EXPECT_EQ(0xFFFFu, edalIOmuxRead(h, 6, back, count, msg));
  EXPECT_TRUE(contains(msg, "requested size > iomux")) << msg;
}

TEST_F(EdalIomux, EntriesWithReservedBitsAreSanityErrors) {
  std::string msg;
  const edal_iomux_info entries[2] = {0x80000001u, 0x80000000u};
  EXPECT_EQ(0xFFFFu, edalIOmuxWrite(h, 0, entries, 2, msg));
  EXPECT_TRUE(contains(msg, "edalIOmuxWrite: sanity error")) << msg;
}

TEST_F(EdalIomux, ValidatedMultiplexerIsComparedNotWritten) {
  std::string msg;
  const edal_iomux_info entries[2] = {0x81200000u, 0x00F00000u};
  ASSERT_EQ(0u, edalIOmuxWrite(h, 0, entries, 2, msg)) << msg;
  ASSERT_EQ(0u, edalIOmuxValidate(h, msg)) << msg;
  // Writing is refused now; matching content needs no write. Bits 19..0 do not count.
  ravosim::failAlways("ravo_iomux_write", kMux, EIO);
  const edal_iomux_info same[2] = {0x81200000u, 0x00F00001u};
  EXPECT_EQ(0u, edalIOmuxWrite(h, 0, same, 2, msg)) << msg;
  const edal_iomux_info other[2] = {0x81200000u, 0x00E00000u};
  EXPECT_EQ(0xFFFFu, edalIOmuxWrite(h, 0, other, 2, msg));
  EXPECT_TRUE(contains(msg, "error io mux cb mismatch")) << msg;
  ravosim::clearFaults();
  ASSERT_EQ(0u, edalIOmuxInvalidate(h, msg)) << msg;
  EXPECT_EQ(0u, edalIOmuxWrite(h, 0, other, 2, msg)) << msg;
}

struct MuxOp {
  const char* name;
  const char* libraryCall;
  const char* text;
  bool validated;
  unsigned (*run)(EdalHandle*, std::string&);
};

const MuxOp kMuxOps[] = {
    {"writeSize", "ravo_iomux_query_size", "error getting size", false,
     [](EdalHandle* h, std::string& m) {
       const edal_iomux_info e[1] = {0};
       return edalIOmuxWrite(h, 0, e, 1, m);
     }},
    {"writeState", "ravo_iomux_query_state", "error getting state", false,
     [](EdalHandle* h, std::string& m) {
       const edal_iomux_info e[1] = {0};
       return edalIOmuxWrite(h, 0, e, 1, m);
     }},
    {"writeSeek", "ravo_iomux_seek", "error ravo_iomux_seek", false,
     [](EdalHandle* h, std::string& m) {
       const edal_iomux_info e[1] = {0};
       return edalIOmuxWrite(h, 0, e, 1, m);
     }},
    {"write", "ravo_iomux_write", "error writing iomux", false,
     [](EdalHandle* h, std::string& m) {
       const edal_iomux_info e[1] = {0};
       return edalIOmuxWrite(h, 0, e, 1, m);
     }},
    {"writeReadBack", "ravo_iomux_read", "error reading iomux", true,
     [](EdalHandle* h, std::string& m) {
       const edal_iomux_info e[1] = {0};
       return edalIOmuxWrite(h, 0, e, 1, m);
     }},
    {"read", "ravo_iomux_read", "error reading iomux", false,
     [](EdalHandle* h, std::string& m) {
       edal_iomux_info e[1];
       unsigned n = 1;
       return edalIOmuxRead(h, 0, e, n, m);
     }},
    {"state", "ravo_iomux_query_state", "error getting state", false,
     [](EdalHandle* h, std::string& m) {
       unsigned s = 0;
       return edalIOmuxQueryState(h, s, m);
     }},
    {"size", "ravo_iomux_query_size", "error getting size", false,
     [](EdalHandle* h, std::string& m) {
       unsigned s = 0;
       return edalIOmuxQuerySize(h, s, m);
     }},
    {"validate", "ravo_iomux_validate", "error validating iomux", false,
     [](EdalHandle* h, std::string& m) { return edalIOmuxValidate(h, m); }},
    {"invalidate", "ravo_iomux_invalidate", "error invalidating iomux", true,
     [](EdalHandle* h, std::string& m) { return edalIOmuxInvalidate(h, m); }},
};

class EdalIomuxFault : public EdalIomux, public ::testing::WithParamInterface<MuxOp> {};

TEST_P(EdalIomuxFault, OnceAndAlways) {
  const MuxOp& op = GetParam();
  std::string msg;
  for (unsigned count : {1u, 0u}) {
    SCOPED_TRACE(count == 1 ? "once" : "always");
    ravosim::clearFaults();
    if (op.validated) {
      ASSERT_EQ(0u, edalIOmuxValidate(h, msg)) << msg;
    } else {
      ASSERT_EQ(0u, edalIOmuxInvalidate(h, msg)) << msg;
    }
    ravosim::failCalls(op.libraryCall, kMux, EIO, count);
    msg = "former";
    EXPECT_EQ(5u, op.run(h, msg));
    EXPECT_TRUE(contains(msg, op.text)) << msg;
    EXPECT_TRUE(contains(msg, std::string(op.libraryCall) + " on " + kMux + " failed")) << msg;
    EXPECT_TRUE(contains(msg, "former")) << msg;
    msg.clear();
    if (count == 1) {
      EXPECT_EQ(0u, op.run(h, msg)) << msg;
    } else {
      EXPECT_EQ(5u, op.run(h, msg));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCall, EdalIomuxFault, ::testing::ValuesIn(kMuxOps),
                         [](const ::testing::TestParamInfo<MuxOp>& i) { return std::string(i.param.name); });

TEST_F(Machine, IomuxOpenAndCloseFailures) {
  std::string msg;
  EdalHandle* h = nullptr;
  ravosim::failCalls("ravo_iomux_open", kMux, EIO, 1);
  EXPECT_EQ(5u, edalIOmuxOpen(EdalInfo(1, 0, 20), h, msg));
  EXPECT_EQ(nullptr, h);
  EXPECT_EQ("error", msg);
  ASSERT_EQ(0u, edalIOmuxOpen(EdalInfo(1, 0, 20), h, msg));
  ravosim::failCalls("ravo_iomux_close", kMux, EIO, 1);
  EXPECT_EQ(5u, edalIOmuxClose(h, msg));
  EXPECT_EQ(nullptr, h);
}

class EdalScpd : public Machine {
 protected:
  void SetUp() override {
    Machine::SetUp();
    std::string msg;
    ASSERT_EQ(0u, edalScratchpadOpen(EdalInfo(1, 0, 6), h, msg)) << msg;
    EXPECT_STREQ(kScp, h->getDeviceName());
  }
  void TearDown() override {
    std::string msg;
    if (h != nullptr) {
      EXPECT_EQ(0u, edalScratchpadClose(h, msg)) << msg;
    }
    Machine::TearDown();
  }
  EdalHandle* h = nullptr;
};

TEST_F(EdalScpd, WriteReadSizeAndColdStart) {
  std::string msg;
  const unsigned char out[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(0u, edalScratchpadWrite(h, 100, out, 5, msg)) << msg;
  unsigned char direct[5] = {};
  ASSERT_TRUE(ravosim::readScratchpad(kScp, 100, direct, 5));
  EXPECT_EQ(0, std::memcmp(out, direct, 5));
  unsigned char in[5] = {};
  unsigned len = 5;
  ASSERT_EQ(0u, edalScratchpadRead(h, 100, in, len, msg)) << msg;
  EXPECT_EQ(5u, len);
  EXPECT_EQ(0, std::memcmp(out, in, 5));
  unsigned size = 0;
  ASSERT_EQ(0u, edalScratchpadGetSize(h, size, msg)) << msg;
  EXPECT_EQ(256u, size);
  bool cold = false;
  ASSERT_EQ(0u, edalScratchpadReadColdstartState(h, cold, msg)) << msg;
  EXPECT_TRUE(cold);
  ASSERT_EQ(0u, edalScratchpadResetColdstartState(h, msg)) << msg;
  ASSERT_EQ(0u, edalScratchpadReadColdstartState(h, cold, msg)) << msg;
  EXPECT_FALSE(cold);
}

TEST_F(EdalScpd, TransfersPastTheEndFail) {
  std::string msg;
  const unsigned char out[8] = {};
  EXPECT_EQ(static_cast<unsigned>(EINVAL), edalScratchpadWrite(h, 250, out, 8, msg));
  EXPECT_TRUE(contains(msg, "error ravo_scp_write")) << msg;
  unsigned char in[8];
  unsigned len = 8;
  EXPECT_EQ(static_cast<unsigned>(EINVAL), edalScratchpadRead(h, 250, in, len, msg));
}

struct ScpOp {
  const char* name;
  const char* libraryCall;
  const char* text;
  unsigned (*run)(EdalHandle*, std::string&);
};

const ScpOp kScpOps[] = {
    {"writeSeek", "ravo_scp_seek", "error reading scpd",
     [](EdalHandle* h, std::string& m) {
       const unsigned char d[2] = {1, 2};
       return edalScratchpadWrite(h, 4, d, 2, m);
     }},
    {"write", "ravo_scp_write", "error ravo_scp_write",
     [](EdalHandle* h, std::string& m) {
       const unsigned char d[2] = {1, 2};
       return edalScratchpadWrite(h, 4, d, 2, m);
     }},
    {"readSeek", "ravo_scp_seek", "error reading scpd",
     [](EdalHandle* h, std::string& m) {
       unsigned char d[2];
       unsigned n = 2;
       return edalScratchpadRead(h, 4, d, n, m);
     }},
    {"read", "ravo_scp_read", "error ravo_scp_read",
     [](EdalHandle* h, std::string& m) {
       unsigned char d[2];
       unsigned n = 2;
       return edalScratchpadRead(h, 4, d, n, m);
     }},
    {"coldstartRead", "ravo_scp_read_coldstart_state", "error resetting coldstart state",
     [](EdalHandle* h, std::string& m) {
       bool s = false;
       return edalScratchpadReadColdstartState(h, s, m);
     }},
    {"coldstartReset", "ravo_scp_reset_coldstart_state", "error resetting coldstart state",
     [](EdalHandle* h, std::string& m) { return edalScratchpadResetColdstartState(h, m); }},
    {"size", "ravo_scp_get_size", "error getting scratchpad size",
     [](EdalHandle* h, std::string& m) {
       unsigned s = 0;
       return edalScratchpadGetSize(h, s, m);
     }},
};

class EdalScpdFault : public EdalScpd, public ::testing::WithParamInterface<ScpOp> {};

TEST_P(EdalScpdFault, OnceAndAlways) {
  const ScpOp& op = GetParam();
  for (unsigned count : {1u, 0u}) {
    SCOPED_TRACE(count == 1 ? "once" : "always");
    ravosim::clearFaults();
    ravosim::failCalls(op.libraryCall, kScp, EIO, count);
    std::string msg = "former";
    EXPECT_EQ(5u, op.run(h, msg));
    EXPECT_TRUE(contains(msg, op.text)) << msg;
    EXPECT_TRUE(contains(msg, std::string(op.libraryCall) + " on " + kScp + " failed")) << msg;
    EXPECT_TRUE(contains(msg, "former")) << msg;
    msg.clear();
    EXPECT_EQ(count == 1 ? 0u : 5u, op.run(h, msg)) << msg;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCall, EdalScpdFault, ::testing::ValuesIn(kScpOps),
                         [](const ::testing::TestParamInfo<ScpOp>& i) { return std::string(i.param.name); });

TEST_F(Machine, ScratchpadOpenAndCloseFailures) {
  std::string msg;
  EdalHandle* h = nullptr;
  EXPECT_EQ(static_cast<unsigned>(ENODEV), edalScratchpadOpen(EdalInfo(5, 0, 6), h, msg));
  EXPECT_EQ(nullptr, h);
  EXPECT_EQ("error", msg);
  ASSERT_EQ(0u, edalScratchpadOpen(EdalInfo(1, 0, 6), h, msg));
  ravosim::failCalls("ravo_scp_close", kScp, EIO, 1);
  msg.clear();
  EXPECT_EQ(5u, edalScratchpadClose(h, msg));
  EXPECT_EQ("error", msg);
  EXPECT_EQ(nullptr, h);
}

TEST_F(Machine, FsiEnginesOfOneCfamWithThePseudoEngines) {
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg = "stale";
  ASSERT_EQ(0u, edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg)) << msg;
  EXPECT_EQ("", msg);
  std::vector<std::pair<unsigned, unsigned>> got;
  for (const edalFsi::engineInfo_t& e : engines) got.emplace_back(e.engineNumber, e.engineType);
  const std::vector<std::pair<unsigned, unsigned>> expected = {
      {3, 24}, {5, 7}, {6, 6}, {8, 8}, {11, 5}, {12, 13}, {13, 4}, {20, 15}, {30, 0xDB}, {31, 0xDC}};
  EXPECT_EQ(expected, got);
}

TEST_F(Machine, FsiOtherCascadeAndAbsentCfam) {
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg;
  ASSERT_EQ(0u, edalFsiGetAvailableEngines(EdalInfo(2, 1, EdalInfo::ABSENT), engines, msg)) << msg;
  ASSERT_EQ(1u, engines.size());
  EXPECT_EQ(4u, engines.begin()->engineNumber);
  engines.clear();
  EXPECT_EQ(static_cast<unsigned>(ENODEV), edalFsiGetAvailableEngines(EdalInfo(5, 0, EdalInfo::ABSENT), engines, msg));
  EXPECT_EQ("ravo_fsi_config(devHandle,type,cfg,pFruList) failed", msg);
  EXPECT_TRUE(engines.empty());
}

TEST_F(Machine, FsiFailures) {
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg;
  ravosim::failCalls("ravo_fsi_open", "", EIO, 1);
  EXPECT_EQ(5u, edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg));
  EXPECT_EQ("ravo_fsi_open('/dev/fsi', O_RDONLY) failed", msg);
  ravosim::failCalls("ravo_fsi_close", "", EBUSY, 1);
  EXPECT_EQ(static_cast<unsigned>(EBUSY), edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg));
  EXPECT_EQ("ravo_fsi_close(handle) failed", msg);
  // The first failure stays.
  ravosim::failCalls("ravo_fsi_config", "", EIO, 1);
  ravosim::failCalls("ravo_fsi_close", "", EBUSY, 1);
  EXPECT_EQ(5u, edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg));
  EXPECT_EQ("ravo_fsi_config(devHandle,type,cfg,pFruList) failed", msg);
}

}  // namespace
