// Every ravo call can be failed by injection: it reports the chosen errno,
// leaves first-failure data naming the device and the call, and works again
// once the fault is used up.
#include <fcntl.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/SimMachine.h"

namespace {

const char* const kMachine = R"(<machine>
  <cfam link="2" cascade="0">
    <gpio number="8"/>
    <i2c number="5"><device port="1" address="0xD0" size="16"/></i2c>
    <scratchpad number="3" size="64"/>
    <iomux number="4" size="4"/>
  </cfam>
</machine>)";

const char* const kGpio = "/dev/gpio/L02C0E08";
const char* const kPort = "/dev/iic/L02C0E05P01";
const char* const kScp = "/dev/scp/L02C0E03";
const char* const kMux = "/dev/iomux/L02C0E04";

struct Handles {
  ravo_struct* gpio = nullptr;
  ravo_struct* iic = nullptr;
  ravo_struct* scp = nullptr;
  ravo_struct* mux = nullptr;
};

// A call on an open handle; true when it failed.
struct OpCase {
  const char* op;
  const char* path;
  std::function<bool(Handles&)> call;
};

std::string ffdcOf(ravo_struct* h, const char* path) {
  void* buf = nullptr;
  int n;
  std::string all;
  auto collect = [&](void* b, int size) {
    char* text = nullptr;
    if (dd_ffdc_print(b, size, &text) > 0) {
      all += text;
      all += "\n";
      free(text);
    }
    free(b);
  };
  if (std::strncmp(path, "/dev/gpio", 9) == 0) {
    while ((n = ravo_gpio_ffdc_extract(h, 1, &buf)) > 0) collect(buf, n);
    ravo_gpio_ffdc_unlock(h, 1);
  } else if (std::strncmp(path, "/dev/iomux", 10) == 0) {
    while ((n = ravo_iomux_ffdc_extract(h, 1, &buf)) > 0) collect(buf, n);
    ravo_iomux_ffdc_unlock(h, 1);
  } else if (std::strncmp(path, "/dev/iic", 8) == 0) {
    if ((n = ravo_iic_ffdc_extract(h, 1, &buf)) > 0) collect(buf, n);
    ravo_iic_ffdc_unlock(h, 0);
  } else {
    if ((n = ravo_scp_ffdc_extract(h, 0, &buf)) > 0) collect(buf, n);
    ravo_scp_ffdc_unlock(h, 0);
  }
  return all;
}

class SimFault : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ravo-sim-fault-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir, kMachine, "fault.xml"));
    m_h.gpio = ravo_gpio_open(kGpio, O_RDWR);
    m_h.iic = ravo_iic_open(kPort, O_RDWR);
    m_h.scp = ravo_scp_open(kScp, O_RDWR);
    m_h.mux = ravo_iomux_open(kMux, O_RDWR);
    ASSERT_TRUE(m_h.gpio && m_h.iic && m_h.scp && m_h.mux);
  }
  void TearDown() override {
    ravosim::clearFaults();
    EXPECT_EQ(ravo_gpio_close(m_h.gpio), 0);
    EXPECT_EQ(ravo_iic_close(m_h.iic), 0);
    EXPECT_EQ(ravo_scp_close(m_h.scp), 0);
    EXPECT_EQ(ravo_iomux_close(m_h.mux), 0);
    EXPECT_EQ(ravosim::openHandles(), 0u);
    std::filesystem::remove_all(m_dir);
  }
  std::string m_dir;
  Handles m_h;
};

