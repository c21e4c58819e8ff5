// FSI engine discovery with engine lists the simulated machine refuses to
// describe: a real engine at the number of a pseudo engine. This program puts
// its own ravo_fsi_config in front of the simulator's, so every engine list
// it reads is the reply the test sets up.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kav/hwaccess/edal/edalFsi.h"
#include "ravo_fsi.h"
#include "tests/hwaccess/FsiTestSupport.h"
#include "trace_ravo.h"

namespace {

struct ListedEngine {
  unsigned number;
  unsigned type;
};

std::vector<ListedEngine> g_reply;

}  // namespace

// The engine list of link 1, cascade 0, in the order of g_reply.
extern "C" int ravo_fsi_config(ravo_struct*, int, int, void* buf, size_t) {
  auto* p = static_cast<unsigned char*>(buf);
  const auto count = static_cast<uint16_t>(g_reply.size());
  std::memcpy(p + 4, &count, sizeof count);
  for (size_t i = 0; i < g_reply.size(); ++i) {
    ravo_fsi_engine_entry_t entry{};
    entry.engine = RAVO_FSI_ENGINE_WORD(1, 0, g_reply[i].number, g_reply[i].type);
    std::memcpy(p + RAVO_FSI_ENGINE_LIST_HEADER + RAVO_FSI_ENGINE_ENTRY_SIZE * i, &entry, sizeof entry);
  }
  return 0;
}

namespace {

struct Case {
  const char* name;
  std::vector<ListedEngine> reply;
  // (number, type) of what was found, and the trace of the engine dropped.
  std::vector<std::pair<unsigned, unsigned>> found;
  const char* dropped;
};

const Case kCases[] = {
    {"RealEngineAfterThePseudoEngine",
     {{11, 5}, {31, 8}},
     {{11, 5}, {31, 0xDC}},
     "edalFsiGetAvailableEngines: engine 31 type 8 dropped, the number is taken by type 220"},
    {"RealEngineBeforeThePseudoEngine",
     {{31, 8}, {11, 5}},
     {{11, 5}, {31, 8}},
     "edalFsiGetAvailableEngines: engine 31 type 220 dropped, the number is taken by type 8"},
    {"RealEngineAtTheOtherPseudoEngine",
     {{12, 13}, {30, 24}},
     {{12, 13}, {30, 0xDB}},
     "edalFsiGetAvailableEngines: engine 30 type 24 dropped, the number is taken by type 219"},
    {"RealEngineListedTwice",
     {{9, 8}, {9, 7}},
     {{9, 8}},
     "edalFsiGetAvailableEngines: engine 9 type 7 dropped, the number is taken by type 8"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class EdalFsiReply : public ::testing::TestWithParam<Case> {};

TEST_P(EdalFsiReply, AnEngineThatFindsItsNumberTakenIsTraced) {
  const Case& c = GetParam();
  g_reply = c.reply;
  trace_ravo_clear_all();
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg;
  ASSERT_EQ(0u, edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg)) << msg;
  std::vector<std::pair<unsigned, unsigned>> found;
  for (const edalFsi::engineInfo_t& e : engines) found.emplace_back(e.engineNumber, e.engineType);
  EXPECT_EQ(c.found, found);
  EXPECT_EQ(1u, fsitest::traceCount("KAVE", c.dropped));
  EXPECT_EQ(1u, fsitest::traceCount("KAVE", "dropped"));
}

INSTANTIATE_TEST_SUITE_P(Collisions, EdalFsiReply, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(EdalFsiReplyPlain, PseudoEnginesAtFreeNumbersTraceNothing) {
  g_reply = {{11, 5}, {12, 13}, {3, 8}};
  trace_ravo_clear_all();
  std::set<edalFsi::engineInfo_t> engines;
  std::string msg;
  ASSERT_EQ(0u, edalFsiGetAvailableEngines(EdalInfo(1, 0, EdalInfo::ABSENT), engines, msg)) << msg;
  EXPECT_EQ(5u, engines.size());
  EXPECT_EQ(0u, fsitest::traceCount("KAVE", "dropped"));
}

}  // namespace
