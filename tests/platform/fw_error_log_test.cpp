// The platform's error log: entries as JSON lines in the state folder, read
// back by a new repository over the same folder (a restarted process),
// concurrent commits, corrupt lines, trace collection.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fw/ErrorLog.h"
#include "fw/ErrorLogRepository.h"
#include "fw/Targeting.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"
#include "tests/support/TempDir.h"
#include "trace_ravo.h"

namespace {

const char* const kMachine = R"(<machine>
  <firmware><oscillator-card position="1" id="0x001A0001"/></firmware>
</machine>)";

std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void appendText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::app | std::ios::binary);
  out << text;
}

std::vector<uint32_t> idsOf(const std::vector<fw::ErrorLog>& entries) {
  std::vector<uint32_t> ids;
  for (const fw::ErrorLog& e : entries) ids.push_back(e.id());
  return ids;
}

class FwErrorLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::freshSimMachine(m_state.path(), kMachine, "errorlog.xml"));
    ASSERT_FALSE(m_folder.path().empty());
    m_openBefore = fw::ErrorLog::openLogs();
  }
  void TearDown() override { EXPECT_EQ(fw::ErrorLog::openLogs(), m_openBefore); }

  // A log with something in every section.
  fw::ErrorLog* fullLog() {
    fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Hardware, 4, 0xCC52, 0x001A0001, 20);
    fw::Target* card = fw::Targeting::byId(0x001A0001);
    EXPECT_NE(card, nullptr);
    if (card != nullptr) log->addHardwareCallout(*card, 6, true, 227, 64);
    log->addProcedureCallout(87, 6);
    log->addSoftwareError(0xCC00, 0xCC55, 4, 19);
    const uint8_t bytes[] = {0x00, 0xAB, 0xFF};
    log->addUserData(1, bytes, sizeof bytes);
    log->addUserData(2, nullptr, 0);
    log->collectTrace("FWTEST");
    log->collectTrace("NOSUCHBUF");
    return log;
  }

  testsupport::TempDir m_state{"fw-errlog-state"};
  testsupport::TempDir m_folder{"fw-errlog"};
  unsigned m_openBefore = 0;
};

