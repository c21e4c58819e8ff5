// First-failure data and fault injection of the simulated machine.
#include <fcntl.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="1" cascade="0">
    <gpio number="8"/>
    <i2c number="5"><device port="0" address="0xD0" size="16"/></i2c>
    <scratchpad number="3" size="64"/>
    <iomux number="4" size="4"/>
  </cfam>
  <fault op="ravo_scp_read" device="/dev/scp/*" errno="EIO" count="2"/>
</machine>)";

const char* const kGpio = "/dev/gpio/L01C0E08";
const char* const kPort = "/dev/iic/L01C0E05P00";
const char* const kScp = "/dev/scp/L01C0E03";

// All texts of a chain buffer, walked element by element.
std::vector<std::string> chainTexts(void* buf) {
  std::vector<std::string> texts;
  void* e = nullptr;
  while (dd_ffdc_get_chain(buf, &e) == 0 && e) {
    const int size = dd_ffdc_chain_size(e);
    EXPECT_GT(size, 0);
    char* text = nullptr;
    EXPECT_GT(dd_ffdc_print(e, size, &text), 0);
    texts.emplace_back(text);
    free(text);
  }
  return texts;
}

class SimFfdc : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-ffdc-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "ffdc.xml"));
  }
  void TearDown() override {
    ravosim::clearFaults();
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  std::string m_dir;
};

TEST_F(SimFfdc, I2cChainNamesDevicePathAndOperation) {
  ravo_struct* h = ravo_iic_open(kPort, O_RDWR);
  ASSERT_NE(h, nullptr);
  void* buf = reinterpret_cast<void*>(1);
  EXPECT_EQ(ravo_iic_ffdc_extract(h, 1, &buf), 0);  // nothing failed yet
  EXPECT_EQ(buf, nullptr);
  uint8_t b = 0;
  ASSERT_EQ(ravo_siic_read(h, 0xA2, 0, &b, 1), -1);
  ASSERT_EQ(ravo_siic_read(h, 0xD0, 15, &b, 2), -1);
  const int bytes = ravo_iic_ffdc_extract(h, 1, &buf);
  ASSERT_GT(bytes, 0);
  std::vector<std::string> texts = chainTexts(buf);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("ravo_siic_read on /dev/iic/L01C0E05P00 failed: errno=6"), std::string::npos) << texts[0];
  EXPECT_NE(texts[0].find("no device answers at address 0xA2"), std::string::npos) << texts[0];
  EXPECT_NE(texts[1].find("errno=5"), std::string::npos) << texts[1];
  // The whole chain prints as one text too.
  char* all = nullptr;
  ASSERT_GT(dd_ffdc_print(buf, bytes, &all), 0);
  EXPECT_NE(std::string(all).find(texts[1].substr(texts[1].find(':'))), std::string::npos);
  free(all);
  free(buf);
  // Until unlocked, extracted records are not given again; unlock discards them.
  EXPECT_EQ(ravo_iic_ffdc_extract(h, 1, &buf), 0);
  EXPECT_EQ(ravo_iic_ffdc_unlock(h, 0), 0);
  ASSERT_EQ(ravo_siic_read(h, 0xA4, 0, &b, 1), -1);
  ASSERT_GT(ravo_iic_ffdc_extract(h, 1, &buf), 0);
  texts = chainTexts(buf);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("0xA4"), std::string::npos);
  free(buf);
  EXPECT_EQ(ravo_iic_ffdc_unlock(h, 0), 0);
  EXPECT_EQ(ravo_iic_close(h), 0);
}

TEST_F(SimFfdc, GpioGivesOneRecordPerExtractAndKeepsItAcrossReopen) {
  ravo_struct* h = ravo_gpio_open(kGpio, O_RDWR);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(ravo_gpio_set_mode(h, 1, 9), -1);
  ASSERT_TRUE(ravosim::removeCfam(1, 0));
  uint32_t v;
  ASSERT_EQ(ravo_gpio_read_input_pins(h, ~0u, &v), -1);
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
  // The data stays with the device: a new handle on the same path sees it.
  ASSERT_EQ(ravo_gpio_close(h), 0);
  h = ravo_gpio_open(kGpio, O_RDWR | O_EXCL | O_NONBLOCK);
  ASSERT_NE(h, nullptr);
  std::vector<std::string> texts;
  void* buf = nullptr;
  int n;
  while ((n = ravo_gpio_ffdc_extract(h, 1, &buf)) > 0) {
    char* text = nullptr;
    ASSERT_GT(dd_ffdc_print(buf, n, &text), 0);
    texts.emplace_back(text);
    free(text);
    free(buf);
  }
  EXPECT_EQ(n, 0);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("ravo_gpio_set_mode on /dev/gpio/L01C0E08 failed: errno=22"), std::string::npos)
      << texts[0];
  EXPECT_NE(texts[0].find("mode 9 does not exist"), std::string::npos);
  EXPECT_NE(texts[1].find("ravo_gpio_read_input_pins on /dev/gpio/L01C0E08 failed: errno=19"), std::string::npos)
      << texts[1];
  EXPECT_NE(texts[1].find("CFAM L1C0 is not present"), std::string::npos);
  EXPECT_EQ(ravo_gpio_ffdc_unlock(h, 1), 0);
  EXPECT_EQ(ravo_gpio_ffdc_extract(h, 1, &buf), 0);
  EXPECT_EQ(ravo_gpio_close(h), 0);
}

