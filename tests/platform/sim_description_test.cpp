// Machine descriptions: the default machine, errors with file and line, and
// loading through RAVO_SIM_MACHINE; the FSI engine list they produce.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"

namespace {

std::string sourceDir() {
  const char* d = std::getenv("QUIB_SOURCE_DIR");
  return d ? d : ".";
}

class SimDescription : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-desc-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ravosim::setStateDir(m_dir);
  }
  void TearDown() override {
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  // Engine list of one CFAM as (raw type, engine number) pairs.
  int engineList(unsigned link, unsigned cascade, std::vector<std::pair<unsigned, unsigned>>& out,
                 uint32_t capacity = 32) {
    ravo_struct* h = ravo_fsi_open("/dev/fsi", O_RDONLY);
    EXPECT_NE(h, nullptr);
    uint8_t buf[RAVO_FSI_ENGINE_LIST_SIZE] = {};
    std::memcpy(buf, &capacity, 4);
    const uint16_t l = static_cast<uint16_t>(link), c = static_cast<uint16_t>(cascade);
    std::memcpy(buf + 8, &l, 2);
    std::memcpy(buf + 10, &c, 2);
    const int rc = ravo_fsi_config(h, RAVO_FSI_CFG_GET, RAVO_FSI_CFG_ENGINE_LIST, buf, sizeof buf);
    const int err = errno;
    EXPECT_EQ(ravo_fsi_close(h), 0);
    errno = err;
    if (rc != 0) return rc;
    uint16_t count;
    std::memcpy(&count, buf + 4, 2);
    out.clear();
    for (unsigned i = 0; i < count; ++i) {
      uint32_t w;
      std::memcpy(&w, buf + 8 + 20 * i, 4);
      EXPECT_EQ(RAVO_FSI_ENGINE_LINK(w), link);
      EXPECT_EQ(RAVO_FSI_ENGINE_CASCADE(w), cascade);
      EXPECT_EQ(w & 0x7FFu, 0u);
      out.emplace_back(RAVO_FSI_ENGINE_TYPE(w), RAVO_FSI_ENGINE_NUMBER(w));
    }
    return 0;
  }
  std::string m_dir;
};

TEST_F(SimDescription, DefaultMachineHasTheBaseDomainAndTwoOscillatorCards) {
  ravosim::LoadResult r = ravosim::loadMachine(sourceDir() + "/config/machine/default.xml");
  ASSERT_TRUE(r.ok) << r.message;
  std::vector<std::pair<unsigned, unsigned>> engines;
  for (unsigned link : {0u, 1u, 2u}) {
    ASSERT_EQ(engineList(link, 0, engines), 0) << link;
    bool gpio = false, i2c = false, scp = false, iomux = false;
    for (auto [type, number] : engines) {
      gpio = gpio || type == 8;
      i2c = i2c || type == 7;
      scp = scp || type == 6;
      iomux = iomux || type == 15;
    }
    EXPECT_TRUE(gpio && i2c && scp && iomux) << link;
  }
  // The base domain sees the cards through its plug-detect pins (low = present).
  uint32_t levels = 0;
  ASSERT_TRUE(ravosim::readPinLevels("/dev/gpio/L00C0E08", levels));
  EXPECT_EQ(levels & 0xC0000000u, 0u);
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  ASSERT_TRUE(ravosim::readPinLevels("/dev/gpio/L00C0E08", levels));
  EXPECT_EQ(levels & 0xC0000000u, 0x40000000u);
  ravosim::resetMachine();
  EXPECT_TRUE(ravosim::cfamPresent(2, 0));
}

