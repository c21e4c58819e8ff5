// The simulated service processor at a time scale: the option and the
// variable shorten its run alike, and a scale that would lengthen or stop
// the delays is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "fw/ErrorLog.h"
#include "fw/ErrorLogRepository.h"
#include "tests/support/TempDir.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

class QuibsimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("QUIB_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "QUIB_BUILD_DIR is not set";
    m_tool = std::string(build) + "/tools/quibsim/quibsim";
    ASSERT_EQ(access(m_tool.c_str(), X_OK), 0) << m_tool << " is not built";
  }

  // Runs the tool with the environment prefix and arguments; stdout and stderr together.
  ToolRun run(const std::string& environment, const std::string& args) const {
    ToolRun r;
    const std::string cmd = "env -u QUIB_TIME_SCALE " + environment + " '" + m_tool + "' --no-progress " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
  }

  static bool contains(const ToolRun& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

  std::string m_tool;
};

TEST_F(QuibsimTest, OptionAndVariableSetTheScaleOfTheWholeRun) {
  struct Case {
    const char* environment;
    const char* args;
    const char* scale;
  };
  const Case cases[] = {
      {"", "--time-scale 0.1", "time scale: 0.1\n"},
      {"QUIB_TIME_SCALE=0.05", "", "time scale: 0.05\n"},
      // The option wins over the variable.
      {"QUIB_TIME_SCALE=0.5", "--time-scale .02", "time scale: 0.02\n"},
  };
  for (const Case& c : cases) {
    const ToolRun r = run(c.environment, c.args);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_TRUE(contains(r, c.scale)) << r.out;
    EXPECT_TRUE(contains(r, "kav::finish_initial_config rc=0x00000000")) << r.out;
    EXPECT_TRUE(contains(r, "configuration state: complete=yes minimum complete=yes")) << r.out;
    EXPECT_TRUE(contains(r, "functional card slots: 0x10 0x11")) << r.out;
  }
}

TEST_F(QuibsimTest, RefusesAScaleOutsideZeroToOne) {
  for (const char* value : {"0", "2", "-1", "fast"}) {
    const ToolRun r = run("", std::string("--time-scale ") + value);
    EXPECT_EQ(2, r.status) << value << ": " << r.out;
    EXPECT_TRUE(contains(r, "the time scale must be a number greater than 0 and at most 1")) << r.out;
  }
}

TEST_F(QuibsimTest, ABadVariableIsReportedAndTheRunIsAtRealTime) {
  // --card0/--card1 absent: nothing to build but the base domain.
  const ToolRun r = run("QUIB_TIME_SCALE=10", "--card0 absent --card1 absent");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(contains(r, "quibsim: QUIB_TIME_SCALE=10 is no number greater than 0 and at most 1: real time")) << r.out;
  EXPECT_TRUE(contains(r, "time scale: 1 (real time)\n")) << r.out;
}

// The state tables after the start, on a machine fresh from the factory:
// the redundant selection table with both cards' administration bytes, or
// with card 1 absent the one replica that holds data its partner lacks.
TEST_F(QuibsimTest, ShowsTheStateTablesAndTheReplicas) {
  struct Case {
    const char* args;
    const char* replica0;
    const char* replica1;
  };
  const Case cases[] = {
      {"", "replica 0 OscCardRam slot=0x10: administration byte 2\n",
       "replica 1 OscCardRam slot=0x11: administration byte 2\n"},
      {"--card1 absent", "replica 0 OscCardRam slot=0x10: administration byte 6\n",
       "replica 1 OscCardRam slot=0x11: not functional rc=0x00007263\n"},
  };
  for (const Case& c : cases) {
    char dir[] = "/tmp/quibsim-tables-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const ToolRun r = run(std::string("RAVO_SIM_STATE_DIR=") + dir, std::string("--time-scale 0.05 ") + c.args);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_TRUE(contains(r, "state tables (")) << r.out;
    EXPECT_TRUE(contains(r, "  RedundantStateTable OscSelectionStateTable slot=0x10000\n    available=yes\n")) << r.out;
    EXPECT_TRUE(contains(r, c.replica0)) << r.out;
    EXPECT_TRUE(contains(r, c.replica1)) << r.out;
    for (const char* field : {"361 CurrentOscSelection (1 bytes): 00\n", "362 PreferredOscSelection (1 bytes): 00\n",
                              "363 OscDebugMode (1 bytes): 00\n"})
      EXPECT_TRUE(contains(r, field)) << r.out;
    EXPECT_EQ(0, std::system((std::string("rm -rf '") + dir + "'").c_str()));
  }
}

}  // namespace