TEST_F(FwErrorLog, EntryRoundTripsThroughItsJsonLine) {
  trace_ravo_desc_t buf = nullptr;
  ASSERT_EQ(trace_ravo_init_buffer(&buf, "FWTEST", 4096), 0);
  const uint32_t args[] = {0x2812, 7};
  trace_ravo_write_all(buf, "cfam 0x%X value %u %s", 42, "\xff bad utf8", 2, args);

  fw::ErrorLogRepository repo(m_folder.path());
  fw::ErrorLog* log = fullLog();
  const uint32_t id = log->id();
  EXPECT_EQ(repo.commit(log, 0xCC00, 64, 0xA000), 0);
  EXPECT_EQ(log, nullptr);

  const std::vector<std::string> lines = fileLines(repo.path());
  ASSERT_EQ(lines.size(), 1u);
  // The stable field names of the line.
  const nlohmann::json j = nlohmann::json::parse(lines[0], nullptr, false);
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j["format"], 1);
  EXPECT_EQ(j["id"], id);
  EXPECT_EQ(j["kind"], "hardware");
  EXPECT_EQ(j["component"], 0xCC00);
  EXPECT_EQ(j["reason"], 0xCC52);
  EXPECT_EQ(j["module"], 4);
  EXPECT_EQ(j["severity"], 64);
  EXPECT_EQ(j["action"], 0xA000);
  EXPECT_EQ(j["committed"], true);
  EXPECT_EQ(j["userData1"], 0x001A0001);
  EXPECT_EQ(j["userData2"], 20);
  EXPECT_EQ(j["hardwareCallouts"][0]["targetId"], 0x001A0001);
  EXPECT_EQ(j["hardwareCallouts"][0]["targetType"], 26);
  EXPECT_EQ(j["hardwareCallouts"][0]["position"], 1);
  EXPECT_EQ(j["hardwareCallouts"][0]["deconfigure"], true);
  EXPECT_EQ(j["hardwareCallouts"][0]["gardType"], 227);
  EXPECT_EQ(j["procedureCallouts"][0]["procedure"], 87);
  EXPECT_EQ(j["softwareErrors"][0]["code"], 19);
  EXPECT_EQ(j["userData"][0]["data"], "00abff");
  EXPECT_EQ(j["userData"][1]["data"], "");
  EXPECT_EQ(j["traces"][0]["buffer"], "FWTEST");
  EXPECT_EQ(j["traces"][0]["found"], true);
  ASSERT_EQ(j["traces"][0]["lines"].size(), 1u);
  EXPECT_NE(j["traces"][0]["lines"][0].get<std::string>().find("cfam 0x2812 value 7"), std::string::npos);
  EXPECT_EQ(j["traces"][1]["found"], false);

  // Read back it is the entry the repository keeps.
  fw::ErrorLog kept;
  ASSERT_TRUE(repo.find(id, kept));
  fw::ErrorLog parsed;
  std::string error;
  ASSERT_TRUE(fw::ErrorLog::fromJsonLine(lines[0], parsed, error)) << error;
  // The one byte that is no UTF-8 comes back replaced; the rest is equal.
  EXPECT_EQ(parsed.id(), kept.id());
  EXPECT_EQ(parsed.hardwareCallouts(), kept.hardwareCallouts());
  EXPECT_EQ(parsed.procedureCallouts(), kept.procedureCallouts());
  EXPECT_EQ(parsed.softwareErrors(), kept.softwareErrors());
  EXPECT_EQ(parsed.userData(), kept.userData());
  EXPECT_EQ(parsed.committedAt(), kept.committedAt());
  EXPECT_EQ(parsed.traces()[1], kept.traces()[1]);
  fw::ErrorLog again;
  ASSERT_TRUE(fw::ErrorLog::fromJsonLine(parsed.toJsonLine(), again, error)) << error;
  EXPECT_EQ(again, parsed);
}

TEST_F(FwErrorLog, RestartSeesCommittedEntriesAndNotDeletedOnes) {
  uint32_t first = 0, deleted = 0, last = 0;
  {
    fw::ErrorLogRepository repo(m_folder.path());
    fw::ErrorLog* a = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCCDA);
    fw::ErrorLog* b = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCCCC);
    fw::ErrorLog* c = fw::ErrorLog::create(fw::ErrorLog::Hardware, 1, 0xCC52);
    first = a->id();
    deleted = b->id();
    last = c->id();
    EXPECT_EQ(repo.commit(a, 0xCC00, 0, 0xA000), 0);
    fw::ErrorLog::deleteLog(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(repo.commit(c, 0xCC00, 64, 0xA000), 0);
    fw::ErrorLog* none = nullptr;
    EXPECT_EQ(repo.commit(none, 0xCC00, 0, 0), EINVAL);
  }
  fw::ErrorLogRepository restarted(m_folder.path());
  EXPECT_EQ(idsOf(restarted.entries()), (std::vector<uint32_t>{first, last}));
  EXPECT_TRUE(restarted.problems().empty());
  fw::ErrorLog e;
  EXPECT_FALSE(restarted.find(deleted, e));
  ASSERT_TRUE(restarted.find(last, e));
  EXPECT_EQ(e.reason(), 0xCC52);
  EXPECT_EQ(e.severity(), 64);
  // Ids go on above what the file holds.
  fw::ErrorLog* next = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 1);
  EXPECT_GT(next->id(), last);
  fw::ErrorLog::deleteLog(next);
}

