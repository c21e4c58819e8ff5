// The transaction log of the simulated machine: I2C transfers as the bus saw
// them, pin changes (also through wiring), interrupts and condition resets,
// in order; the bounded ring, filters, switching it off and the text form;
// and its use from several threads at once.
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ravo.h"
#include "ravo_sim_control.h"
#include "tests/support/TempDir.h"
#include "tests/support/SimMachine.h"

namespace {

using ravosim::Transaction;

const char* const kMachine = R"(<machine name="log-test">
  <cfam link="0" cascade="0">
    <gpio number="8">
      <pin n="2" wire="/dev/gpio/L00C0E09:5"/>
    </gpio>
    <gpio number="9"/>
  </cfam>
  <cfam link="1" cascade="0">
    <i2c number="5" ports="4">
      <device port="3" address="0xD0" size="256"/>
      <device port="3" address="0xD2" size="256"/>
    </i2c>
  </cfam>
</machine>)";

const char* const kPort = "/dev/iic/L01C0E05P03";
const char* const kGpio8 = "/dev/gpio/L00C0E08";
const char* const kGpio9 = "/dev/gpio/L00C0E09";

constexpr uint32_t pin(unsigned n) { return 0x80000000u >> n; }

class SimLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    ASSERT_TRUE(testsupport::freshSimMachine(m_dir.path(), kMachine, "log-test.xml"));
    ravosim::setTransactionLog(true);
    ravosim::setTransactionLogCapacity(8192);
    m_iic = ravo_iic_open(kPort, O_RDWR | O_SYNC);
    m_gpio = ravo_gpio_open(kGpio8, O_RDWR);
    ASSERT_NE(m_iic, nullptr);
    ASSERT_NE(m_gpio, nullptr);
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    if (m_iic) {
      EXPECT_EQ(ravo_iic_close(m_iic), 0);
    }
    if (m_gpio) {
      EXPECT_EQ(ravo_gpio_close(m_gpio), 0);
    }
    EXPECT_EQ(ravosim::openHandles(), 0u);
    ravosim::setTransactionLog(true);
  }
  testsupport::TempDir m_dir{"ravo-sim-log"};
  ravo_struct* m_iic = nullptr;
  ravo_struct* m_gpio = nullptr;
};

TEST_F(SimLog, I2cTransfersAreLoggedAsTheBusSawThem) {
  const uint8_t two[2] = {0x5A, 0x01};
  ASSERT_EQ(ravo_siic_write(m_iic, 0xD0, 0x10, two, 2), 2);
  uint8_t back[2] = {};
  ASSERT_EQ(ravo_siic_read(m_iic, 0xD0, 0x10, back, 2), 2);
  errno = 0;
  EXPECT_EQ(ravo_siic_write(m_iic, 0xD4, 0x00, two, 1), -1);  // nobody there
  EXPECT_EQ(errno, ENXIO);
  ravosim::failCalls("ravo_siic_read", kPort, EIO, 1);
  EXPECT_EQ(ravo_siic_read(m_iic, 0xD2, 0x20, back, 1), -1);  // fails before the bus
  ASSERT_EQ(ravo_siic_reset_irq(m_iic, 0xD2, 0x03, two, 1), 1);

  const std::vector<Transaction> log = ravosim::readTransactionLog();
  ASSERT_EQ(log.size(), 5u) << ravosim::formatTransactionLog(log);
  struct Expect {
    Transaction::Kind kind;
    unsigned address;
    uint32_t offset;
    std::vector<uint8_t> data;
    int result;
    uint64_t busNs;  // at 100 kHz: 90 us per byte on the wire
  };
  const Expect expected[] = {
      {Transaction::I2cWrite, 0xD0, 0x10, {0x5A, 0x01}, 0, 4 * 90000},
      {Transaction::I2cRead, 0xD0, 0x10, {0x5A, 0x01}, 0, 5 * 90000},  // address sent twice
      {Transaction::I2cWrite, 0xD4, 0x00, {0x5A}, ENXIO, 90000},       // the address byte only
      {Transaction::I2cRead, 0xD2, 0x20, {}, EIO, 0},
      {Transaction::I2cResetIrq, 0xD2, 0x03, {0x5A}, 0, 3 * 90000},
  };
  uint64_t total = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i].kind, expected[i].kind);
    EXPECT_EQ(log[i].device, kPort);
    EXPECT_EQ(log[i].address, expected[i].address);
    EXPECT_TRUE(log[i].hasOffset);
    EXPECT_EQ(log[i].offsetWidth, 1u);
    EXPECT_EQ(log[i].offset, expected[i].offset);
    EXPECT_EQ(log[i].data, expected[i].data);
    EXPECT_EQ(log[i].result, expected[i].result);
    EXPECT_EQ(log[i].busNs, expected[i].busNs);
    if (i > 0) {
      EXPECT_EQ(log[i].seq, log[i - 1].seq + 1);
      EXPECT_GE(log[i].time, log[i - 1].time);
    }
    total += log[i].busNs;
  }
  EXPECT_EQ(total, ravosim::busTimeNs(kPort));

  // Filtered by device address, and by a device pattern that matches nothing.
  const std::vector<Transaction> d2 = ravosim::readTransactionLog("/dev/iic/*", 0xD2);
  ASSERT_EQ(d2.size(), 2u);
  EXPECT_EQ(d2[0].seq, log[3].seq);
  EXPECT_EQ(d2[1].seq, log[4].seq);
  EXPECT_TRUE(ravosim::readTransactionLog("/dev/iic/L02C0*").empty());
}