TEST_F(SimFfdc, RecordsAreCappedUntilUnlock) {
  ravo_struct* h = ravo_gpio_open(kGpio, O_RDWR);
  ASSERT_NE(h, nullptr);
  for (int i = 0; i < RAVO_FFDC_MAX_RECORDS + 5; ++i) ASSERT_EQ(ravo_gpio_set_mode(h, 1, 100 + i), -1);
  int records = 0;
  void* buf = nullptr;
  std::string last;
  int n;
  while ((n = ravo_gpio_ffdc_extract(h, 1, &buf)) > 0) {
    ++records;
    std::vector<std::string> t = chainTexts(buf);
    last = t.at(0);
    free(buf);
  }
  EXPECT_EQ(records, RAVO_FFDC_MAX_RECORDS);
  EXPECT_NE(last.find("mode " + std::to_string(100 + RAVO_FFDC_MAX_RECORDS - 1)), std::string::npos) << last;
  EXPECT_EQ(ravo_gpio_ffdc_unlock(h, 1), 0);
  EXPECT_EQ(ravo_gpio_close(h), 0);
}

TEST_F(SimFfdc, DamagedBuffersAreRefused) {
  uint32_t junk[8] = {0x12345678u, 32, 1, 0, 0, 0, 0, 0};
  void* e = nullptr;
  errno = 0;
  EXPECT_EQ(dd_ffdc_get_chain(junk, &e), -1);
  EXPECT_EQ(errno, EINVAL);
  char* text = nullptr;
  EXPECT_EQ(dd_ffdc_print(junk, sizeof junk, &text), -1);
  EXPECT_EQ(dd_ffdc_chain_size(junk), -1);
  // A chain whose element claims more than the chain holds.
  uint32_t chain[8] = {RAVO_FFDC_CHAIN_MAGIC, 32, 1, 0, RAVO_FFDC_ELEMENT_MAGIC, 400, 0, 0};
  EXPECT_EQ(dd_ffdc_get_chain(chain, &e), -1);
}

TEST_F(SimFfdc, DescriptionFaultFailsTheNextCalls) {
  ravo_struct* h = ravo_scp_open(kScp, O_RDWR);
  ASSERT_NE(h, nullptr);
  uint8_t b[4];
  errno = 0;
  EXPECT_EQ(ravo_scp_read(h, b, 4), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(ravo_scp_read(h, b, 4), -1);
  EXPECT_EQ(ravo_scp_read(h, b, 4), 4);
  EXPECT_EQ(ravosim::injectedFailures("ravo_scp_read"), 2u);
  void* buf = nullptr;
  ASSERT_GT(ravo_scp_ffdc_extract(h, 0, &buf), 0);
  std::vector<std::string> texts = chainTexts(buf);
  free(buf);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("ravo_scp_read on /dev/scp/L01C0E03 failed: errno=5"), std::string::npos);
  EXPECT_NE(texts[0].find("injected fault"), std::string::npos);
  EXPECT_EQ(ravo_scp_ffdc_unlock(h, 0), 0);
  EXPECT_EQ(ravo_scp_close(h), 0);
}

TEST_F(SimFfdc, InjectedFaultsByCountPatternAndAlways) {
  ravo_struct* h = ravo_iic_open(kPort, O_RDWR);
  ASSERT_NE(h, nullptr);
  uint8_t b = 0;
  ravosim::failCalls("ravo_siic_write", "/dev/iic/L02*", EIO, 1);  // another CFAM: never fires here
  ravosim::failCalls("ravo_siic_write", kPort, ETIMEDOUT, 2);
  for (int i = 0; i < 2; ++i) {
    errno = 0;
    EXPECT_EQ(ravo_siic_write(h, 0xD0, 0, &b, 1), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
  }
  EXPECT_EQ(ravo_siic_write(h, 0xD0, 0, &b, 1), 1);
  EXPECT_EQ(ravosim::injectedFailures("ravo_siic_write"), 2u);

  ravosim::failAlways("ravo_iic_config", "", EREMOTEIO);
  uint32_t v = 100;
  for (int i = 0; i < 5; ++i) {
    errno = 0;
    EXPECT_EQ(ravo_iic_config(h, RAVO_CONFIG_WRITE, RAVO_IIC_CFG_SPEED, &v, 4), -1);
    EXPECT_EQ(errno, EREMOTEIO);
  }
  ravosim::clearFaults();
  EXPECT_EQ(ravo_iic_config(h, RAVO_CONFIG_WRITE, RAVO_IIC_CFG_SPEED, &v, 4), 0);

  // A failing open leaves its data with the device path.
  ravosim::failCalls("ravo_gpio_open", kGpio, ENOMEM, 1);
  errno = 0;
  EXPECT_EQ(ravo_gpio_open(kGpio, O_RDWR), nullptr);
  EXPECT_EQ(errno, ENOMEM);
  ravo_struct* g = ravo_gpio_open(kGpio, O_RDWR);
  ASSERT_NE(g, nullptr);
  void* buf = nullptr;
  ASSERT_GT(ravo_gpio_ffdc_extract(g, 1, &buf), 0);
  EXPECT_NE(chainTexts(buf).at(0).find("ravo_gpio_open on /dev/gpio/L01C0E08 failed: errno=12"), std::string::npos);
  free(buf);
  EXPECT_EQ(ravo_gpio_ffdc_unlock(g, 1), 0);

  // A failing close still releases the handle.
  ravosim::failCalls("ravo_gpio_close", "*", EIO, 1);
  EXPECT_EQ(ravo_gpio_close(g), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(ravo_iic_close(h), 0);
}

}  // namespace