TEST_F(FwErrorLog, ConcurrentCommitsLoseNothing) {
  constexpr unsigned kThreads = 4;
  constexpr unsigned kEach = 50;
  fw::ErrorLogRepository repo(m_folder.path());
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t)
    threads.emplace_back([&repo, t] {
      for (unsigned i = 0; i < kEach; ++i) {
        fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Software, static_cast<uint8_t>(t), 1, t, i);
        log->addUserData(static_cast<uint16_t>(t), &i, sizeof i);
        EXPECT_EQ(repo.commit(log, 0xCC00, 0, 0xA000), 0);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(repo.entries().size(), kThreads * kEach);

  fw::ErrorLogRepository restarted(m_folder.path());
  EXPECT_TRUE(restarted.problems().empty());
  const std::vector<fw::ErrorLog> entries = restarted.entries();
  ASSERT_EQ(entries.size(), kThreads * kEach);
  std::set<uint32_t> ids;
  std::set<std::pair<uint64_t, uint64_t>> seen;
  for (const fw::ErrorLog& e : entries) {
    ids.insert(e.id());
    seen.emplace(e.userData1(), e.userData2());
  }
  EXPECT_EQ(ids.size(), kThreads * kEach);
  EXPECT_EQ(seen.size(), kThreads * kEach);
}

TEST_F(FwErrorLog, CorruptLinesAreReportedAndSkipped) {
  std::string good[2];
  {
    fw::ErrorLogRepository repo(m_folder.path());
    for (int i = 0; i < 2; ++i) {
      fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCCCC);
      EXPECT_EQ(repo.commit(log, 0xCC00, 0, 0xA000), 0);
    }
    const std::vector<std::string> lines = fileLines(repo.path());
    ASSERT_EQ(lines.size(), 2u);
    good[0] = lines[0];
    good[1] = lines[1];
  }
  auto with = [](std::string line, const std::string& field, const std::string& value) {
    nlohmann::json j = nlohmann::json::parse(line);
    j[field] = nlohmann::json::parse(value);
    return j.dump();
  };
  auto without = [](std::string line, const std::string& field) {
    nlohmann::json j = nlohmann::json::parse(line);
    j.erase(field);
    return j.dump();
  };
  struct Case {
    std::string line;
    const char* message;
  };
  const Case cases[] = {
      {"{\"id\": 3, \"kind\": ", "not valid JSON"},
      {"[1, 2, 3]", "not a JSON object"},
      {with(good[0], "format", "2"), "unknown format 2"},
      {without(good[0], "reason"), "missing field 'reason'"},
      {with(good[0], "reason", "\"0xCC52\""), "field 'reason' is not a number"},
      {with(good[0], "module", "256"), "field 'module' is out of range: 256"},
      {with(good[0], "severity", "-1"), "field 'severity' is not a number of 0 or more"},
      {with(good[0], "kind", "\"firmware\""), "field 'kind' is neither hardware nor software"},
      {with(good[0], "userData", "[{\"type\": 1, \"data\": \"abc\"}]"), "userData[0]: field 'data' has an odd"},
      {with(good[0], "userData", "[{\"type\": 1, \"data\": \"zz\"}]"), "userData[0]: field 'data' is not hex"},
      {with(good[0], "hardwareCallouts", "[{\"targetId\": 1}]"), "hardwareCallouts[0]: missing field"},
      {with(good[0], "traces", "[{\"buffer\": \"KAVT\", \"found\": true, \"lines\": [1]}]"),
       "traces[0]: a trace line is not a string"},
  };
  const std::string path = m_folder.path() + "/" + fw::ErrorLogRepository::kFileName;
  {
    std::ofstream out(path, std::ios::trunc);
    out << good[0] << "\n";
    for (const Case& c : cases) out << c.line << "\n";
    out << "\n" << good[1] << "\n";
  }
  // A torn last line: no line break.
  appendText(path, good[1].substr(0, good[1].size() / 2));

  testing::internal::CaptureStderr();
  fw::ErrorLogRepository repo(m_folder.path());
  const std::string stderrText = testing::internal::GetCapturedStderr();
  const std::vector<fw::ErrorLogRepository::Problem> problems = repo.problems();
  const size_t count = sizeof cases / sizeof cases[0];
  ASSERT_EQ(problems.size(), count + 1);
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(cases[i].message);
    EXPECT_EQ(problems[i].line, i + 2);
    EXPECT_NE(problems[i].message.find(cases[i].message), std::string::npos) << problems[i].message;
    EXPECT_NE(stderrText.find("fw-errorlog: " + path + ":" + std::to_string(i + 2) + ": "), std::string::npos);
  }
  EXPECT_EQ(problems[count].line, count + 4);
  EXPECT_EQ(repo.entries().size(), 2u);

  // The next entry starts a line of its own after the torn one.
  fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCCDA);
  const uint32_t id = log->id();
  EXPECT_EQ(repo.commit(log, 0xCC00, 0, 0xA000), 0);
  testing::internal::CaptureStderr();
  fw::ErrorLogRepository restarted(m_folder.path());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(restarted.problems().size(), count + 1);
  fw::ErrorLog e;
  EXPECT_TRUE(restarted.find(id, e));
  EXPECT_EQ(restarted.entries().size(), 3u);
}