TEST_F(SimFault, EveryDeviceCallFailsOnceAndThenWorks) {
  static uint32_t v;
  static uint8_t bytes[4];
  static ravo_gpio_dump_t dump;
  const OpCase cases[] = {
      {"ravo_gpio_set_mode", kGpio, [](Handles& h) { return ravo_gpio_set_mode(h.gpio, 1, 1) == -1; }},
      {"ravo_gpio_get_mode", kGpio, [](Handles& h) { return ravo_gpio_get_mode(h.gpio, &v, 1) == -1; }},
      {"ravo_gpio_write_output_pins", kGpio,
       [](Handles& h) { return ravo_gpio_write_output_pins(h.gpio, 1, 1) == -1; }},
      {"ravo_gpio_read_input_pins", kGpio,
       [](Handles& h) { return ravo_gpio_read_input_pins(h.gpio, ~0u, &v) == -1; }},
      {"ravo_gpio_set_blink_rate", kGpio, [](Handles& h) { return ravo_gpio_set_blink_rate(h.gpio, 5) == -1; }},
      {"ravo_gpio_blink", kGpio, [](Handles& h) { return ravo_gpio_blink(h.gpio, 1) == -1; }},
      {"ravo_gpio_dump_register", kGpio,
       [](Handles& h) {
         dump.words[0] = 1;
         return ravo_gpio_dump_register(h.gpio, &dump) == -1;
       }},
      {"ravo_gpio_config", kGpio,
       [](Handles& h) { return ravo_gpio_config(h.gpio, RAVO_CONFIG_READ, 0x40000003u, &v, 4) == -1; }},
      {"ravo_gpio_reset_interrupt_condition", kGpio,
       [](Handles& h) { return ravo_gpio_reset_interrupt_condition(h.gpio, 1) == -1; }},
      {"ravo_iic_reset", kPort, [](Handles& h) { return ravo_iic_reset(h.iic, 2) == -1; }},
      {"ravo_iic_config", kPort,
       [](Handles& h) { return ravo_iic_config(h.iic, RAVO_CONFIG_READ, RAVO_IIC_CFG_SPEED, &v, 4) < 0; }},
      {"ravo_iic_write", kPort,
       [](Handles& h) {
         uint32_t a = 0xD0;
         ravo_iic_config(h.iic, RAVO_CONFIG_WRITE, RAVO_IIC_CFG_DEV_ADDR, &a, 4);
         return ravo_iic_write(h.iic, bytes, 1) == -1;
       }},
      {"ravo_iic_read", kPort, [](Handles& h) { return ravo_iic_read(h.iic, bytes, 1) == -1; }},
      {"ravo_siic_write", kPort, [](Handles& h) { return ravo_siic_write(h.iic, 0xD0, 0, bytes, 1) == -1; }},
      {"ravo_siic_read", kPort, [](Handles& h) { return ravo_siic_read(h.iic, 0xD0, 0, bytes, 1) == -1; }},
      {"ravo_siic_reset_irq", kPort,
       [](Handles& h) { return ravo_siic_reset_irq(h.iic, 0xD0, 0, bytes, 1) == -1; }},
      {"ravo_scp_seek", kScp, [](Handles& h) { return ravo_scp_seek(h.scp, 0, SEEK_SET) == -1; }},
      {"ravo_scp_read", kScp, [](Handles& h) { return ravo_scp_read(h.scp, bytes, 1) == -1; }},
      {"ravo_scp_write", kScp, [](Handles& h) { return ravo_scp_write(h.scp, bytes, 1) == -1; }},
      {"ravo_scp_get_size", kScp, [](Handles& h) { return ravo_scp_get_size(h.scp, &v) == -1; }},
      {"ravo_scp_read_coldstart_state", kScp,
       [](Handles& h) {
         int s;
         return ravo_scp_read_coldstart_state(h.scp, &s) == -1;
       }},
      {"ravo_scp_reset_coldstart_state", kScp,
       [](Handles& h) { return ravo_scp_reset_coldstart_state(h.scp) == -1; }},
      {"ravo_iomux_query_size", kMux, [](Handles& h) { return ravo_iomux_query_size(h.mux) == 0xFFFFFFFFu; }},
      {"ravo_iomux_query_state", kMux, [](Handles& h) { return ravo_iomux_query_state(h.mux) == -1; }},
      {"ravo_iomux_seek", kMux, [](Handles& h) { return ravo_iomux_seek(h.mux, 0, SEEK_SET) == -1; }},
      {"ravo_iomux_write", kMux,
       [](Handles& h) {
         int errors;
         ravo_iomux_seek(h.mux, 0, SEEK_SET);
         return ravo_iomux_write(h.mux, &v, 1, 0, &errors) == -1;
       }},
      {"ravo_iomux_read", kMux,
       [](Handles& h) {
         ravo_iomux_seek(h.mux, 0, SEEK_SET);
         return ravo_iomux_read(h.mux, &v, 1) == -1;
       }},
      {"ravo_iomux_validate", kMux, [](Handles& h) { return ravo_iomux_validate(h.mux) == -1; }},
      {"ravo_iomux_invalidate", kMux, [](Handles& h) { return ravo_iomux_invalidate(h.mux) == -1; }},
  };
  v = 0;
  for (const OpCase& c : cases) {
    SCOPED_TRACE(c.op);
    ravosim::failCalls(c.op, c.path, EREMOTEIO, 1);
    errno = 0;
    EXPECT_TRUE(c.call(m_h));
    EXPECT_EQ(errno, EREMOTEIO);
    EXPECT_FALSE(c.call(m_h)) << "the fault was for one call only";
    ravo_struct* h = c.path == kGpio ? m_h.gpio : c.path == kPort ? m_h.iic : c.path == kScp ? m_h.scp : m_h.mux;
    const std::string text = ffdcOf(h, c.path);
    EXPECT_NE(text.find(std::string(c.op) + " on " + c.path + " failed: errno=" + std::to_string(EREMOTEIO)),
              std::string::npos)
        << text;
  }
  EXPECT_EQ(ravosim::injectedFailures(), sizeof cases / sizeof cases[0]);
}