TEST_F(SimDescription, EngineListLayout) {
  ravosim::LoadResult r = ravosim::loadMachineText(R"(<machine>
    <cfam link="3" cascade="2">
      <gpio number="9"/>
      <gpio number="3" type="24"/>
      <i2c number="31" type="23"/>
      <engine number="12" type="11"/>
      <engine number="0" type="13"/>
    </cfam>
    <cfam link="63" cascade="3" present="no"><gpio number="1"/></cfam>
  </machine>)", "list.xml");
  ASSERT_TRUE(r.ok) << r.message;
  std::vector<std::pair<unsigned, unsigned>> engines;
  ASSERT_EQ(engineList(3, 2, engines), 0);
  const std::vector<std::pair<unsigned, unsigned>> expected = {{13, 0}, {24, 3}, {8, 9}, {11, 12}, {23, 31}};
  EXPECT_EQ(engines, expected);

  // The engine word carries all fields at their bit positions.
  EXPECT_EQ(RAVO_FSI_ENGINE_WORD(63, 3, 31, 0xFF), 0xFFFFF800u);
  EXPECT_EQ(RAVO_FSI_ENGINE_WORD(3, 2, 9, 8), (3u << 26) | (2u << 24) | (9u << 19) | (8u << 11));

  errno = 0;
  EXPECT_EQ(engineList(63, 3, engines), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(engineList(4, 0, engines), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(engineList(3, 2, engines, 4), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(engineList(3, 2, engines, 34), -1);  // 34 entries do not fit 672 bytes
  EXPECT_EQ(errno, EINVAL);
  ASSERT_TRUE(ravosim::insertCfam(63, 3));
  ASSERT_EQ(engineList(63, 3, engines), 0);
  EXPECT_EQ(engines.size(), 1u);

  errno = 0;
  EXPECT_EQ(ravo_fsi_open("/dev/fsi0", O_RDONLY), nullptr);
  EXPECT_EQ(errno, ENOENT);
  ravo_struct* h = ravo_fsi_open("/dev/fsi", O_RDONLY);
  uint8_t buf[RAVO_FSI_ENGINE_LIST_SIZE] = {};
  EXPECT_EQ(ravo_fsi_config(h, 2, 14, buf, sizeof buf), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ravo_fsi_close(h), 0);
}

TEST_F(SimDescription, ErrorsNameFileAndLine) {
  struct Case {
    const char* what;
    const char* xml;
    unsigned line;
    const char* text;
  };
  const Case cases[] = {
      {"not XML", "<machine>\n<cfam link=\"0\" cascade=\"0\">\n</machine>", 3, "not well-formed"},
      {"wrong root", "<box/>", 1, "root element must be <machine>"},
      {"unknown element", "<machine>\n\n  <cpu/>\n</machine>", 3, "unknown element <cpu>"},
      {"unknown attribute", "<machine>\n<cfam link=\"0\" cascade=\"0\" colour=\"red\"/>\n</machine>", 2,
       "unknown attribute 'colour'"},
      {"missing link", "<machine>\n<cfam cascade=\"0\"/>\n</machine>", 2, "needs the attribute 'link'"},
      {"link out of range", "<machine>\n<cfam link=\"64\" cascade=\"0\"/>\n</machine>", 2, "out of range"},
      {"cascade out of range", "<machine><cfam link=\"1\" cascade=\"4\"/></machine>", 1, "out of range"},
      {"not a number", "<machine>\n<cfam link=\"one\" cascade=\"0\"/>\n</machine>", 2, "not a number"},
      {"duplicate CFAM",
       "<machine>\n<cfam link=\"1\" cascade=\"0\"/>\n<cfam link=\"1\" cascade=\"0\"/>\n</machine>", 3,
       "described twice"},
      {"engine number", "<machine>\n<cfam link=\"1\" cascade=\"0\">\n<gpio number=\"32\"/>\n</cfam>\n</machine>", 3,
       "out of range"},
      {"duplicate engine",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"3\"/>\n<i2c number=\"3\"/>\n</cfam></machine>", 3,
       "engine 3 is described twice"},
      {"engine where the pseudo engine of a raw type 5 goes",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<engine number=\"12\" type=\"5\"/>\n"
       "<i2c number=\"31\"/></cfam></machine>",
       3, "engine 31 is where discovery puts the pseudo engine of the raw type 5 engine 12"},
      {"engine of raw type 5 at its own pseudo engine's number",
       "<machine><cfam link=\"1\" cascade=\"0\">\n\n<engine number=\"31\" type=\"5\"/></cfam></machine>", 3,
       "engine 31 is where discovery puts the pseudo engine of the raw type 5 engine 31"},
      {"engine where the pseudo engine of a raw type 13 goes",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"30\"/>\n"
       "<engine number=\"2\" type=\"13\"/></cfam></machine>",
       2, "engine 30 is where discovery puts the pseudo engine of the raw type 13 engine 2"},
      {"raw type of another kind",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"3\" type=\"7\"/></cfam></machine>", 2,
       "not a gpio engine"},
      {"pin out of range",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"3\">\n\n<pin n=\"32\" level=\"1\"/>"
       "</gpio></cfam></machine>",
       3, "out of range"},
      {"bad wire",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"3\">\n<pin n=\"2\" wire=\"somewhere\"/>"
       "</gpio></cfam></machine>",
       2, "wire 'somewhere'"},
      {"wire to nothing",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"3\"><pin n=\"2\" wire=\"cfam:L05C0\"/>"
       "</gpio></cfam></machine>",
       2, "wired to something the machine does not have"},
      {"device port", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\" ports=\"2\">\n"
                      "<device port=\"2\" address=\"0x10\"/></i2c></cfam></machine>",
       2, "port 2 does not exist"},
      {"device twice", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">\n"
                       "<device port=\"0\" address=\"0x10\"/>\n<device port=\"0\" address=\"16\"/>"
                       "</i2c></cfam></machine>",
       3, "described twice"},
      {"register outside", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                           "<device port=\"0\" address=\"0x10\" size=\"4\">\n<register offset=\"4\"/>"
                           "</device></i2c></cfam></machine>",
       2, "outside the device's 4 registers"},
      {"register value", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                         "<device port=\"0\" address=\"0x10\">\n<register offset=\"1\" reset=\"0x100\"/>"
                         "</device></i2c></cfam></machine>",
       2, "out of range"},
      {"unknown model", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">\n"
                        "<device port=\"0\" address=\"0x10\" model=\"toaster\"/></i2c></cfam></machine>",
       2, "unknown device model 'toaster'"},
      {"overlapping registers", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                                "<device port=\"0\" address=\"0x10\" size=\"8\">\n<register offset=\"2\" width=\"2\"/>\n"
                                "<register name=\"st\" offset=\"3\"/></device></i2c></cfam></machine>",
       3, "register 'st' at 0x3 overlaps register at 0x2"},
      {"register range overlapping", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                                     "<device port=\"0\" address=\"0x10\">\n<register offset=\"0\" width=\"4\" "
                                     "count=\"2\"/>\n<register offset=\"7\"/></device></i2c></cfam></machine>",
       3, "overlaps"},
      {"register width", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                         "<device port=\"0\" address=\"0x10\">\n<register offset=\"0\" width=\"5\"/>"
                         "</device></i2c></cfam></machine>",
       2, "out of range"},
      {"reserved bits reset to 1", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">"
                                   "<device port=\"0\" address=\"0x10\">\n<register offset=\"0\" reset=\"0x81\" "
                                   "reserved=\"0x80\"/></device></i2c></cfam></machine>",
       2, "resets reserved bits to 1"},
      {"unknown attribute of a device",
       "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">\n<device port=\"0\" address=\"0x10\" "
       "colour=\"red\"/></i2c></cfam></machine>",
       2, "unknown attribute 'colour' of <device> (model 'registers')"},
      {"register file size 0", "<machine><cfam link=\"1\" cascade=\"0\"><i2c number=\"5\">\n<device port=\"0\" "
                               "address=\"0x10\" size=\"0\"/></i2c></cfam></machine>",
       2, "at least one register"},
      {"wire to a missing device output",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"3\"><pin n=\"2\" "
       "wire=\"/dev/iic/L01C0E05P00:0x10:alert\"/></gpio>\n<i2c number=\"5\"><device port=\"0\" "
       "address=\"0x10\"/></i2c></cfam></machine>",
       2, "wired to something the machine does not have (/dev/iic/L01C0E05P00:0x10:alert)"},
      {"bad device wire", "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"3\">\n<pin n=\"2\" "
                          "wire=\"/dev/iic/L01C0E05P00:alert\"/></gpio></cfam></machine>",
       2, "does not name a device output"},
      {"supply wired to nothing", "<machine>\n<supply name=\"v\" wire=\"/dev/gpio/L00C0E01:3\"/></machine>", 2,
       "supply 'v' is wired to /dev/gpio/L00C0E01:3, which the machine does not have"},
      {"supply twice", "<machine>\n<supply name=\"v\"/>\n<supply name=\"v\"/></machine>", 3, "described twice"},
      {"oscillator twice", "<machine>\n<cfam link=\"1\" cascade=\"0\"><oscillator name=\"o\" khz=\"1\"/></cfam>\n"
                           "<cfam link=\"2\" cascade=\"0\"><oscillator name=\"o\" khz=\"1\"/></cfam></machine>",
       3, "oscillator 'o' is described twice"},
      {"oscillator state", "<machine><cfam link=\"1\" cascade=\"0\">\n<oscillator name=\"o\" khz=\"1\" "
                           "state=\"wobbly\"/></cfam></machine>",
       2, "is not running, failed or drifting"},
      {"oscillator without frequency", "<machine><cfam link=\"1\" cascade=\"0\">\n<oscillator name=\"o\"/>"
                                       "</cfam></machine>",
       2, "needs the attribute 'khz'"},
      {"scratchpad size", "<machine><cfam link=\"1\" cascade=\"0\">\n<scratchpad number=\"3\"/></cfam></machine>", 2,
       "needs the attribute 'size'"},
      {"gpio config register",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"3\">\n<config register=\"0x40000000\" "
       "value=\"1\"/></gpio></cfam></machine>",
       2, "not one of 0x40000003..0x4000000B"},
      {"lookup-table control reset value with enable bits",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"3\">\n<config register=\"0x4000000B\" "
       "value=\"0x80008000\"/></gpio></cfam></machine>",
       2, "keeps only its table states"},
      {"fault op", "<machine>\n<fault op=\"open\" errno=\"5\"/></machine>", 2, "'open' is not a ravo call"},
      {"fault errno", "<machine>\n<fault op=\"ravo_iic_read\" errno=\"ENOPE\"/></machine>", 2, "not a number"},
      {"fault count", "<machine>\n<fault op=\"ravo_iic_read\" errno=\"EIO\" count=\"0\"/></machine>", 2,
       "at least 1"},
      {"boolean", "<machine>\n<cfam link=\"1\" cascade=\"0\" present=\"maybe\"/></machine>", 2, "yes or no"},
      {"serial without type", "<machine>\n<cfam link=\"1\" cascade=\"0\" serial=\"A1\"/></machine>", 2,
       "needs its type"},
      {"serial is a path", "<machine>\n<cfam link=\"1\" cascade=\"0\" type=\"osc\" serial=\"../x\"/></machine>",
       2, "attribute 'serial' of <cfam> must be"},
      {"type starts with a dot", "<machine>\n<cfam link=\"1\" cascade=\"0\" type=\".osc\"/></machine>", 2,
       "attribute 'type' of <cfam> must be"},
      {"pin with a table and a wire",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"8\">\n"
       "<pin n=\"1\" table=\"0\" wire=\"cfam:L01C0\"/></gpio></cfam></machine>",
       2, "either a level, a wire or a table"},
      {"table out of range",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"8\">\n"
       "<pin n=\"1\" table=\"8\"/></gpio></cfam></machine>",
       2, "out of range"},
      {"table inputs without a table",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"8\">\n"
       "<pin n=\"1\" level=\"1\" in1=\"1\"/></gpio></cfam></machine>",
       2, "only a pin driven by a table has inputs"},
      {"table input that is no wire",
       "<machine><cfam link=\"1\" cascade=\"0\"><gpio number=\"8\">\n"
       "<pin n=\"1\" table=\"0\" in2=\"high\"/></gpio></cfam></machine>",
       2, "wire 'high' is neither"},
      {"table input wired to nothing",
       "<machine><cfam link=\"1\" cascade=\"0\">\n<gpio number=\"8\">"
       "<pin n=\"1\" table=\"0\" in3=\"/dev/gpio/L01C0E09:0\"/></gpio></cfam></machine>",
       2, "pin 1 of GPIO engine 8 is wired to something the machine does not have (/dev/gpio/L01C0E09:0)"},
      {"card in two places",
       "<machine>\n<cfam link=\"1\" cascade=\"0\" type=\"osc\" serial=\"A1\"/>\n"
       "<cfam link=\"2\" cascade=\"0\" type=\"osc\" serial=\"A1\"/></machine>",
       3, "card osc A1 is already in L01C0 (line 2)"},
  };
  ASSERT_TRUE(ravosim::loadMachineText("<machine><cfam link=\"7\" cascade=\"0\"/></machine>", "good.xml").ok);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::LoadResult r = ravosim::loadMachineText(c.xml, "bad.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.file, "bad.xml");
    EXPECT_EQ(r.line, c.line);
    EXPECT_NE(r.message.find(c.text), std::string::npos) << r.message;
    EXPECT_EQ(r.message.rfind("bad.xml:" + std::to_string(c.line) + ": ", 0), 0u) << r.message;
  }
  // The machine that was loaded before stays.
  EXPECT_TRUE(ravosim::cfamPresent(7, 0));
}

TEST_F(SimDescription, ErrorOfAFileNamesThePath) {
  const std::string file = m_dir + "/broken.xml";
  std::ofstream(file) << "<machine>\n  <cfam link=\"0\" cascade=\"0\">\n    <iomux number=\"4\" size=\"0\"/>\n"
                         "  </cfam>\n</machine>\n";
  ravosim::LoadResult r = ravosim::loadMachine(file);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.line, 3u);
  EXPECT_EQ(r.message, file + ":3: an I/O multiplexer needs at least 1 entry");
  r = ravosim::loadMachine(m_dir + "/missing.xml");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("cannot read"), std::string::npos);
}

// A fresh process loads the machine named by RAVO_SIM_MACHINE on first use
// and reports a broken one on stderr with file and line.
TEST_F(SimDescription, EnvironmentNamesTheMachineFile) {
  const std::string good = sourceDir() + "/config/machine/default.xml";
  const std::string bad = m_dir + "/bad.xml";
  std::ofstream(bad) << "<machine>\n<cfam link=\"99\" cascade=\"0\"/>\n</machine>\n";
  auto run = [this](const std::string& machine, const std::string& errFile) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("RAVO_SIM_MACHINE", machine.c_str(), 1);
      setenv("RAVO_SIM_STATE_DIR", m_dir.c_str(), 1);
      if (!freopen(errFile.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(3);
      execl("/proc/self/exe", "sim_description_test", "--gtest_filter=SimDescriptionChild.*", nullptr);
      _exit(4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(good, m_dir + "/good.err"), 0);
  EXPECT_NE(run(bad, m_dir + "/bad.err"), 0);
  std::ifstream in(m_dir + "/bad.err");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ravo-sim: " + bad + ":2: attribute 'link' of <cfam> is out of range"), std::string::npos)
      << text;
}

// Runs only in the child of the test above: the machine of the environment
// must have the base domain's GPIO engine.
TEST(SimDescriptionChild, MachineFromEnvironment) {
  if (!std::getenv("RAVO_SIM_MACHINE")) GTEST_SKIP() << "only run by EnvironmentNamesTheMachineFile";
  ravo_struct* h = ravo_gpio_open("/dev/gpio/L00C0E08", O_RDWR);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(ravo_gpio_close(h), 0);
}

}  // namespace