// Each card's activation state is shown, and the run's log entries are
// printed; cards activated for a run are deactivated before it ends.
TEST_F(QuibsimTest, ShowsActivationStatesAndTheRunsLogEntries) {
  testsupport::TempDir state("quibsim-state");
  ASSERT_FALSE(state.path().empty());
  const std::string environment = "RAVO_SIM_STATE_DIR='" + state.path() + "'";
  ToolRun r = run(environment, "--time-scale 0.1");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(contains(r, "card activation states (2):\n  slot=0x10: 0 deactivated\n  slot=0x11: 0 deactivated\n"))
      << r.out;
  EXPECT_TRUE(contains(r, "log entries (")) << r.out;
  EXPECT_FALSE(contains(r, "event FruActi")) << r.out;

  r = run(environment, "--time-scale 0.1 --activate");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(contains(r, "activating slot 0x10: rc=0x00000000")) << r.out;
  EXPECT_TRUE(contains(r, "card activation states (2):\n  slot=0x10: 2 activated\n  slot=0x11: 2 activated\n"))
      << r.out;
  EXPECT_TRUE(contains(r, "  event FruActi10: Fru got activated in SlotId 0x10 in Cage 0 Node 0\n")) << r.out;
  EXPECT_TRUE(contains(r, "  event FruActi11: Fru got activated in SlotId 0x11 in Cage 0 Node 0\n")) << r.out;

  // Each lookup-table control, read back: the clock enables are off (five
  // per card with the oscillator control's use controls and fence).
  EXPECT_TRUE(contains(r, "lookup-table controls (10):\n  PllClkEnable slot=0x10 table 0: control 2 (LOOKUP_CONTROL_2)\n"))
      << r.out;
  // The cards' chips were powered: the PLLs ran, the fanout outputs on.
  EXPECT_TRUE(contains(r, "  slot=0x10: pattern 0x0A80, spreading off 0, error flags none; machine: 1000000 kHz, locked\n"))
      << r.out;
  EXPECT_TRUE(contains(r, "fanout buffers (2):\n  slot=0x10: outputs enabled 0x1FF\n")) << r.out;
  // Each card's clock domain: deselected, at the speed its PLL runs.
  EXPECT_TRUE(contains(r, "clock domains (2):\n  OscCardClockDomain slot=0x10 type 1: mode 0, PLL 0x0A80: cycle time "
                          "1000 ps (1000000 kHz), spreading off 0, steering no, defective no\n  OscCardClockDomain "
                          "slot=0x11 type 1: mode 0, PLL 0x0A80: cycle time 1000 ps (1000000 kHz)"))
      << r.out;
  // Before stopping the cards are deactivated again (the machine of the
  // next run starts at power-on), and the next start finds them so, in
  // their own state bytes.
  EXPECT_TRUE(contains(r, "deactivating slot 0x10: rc=0x00000000")) << r.out;
  EXPECT_TRUE(contains(r, "  event FruDeac10: Fru got deactivated in SlotId 0x10 in Cage 0 Node 0\n")) << r.out;
  r = run(environment, "--time-scale 0.1");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(contains(r, "  slot=0x10: 0 deactivated\n")) << r.out;
  EXPECT_TRUE(contains(r, "  slot=0x10: not readable rc=0x00007236\n")) << r.out;  // the PLL: no supply
  EXPECT_TRUE(contains(r, "  OscCardClockDomain slot=0x10 type 1: mode 0, PLL not readable rc=0x00007236, spreading off "
                          "0, steering no, defective no\n"))
      << r.out;
}

// The firmware error log of the machine is listed at the end of a run:
// what earlier runs committed, oldest first, and a line of the file that is
// no entry is named and skipped.
TEST_F(QuibsimTest, ListsTheCommittedFirmwareErrorLogEntries) {
  testsupport::TempDir state("quibsim-errorlog");
  ASSERT_FALSE(state.path().empty());
  {
    fw::ErrorLogRepository repository(state.path() + "/firmware");
    for (uint16_t reason : {0xCC52, 0xCC01}) {
      fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Hardware, 0x03, reason);
      ASSERT_NE(nullptr, log);
      log->addProcedureCallout(0x1234, 1);
      ASSERT_EQ(0, repository.commit(log, 0xCC00, 0x40, 0));
    }
  }
  {
    std::ofstream file(state.path() + "/firmware/errorlog.jsonl", std::ios::app);
    file << "{ no entry\n";
  }
  const ToolRun r = run("RAVO_SIM_STATE_DIR='" + state.path() + "'", "--time-scale 0.1");
  EXPECT_EQ(0, r.status) << r.out;
  const size_t head = r.out.find("firmware error log (2 committed entries) in " + state.path());
  ASSERT_NE(std::string::npos, head) << r.out;
  const size_t first =
      r.out.find("component 0xCC00 reason 0xCC52 module 0x03 severity 0x40, 0 hardware and 1 procedure callouts", head);
  const size_t second = r.out.find("component 0xCC00 reason 0xCC01 module 0x03", head);
  EXPECT_NE(std::string::npos, first) << r.out;
  EXPECT_NE(std::string::npos, second) << r.out;
  EXPECT_LT(first, second) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  line 3 skipped: ", head)) << r.out;
}