TEST_F(SimLog, TextIsOneDecodedLinePerTransaction) {
  const uint8_t two[2] = {0x5A, 0x01};
  ASSERT_EQ(ravo_siic_write(m_iic, 0xD0, 0x10, two, 2), 2);
  EXPECT_EQ(ravo_siic_write(m_iic, 0xD4, 0x00, two, 1), -1);
  ASSERT_TRUE(ravosim::setInputLevel(kGpio8, 3, true));
  const std::string text = ravosim::formatTransactionLog(ravosim::readTransactionLog());
  const std::string lines[] = {
      "I2C W   /dev/iic/L01C0E05P03 0xD0 @0x10: 5A 01  ok  bus 360.0 us\n",
      "I2C W   /dev/iic/L01C0E05P03 0xD4 @0x00: 5A  ENXIO  bus 90.0 us\n",
      "PIN     /dev/gpio/L00C0E08 3:1\n",
  };
  size_t at = 0;
  for (const std::string& line : lines) {
    const size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "in\n" << text;
    at = found + line.size();
  }
  EXPECT_EQ(text.compare(0, 14, "    0.000000  "), 0) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST_F(SimLog, PinChangesInterruptsAndResetsInOrder) {
  ravo_struct* src = ravo_gpio_open(kGpio9, O_RDWR);
  ASSERT_NE(src, nullptr);
  ravo_aio_ctx* ctx = ravo_aio_ctx_create(4);
  ASSERT_NE(ctx, nullptr);
  ravo_gpio_event_t ev;
  ASSERT_EQ(ravo_gpio_event_init(&ev, pin(2), 0), 0);
  ravo_aio_cb* cb = ravo_aiocb_init(nullptr, m_gpio, 0, &ev, sizeof ev);
  ASSERT_NE(cb, nullptr);
  ASSERT_EQ(ravo_aio_ctx_submit(ctx, 1, &cb), 1);

  // E09 pin 5 drives high; E08 pin 2 is wired to it and fires the request.
  ASSERT_EQ(ravo_gpio_set_mode(src, pin(5), RAVO_GPIO_MODE_OUTPUT_PUSHPULL), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(5), pin(5)), 0);
  ASSERT_EQ(ravo_gpio_write_output_pins(src, pin(5), pin(5)), 0);  // no change, nothing logged
  ASSERT_EQ(ravo_gpio_reset_interrupt_condition(m_gpio, pin(2)), 0);
  ASSERT_TRUE(ravosim::setInputLevel(kGpio8, 7, true));

  const std::vector<Transaction> log = ravosim::readTransactionLog("/dev/gpio/*");
  ASSERT_EQ(log.size(), 5u) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(log[0].kind, Transaction::PinChange);
  EXPECT_EQ(log[1].kind, Transaction::PinChange);
  // Both engines changed in the same step; the interrupt comes after them.
  EXPECT_EQ((log[0].device == kGpio9 ? log[0] : log[1]).mask, pin(5));
  const Transaction& wired = log[0].device == kGpio8 ? log[0] : log[1];
  EXPECT_EQ(wired.device, kGpio8);
  EXPECT_EQ(wired.mask, pin(2));
  EXPECT_EQ(wired.levels, pin(2));
  EXPECT_EQ(log[2].kind, Transaction::Interrupt);
  EXPECT_EQ(log[2].device, kGpio8);
  EXPECT_EQ(log[2].mask, pin(2));
  EXPECT_EQ(log[3].kind, Transaction::ConditionReset);
  EXPECT_EQ(log[3].mask, pin(2));
  EXPECT_EQ(log[3].levels, pin(2));  // the condition was latched
  EXPECT_EQ(log[4].kind, Transaction::PinChange);
  EXPECT_EQ(log[4].mask, pin(7));
  EXPECT_EQ(log[4].levels, pin(2) | pin(7));

  unsigned n = 0;
  ravo_aio_cb* done = nullptr;
  ASSERT_EQ(ravo_aio_ctx_wait(ctx, 1, 1, nullptr, &n, &done), 0);
  EXPECT_EQ(ravo_aiocb_delete(done, RAVO_AIOCB_DELETE_FREE), 0);
  EXPECT_EQ(ravo_aio_ctx_destroy(ctx), 0);
  EXPECT_EQ(ravo_gpio_close(src), 0);
}