// A commit whose write stops part-way (here at the file size limit) fails
// with its errno and leaves a torn line; the next commit starts a line of
// its own, so a restart reads it and reports only the torn one.
TEST_F(FwErrorLog, AWriteThatStopsPartWayDoesNotSwallowTheNextEntry) {
  fw::ErrorLogRepository repo(m_folder.path());
  fw::ErrorLog* first = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCC01);
  ASSERT_EQ(repo.commit(first, 0xCC00, 0, 0xA000), 0);
  const std::string path = m_folder.path() + "/" + fw::ErrorLogRepository::kFileName;
  std::ifstream sized(path, std::ios::binary | std::ios::ate);
  const rlim_t size = static_cast<rlim_t>(sized.tellg());

  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = old;
  limited.rlim_cur = size + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  fw::ErrorLog* torn = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCC02);
  const int tornRc = repo.commit(torn, 0xCC00, 0, 0xA000);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(tornRc, EFBIG);

  fw::ErrorLog* next = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCC03);
  const uint32_t id = next->id();
  ASSERT_EQ(repo.commit(next, 0xCC00, 0, 0xA000), 0);
  testing::internal::CaptureStderr();
  fw::ErrorLogRepository restarted(m_folder.path());
  testing::internal::GetCapturedStderr();
  fw::ErrorLog e;
  EXPECT_TRUE(restarted.find(id, e));
  EXPECT_EQ(restarted.entries().size(), 2u);
  ASSERT_EQ(restarted.problems().size(), 1u);
  EXPECT_EQ(restarted.problems()[0].line, 2u);
}

TEST_F(FwErrorLog, MachineRepositoryLivesInTheStateFolder) {
  fw::ErrorLogRepository& repo = fw::ErrorLogRepository::machine();
  EXPECT_EQ(repo.folder(), m_state.path() + "/firmware");
  fw::ErrorLog* log = fw::ErrorLog::create(fw::ErrorLog::Software, 7, 0xCCDA);
  EXPECT_EQ(repo.commit(log, 0xCC00, 0, 0xA000), 0);
  EXPECT_EQ(fileLines(m_state.path() + "/firmware/errorlog.jsonl").size(), 1u);
  // Another state folder: another repository; the first stays usable.
  testsupport::TempDir other("fw-errlog-other");
  ravosim::setStateDir(other.path());
  EXPECT_EQ(fw::ErrorLogRepository::machine().folder(), other.path() + "/firmware");
  EXPECT_TRUE(fw::ErrorLogRepository::machine().entries().empty());
  EXPECT_EQ(repo.entries().size(), 1u);
  ravosim::setStateDir(m_state.path());
}

}  // namespace