// The failover scenario on a machine fresh from the factory: set A selected
// redundantly (0x11), its oscillator 0 fails, and the timeline shows, in
// order, the interrupt of card 0's control unit, the switch-over seen, set A
// disabled on the job thread, the selection byte marked and then 0x22 with
// set A in mode 4 and set B in mode 3, and one status report (OscStatusH /
// Error of slot 0x10) the report delay after the failure (2000 ms at time
// scale 0.1; the job thread counts whole milliseconds, so up to 1 ms less).
// A second run walks the selection back from 0x22 to 0x11 first.
TEST_F(QuibsimTest, FailoverScenarioShowsTheTimelineInOrder) {
  testsupport::TempDir state("quibsim-failover");
  ASSERT_FALSE(state.path().empty());
  const std::string environment = "RAVO_SIM_STATE_DIR='" + state.path() + "'";
  const char* const timeline[] = {
      "selection byte (field 361): 0x00\n",
      "selecting set A redundant: 0x00 -> 0x11 rc=0x00000000\n",
      "propagation on for set A group 0: rc=0x00000000\n",
      "before the failure: selection 0x11, set A mode 1, set B mode 2\n",
      "failover timeline (ms after the failure):\n",
      "      +0.000  oscillator osc0.a failed\n",
      "  interrupt on card 0: pin 19 unit input 0 (oscillator 0 switch) low\n",
      "  switch-over detected by the oscillator control unit of slot 0x10:",
      "  disable-card job: set A (0x10) disabled, selection 0x11\n",
      "  selection byte (field 361) written 0xA2 (in progress)\n",
      "  clock-select register 0x2812 written: proc0=",
      "  card 0: pin 14 use oscillator 0 low\n",
      "  clock domain of slot 0x10: mode 4\n",
      "  set A (0x10) programmed: mode 4\n",
      "  clock domain of slot 0x11: mode 3\n",
      "  set B (0x20) programmed: mode 3\n",
      "  selection byte (field 361) written 0x22\n",
      "  error logged: OscStatusH/Error rc=0x00007014 src=0x28C07201 slot 0x10\n",
      "failover outcome: selection 0x22, set A mode 4, set B mode 3\n",
      "status reports: 1; OscStatusH/Error slot 0x10 ",
      "firmware error log: 0 entries committed during the failover\n",
      "oscillator osc0.a running again\n",
  };
  ToolRun r = run(environment, "--time-scale 0.1 --scenario failover");
  EXPECT_EQ(0, r.status) << r.out;
  size_t at = 0;
  size_t report = std::string::npos;
  for (const char* line : timeline) {
    const size_t found = r.out.find(line, at);
    ASSERT_NE(std::string::npos, found) << "missing or out of order: " << line << "\n" << r.out;
    at = found + std::strlen(line);
    // Only one report in the whole timeline.
    if (std::strstr(line, "error logged: OscStatusH/Error") != nullptr) {
      report = found;
      EXPECT_EQ(std::string::npos, r.out.find("error logged: OscStatusH", at)) << r.out;
    }
  }
  // The status handler's trace of the job it inserted may come after the job
  // has begun: present, in no particular place.
  EXPECT_TRUE(contains(r, "  disabling of slot 0x10 handed to the job thread")) << r.out;
  // The report's time: the number that begins its line.
  const size_t lineStart = r.out.rfind('\n', report) + 1;
  const double reportMs = std::strtod(r.out.c_str() + lineStart, nullptr);
  EXPECT_GE(reportMs, 200.0 - 1.0) << r.out.substr(lineStart, report - lineStart);
  EXPECT_LT(reportMs, 200.0 + 1000.0) << r.out.substr(lineStart, report - lineStart);
  // What the lookup-table controls show after the run: set A's use controls
  // off (3), set B's both in use (2).
  for (const char* control : {"  Osc0 slot=0x10 table 2: control 3", "  Osc1 slot=0x10 table 3: control 3",
                              "  Osc0 slot=0x11 table 2: control 2", "  Osc1 slot=0x11 table 3: control 2"})
    EXPECT_TRUE(contains(r, control)) << control << "\n" << r.out;

  // The selection stayed 0x22; the next run goes back to 0x11 by the
  // transitions allowed, and fails over again.
  r = run(environment, "--time-scale 0.1 --scenario failover");
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_TRUE(contains(r, "selection byte (field 361): 0x22\n  selecting set B redundant: 0x22 -> 0x21 rc=0x00000000\n"
                          "  selecting set A alone: 0x21 -> 0x12 rc=0x00000000\n"
                          "  selecting set A redundant: 0x12 -> 0x11 rc=0x00000000\n"))
      << r.out;
  EXPECT_TRUE(contains(r, "failover outcome: selection 0x22, set A mode 4, set B mode 3\n")) << r.out;
}

// An unknown scenario is refused before anything runs.
TEST_F(QuibsimTest, RefusesAnUnknownScenario) {
  const ToolRun r = run("", "--scenario nothing");
  EXPECT_EQ(2, r.status) << r.out;
  EXPECT_TRUE(contains(r, "quibsim: unknown scenario 'nothing'")) << r.out;
  EXPECT_FALSE(contains(r, "kav::start")) << r.out;
}