TEST_F(SimLog, RingKeepsTheNewestAndCountsTheDropped) {
  ravosim::setTransactionLogCapacity(4);
  uint8_t b = 0;
  for (uint8_t i = 0; i < 6; ++i) {
    b = i;
    ASSERT_EQ(ravo_siic_write(m_iic, 0xD0, i, &b, 1), 1);
  }
  std::vector<Transaction> log = ravosim::readTransactionLog();
  ASSERT_EQ(log.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(log[i].offset, i + 2) << i;
  EXPECT_EQ(ravosim::droppedTransactions(), 2u);
  ravosim::clearTransactionLog();
  EXPECT_TRUE(ravosim::readTransactionLog().empty());
  EXPECT_EQ(ravosim::droppedTransactions(), 0u);
}

TEST_F(SimLog, OffRecordsNothingAndOnAgainStartsFromTheLevelsThen) {
  ravosim::setTransactionLog(false);
  EXPECT_FALSE(ravosim::transactionLogOn());
  uint8_t b = 1;
  ASSERT_EQ(ravo_siic_write(m_iic, 0xD0, 0, &b, 1), 1);
  ASSERT_TRUE(ravosim::setInputLevel(kGpio8, 3, true));
  EXPECT_TRUE(ravosim::readTransactionLog().empty());
  ravosim::setTransactionLog(true);
  // Pin 3 went high while the log was off: no change is made up for it.
  ASSERT_TRUE(ravosim::setInputLevel(kGpio8, 4, true));
  const std::vector<Transaction> log = ravosim::readTransactionLog();
  ASSERT_EQ(log.size(), 1u) << ravosim::formatTransactionLog(log);
  EXPECT_EQ(log[0].mask, pin(4));
}

// Run under the tsan preset: pins driven, devices written and the log read
// from several threads at once.
TEST_F(SimLog, DrivenWrittenAndReadFromSeveralThreads) {
  ravosim::setTransactionLogCapacity(256);
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (unsigned i = 0; i < 400; ++i) ravosim::setInputLevel(kGpio8, 10 + i % 4, (i & 4) != 0);
  });
  threads.emplace_back([&] {
    for (unsigned i = 0; i < 400; ++i) {
      ravosim::drivePin(kGpio9, 5, (i & 1) != 0);  // E08 pin 2 follows through its wire
      if (i % 3 == 0) ravosim::releasePin(kGpio9, 5);
    }
  });
  threads.emplace_back([&] {
    ravo_struct* h = ravo_iic_open(kPort, O_RDWR | O_SYNC);
    uint8_t b = 0;
    for (unsigned i = 0; i < 400 && h; ++i) {
      b = static_cast<uint8_t>(i);
      ravo_siic_write(h, 0xD2, static_cast<uint8_t>(i), &b, 1);
    }
    if (h) ravo_iic_close(h);
  });
  threads.emplace_back([&] {
    while (!stop.load()) {
      const std::vector<Transaction> log = ravosim::readTransactionLog();
      for (size_t i = 1; i < log.size(); ++i) ASSERT_GT(log[i].seq, log[i - 1].seq);
      ravosim::formatTransactionLog(log);
      ravosim::readTransactionLog(kGpio8);
    }
  });
  threads[0].join();
  threads[1].join();
  threads[2].join();
  stop = true;
  threads[3].join();
  EXPECT_EQ(ravosim::readTransactionLog().size(), 256u);
  EXPECT_GT(ravosim::droppedTransactions(), 0u);
}

}  // namespace