TEST_F(SimFault, OpensAndAsynchronousCallsFailByInjection) {
  struct Case {
    const char* op;
    std::function<bool()> call;
  };
  const Case cases[] = {
      {"ravo_gpio_open", [] { return ravo_gpio_open(kGpio, O_RDWR) == nullptr; }},
      {"ravo_iic_open", [] { return ravo_iic_open("/dev/iic/L02C0E05P00", O_RDWR) == nullptr; }},
      {"ravo_scp_open", [] { return ravo_scp_open(kScp, O_RDWR) == nullptr; }},
      {"ravo_iomux_open", [] { return ravo_iomux_open(kMux, O_RDWR) == nullptr; }},
      {"ravo_fsi_open", [] { return ravo_fsi_open("/dev/fsi", O_RDONLY) == nullptr; }},
      {"ravo_aio_ctx_create", [] { return ravo_aio_ctx_create(4) == nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    ravosim::failCalls(c.op, "*", ENOMEM, 1);
    errno = 0;
    EXPECT_TRUE(c.call());
    EXPECT_EQ(errno, ENOMEM);
  }
  EXPECT_EQ(ravosim::openHandles(), 4u);

  ravo_aio_ctx* ctx = ravo_aio_ctx_create(4);
  ASSERT_NE(ctx, nullptr);
  ravo_gpio_event_t ev;
  ravosim::failCalls("ravo_gpio_event_init", "", EIO, 1);
  EXPECT_EQ(ravo_gpio_event_init(&ev, 1, 0), -1);
  ASSERT_EQ(ravo_gpio_event_init(&ev, 1, 0), 0);
  ravosim::failCalls("ravo_aiocb_init", kGpio, EIO, 1);
  EXPECT_EQ(ravo_aiocb_init(nullptr, m_h.gpio, 0, &ev, sizeof ev), nullptr);
  ravo_aio_cb* cb = ravo_aiocb_init(nullptr, m_h.gpio, 0, &ev, sizeof ev);
  ASSERT_NE(cb, nullptr);
  ravosim::failCalls("ravo_aio_ctx_submit", kGpio, EIO, 1);
  EXPECT_EQ(ravo_aio_ctx_submit(ctx, 1, &cb), -1);
  EXPECT_EQ(ravosim::pendingRequests(kGpio), 0u);
  ASSERT_EQ(ravo_aio_ctx_submit(ctx, 1, &cb), 1);
  ravosim::failCalls("ravo_aiocb_cancel", kGpio, EIO, 1);
  EXPECT_EQ(ravo_aiocb_cancel(cb), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(ravosim::pendingRequests(kGpio), 1u);
  ravosim::failCalls("ravo_aio_ctx_wait", "", EIO, 1);
  unsigned n = 0;
  ravo_aio_cb* got = nullptr;
  EXPECT_EQ(ravo_aio_ctx_wait(ctx, 1, 1, nullptr, &n, &got), -1);
  EXPECT_EQ(errno, EIO);
  ASSERT_EQ(ravo_aiocb_cancel(cb), 0);
  ravosim::failCalls("ravo_aiocb_delete", kGpio, EIO, 1);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), -1);
  EXPECT_EQ(ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE), 0);
  ravosim::failCalls("ravo_aio_ctx_break_wait", "", EIO, 1);
  EXPECT_EQ(ravo_aio_ctx_break_wait(ctx), -1);
  EXPECT_EQ(ravo_aio_ctx_destroy(ctx), 0);
}

TEST_F(SimFault, AlwaysFailingCallsStopOnlyWhenCleared) {
  ravosim::failAlways("*", "/dev/scp/*", EIO);
  uint32_t size = 0;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ravo_scp_get_size(m_h.scp, &size), -1);
  uint32_t levels = 0;
  EXPECT_EQ(ravo_gpio_read_input_pins(m_h.gpio, ~0u, &levels), 0);  // other devices are not affected
  ravosim::clearFaults();
  EXPECT_EQ(ravo_scp_get_size(m_h.scp, &size), 0);
  EXPECT_EQ(size, 64u);
}

TEST_F(SimFault, FaultsCanWaitForTheNthCall) {
  // The third GPIO write fails, the ones before and after it work.
  ravosim::failCallsAfter("ravo_gpio_write_output_pins", kGpio, EIO, 2);
  const int expected[] = {0, 0, -1, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(expected[i], ravo_gpio_write_output_pins(m_h.gpio, 1u, 1u)) << i;
  EXPECT_EQ(1u, ravosim::injectedFailures("ravo_gpio_write_output_pins"));
}

TEST_F(SimFault, CardVanishesJustBeforeTheNthCall) {
  EXPECT_FALSE(ravosim::removeCfamBeforeCall(9, 0, "*", "", 0));  // no such CFAM
  // Two writes pass; the card is pulled before the third, which meets it
  // gone like every call after it (also on its other engines).
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(2, 0, "ravo_gpio_write_output_pins", kGpio, 2));
  uint32_t size = 0;
  EXPECT_EQ(0, ravo_scp_get_size(m_h.scp, &size));  // other calls do not count
  EXPECT_EQ(0, ravo_gpio_write_output_pins(m_h.gpio, 1u, 1u));
  EXPECT_EQ(0, ravo_gpio_write_output_pins(m_h.gpio, 1u, 0u));
  EXPECT_TRUE(ravosim::cfamPresent(2, 0));
  errno = 0;
  EXPECT_EQ(-1, ravo_gpio_write_output_pins(m_h.gpio, 1u, 1u));
  EXPECT_EQ(ENODEV, errno);
  EXPECT_FALSE(ravosim::cfamPresent(2, 0));
  EXPECT_EQ(-1, ravo_scp_get_size(m_h.scp, &size));
  // The card is back once inserted; the removal acted once and is gone.
  EXPECT_EQ(0u, ravosim::injectedFailures("ravo_gpio_write_output_pins"));
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
  ravo_struct* again = ravo_gpio_open(kGpio, O_RDWR);
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(0, ravo_gpio_write_output_pins(again, 1u, 1u));
  EXPECT_TRUE(ravosim::cfamPresent(2, 0));
  EXPECT_EQ(0, ravo_gpio_close(again));
}

}  // namespace
