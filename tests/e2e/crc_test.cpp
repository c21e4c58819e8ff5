// The clock-redundancy chip of an oscillator card on the default simulated
// machine (I2C engine 5, port 0, address 0xB0, on the card's supply; error
// and interrupt lines on engine 8 pins 5 and 6, master reset on pin 7): the
// power-on set-up and the modes as the chip's registers show them, the
// chip's own switch-over seen through the library, the alarm handlers, and
// bus faults. Card 0 is activated for every test, so its chip is supplied;
// the last test pulls it out and puts it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "kav/cards/PowerControl.h"
#include "kav/clockchips/Crc.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/tree/config/StringToId.h"
#include "ravo_sim_control.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace e2e;
using ravosim::Transaction;

namespace {

const char* const kPort = "/dev/iic/L01C0E05P00";
const unsigned kChip = 0xB0;
const char* const kGpio = "/dev/gpio/L01C0E08";
const unsigned kErrPin = 5;
const unsigned kIrqPin = 6;
const unsigned kResetPin = 7;

typedef CrcHwdInterface Chip;

uint8_t reg(unsigned r) {
  uint8_t value = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(kPort, kChip, r, value));
  return value;
}

bool pinHigh(unsigned pin) {
  uint32_t levels = 0;
  EXPECT_TRUE(ravosim::readPinLevels(kGpio, levels));
  return (levels & bit(pin)) != 0;
}

// The chip's transfers: kind letter, offset and bytes, in order.
struct Seen {
  char kind;
  unsigned offset;
  std::vector<uint8_t> data;
  bool operator==(const Seen& o) const { return kind == o.kind && offset == o.offset && data == o.data; }
};
std::ostream& operator<<(std::ostream& os, const Seen& s) {
  os << s.kind << '@' << s.offset << ':';
  for (uint8_t b : s.data) os << ' ' << std::hex << static_cast<int>(b) << std::dec;
  return os;
}

std::vector<Seen> chipTransfers() {
  std::vector<Seen> out;
  for (const Transaction& t : ravosim::readTransactionLog(kPort, kChip)) {
    const char kind = t.kind == Transaction::I2cWrite ? 'W' : t.kind == Transaction::I2cRead ? 'R' : 'I';
    out.push_back({kind, t.offset, t.data});
  }
  return out;
}

class CrcE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startWithCard0Activated(); }
  static void TearDownTestSuite() { EXPECT_EQ(0, kav::stop()); }
  void SetUp() override {
    m_crc = findObject<Crc>(kAnyName, kCard0);
    ASSERT_TRUE(m_crc != nullptr);
    m_chip = m_crc->getCrcHwd();
    ASSERT_TRUE(m_chip != nullptr);
    ravosim::clearTransactionLog();
  }
  void TearDown() override {
    ravosim::clearFaults();
    ravosim::restoreOscillator("osc1.a");
    ravosim::releaseDeviceOutput(kPort, kChip, "irq");
  }

  KavPtr<Crc> m_crc;
  KavPtr<CrcHwdInterface> m_chip;
};

}  // namespace

TEST_F(CrcE2e, PowerOnSetupLeavesTheRegistersItWrites) {
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  // A reset pulse on pin 7 first.
  std::vector<Transaction> pins;
  for (const Transaction& t : ravosim::readTransactionLog(kGpio))
    if (t.kind == Transaction::PinChange && (t.mask & bit(kResetPin)) != 0) pins.push_back(t);
  ASSERT_EQ(2u, pins.size());
  EXPECT_NE(0u, pins[0].levels & bit(kResetPin));
  EXPECT_EQ(0u, pins[1].levels & bit(kResetPin));

  // Then the chip from its reset state (reg 1 0x00, reg 3 0xFF, reg 4 0x80):
  // interrupt and spreading support on, frequency check off with zero
  // values, input 1 in manual mode, outputs 0..7 on and 8 off. The card's
  // activation (the clock domain's set-up) made the outputs known already:
  // they are written from the driver's shadow.
  const std::vector<Seen> expected = {
      {'R', 1, {0x00}}, {'W', 1, {0x80}},       {'R', 1, {0x80}}, {'W', 1, {0xC0}},
      {'R', 4, {0x80}}, {'W', 4, {0x80}},       {'W', 5, {0x00, 0x00, 0x00}},
      {'R', 4, {0x80}}, {'W', 4, {0x80}},       {'R', 3, {0xFF, 0x80}},
      {'W', 3, {0xFF, 0x00}}, {'R', 3, {0xFF, 0x00}}, {'W', 3, {0xFF, 0x00}}};
  EXPECT_EQ(expected, chipTransfers());
  EXPECT_EQ(0xC0, reg(1));
  EXPECT_EQ(0xFF, reg(3));
  EXPECT_EQ(0x00, reg(4));
  EXPECT_TRUE(pinHigh(kErrPin));
  EXPECT_TRUE(pinHigh(kIrqPin));
}

TEST_F(CrcE2e, ModesSetInputsBandwidthAndSelection) {
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  const struct {
    kavosc::OscSetMode_t mode;
    unsigned enabled;
    Chip::inputSelect_t input;
    Chip::bandwidth_t bandwidth;
    bool resets;
  } cases[] = {
      {kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY, 5, Chip::INPUT_3, Chip::BANDWIDTH_2, true},
      {kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY, 3, Chip::INPUT_1, Chip::BANDWIDTH_1, true},
      {kavosc::OSC_SET_MODE_SINGLE, 1, Chip::INPUT_1, Chip::BANDWIDTH_1, true},
      {kavosc::OSC_SET_MODE_NONE, 1, Chip::INPUT_1, Chip::BANDWIDTH_1, false},
      {kavosc::OSC_SET_MODE_OTHER_SINGLE, 1, Chip::INPUT_1, Chip::BANDWIDTH_1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    unsigned before = 0;
    ASSERT_TRUE(ravosim::i2cIrqResets(kPort, kChip, before));
    ASSERT_EQ(0u, m_crc->writeMode(c.mode).getRc());
    unsigned enabled = 0;
    ASSERT_EQ(0u, m_chip->readInputEnable(enabled).getRc());
    EXPECT_EQ(c.enabled, enabled);
    Chip::mode_t mode = Chip::MODE_2;
    Chip::inputSelect_t input = Chip::INPUT_2;
    ASSERT_EQ(0u, m_chip->readSelectInputClock(mode, input).getRc());
    EXPECT_EQ(Chip::MODE_1, mode);
    EXPECT_EQ(c.input, input);
    // Register 10 reports the input the chip uses.
    EXPECT_EQ((static_cast<unsigned>(c.input) - 1) << 3, reg(10) & 0x18u);
    Chip::bandwidth_t bandwidth = Chip::BANDWIDTH_1;
    ASSERT_EQ(0u, m_chip->readBandWidth(bandwidth).getRc());
    EXPECT_EQ(c.bandwidth, bandwidth);
    unsigned after = 0;
    ASSERT_TRUE(ravosim::i2cIrqResets(kPort, kChip, after));
    EXPECT_EQ(c.resets, after > before);
  }
  EXPECT_EQ(0x7254u, m_crc->writeMode(static_cast<kavosc::OscSetMode_t>(5)).getRcWithoutLogFlag());
}

// The chip's events as the status handler reported them.
std::vector<testsupport::LoggedError> crcReports(const testsupport::RecordingLogSink& log) {
  return statusReportParts(log, " - On Crc '");
}

TEST_F(CrcE2e, SwitchOverIsSeenThroughTheLibraryAndReportedOnce) {
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  ASSERT_EQ(0u, m_crc->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_SECONDARY).getRc());
  // The chip may now switch by itself: automatic mode on input 3, the other
  // card's oscillator.
  ASSERT_EQ(0u, m_chip->selectInputClock(Chip::MODE_2, Chip::INPUT_3).getRc());
  ASSERT_EQ(0u, m_crc->enableInterrupt().getRc());
  kavosc::CrcStatus_t status;
  ASSERT_EQ(0u, m_crc->readStatus(status, true).getRc());
  EXPECT_TRUE(status.inputs[2].selected);
  EXPECT_TRUE(status.inputs[1].disabled);
  EXPECT_FALSE(status.inputs[2].firstErrorPresent);

  testsupport::RecordingLogSink log;
  ravosim::clearTransactionLog();
  ASSERT_TRUE(ravosim::failOscillator("osc1.a"));

  // Both lines go active (input 3 lost, switched over); each handler reports
  // its event with the flags the chip showed: both the same. The oscillator
  // status handler logs both, close together, as one entry.
  ASSERT_TRUE(log.waitForErrors([](const std::vector<testsupport::LoggedError>& errors) {
    for (const auto& e : errors)
      if (e.rc == 0x7014u) return true;
    return false;
  }));
  std::vector<testsupport::LoggedError> events = crcReports(log);
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(1u, log.errorsWithRc(0x7014u).size());
  std::vector<std::string> kinds;
  const std::string head = "SlotId=0x00000010 - On Crc 'OscCardCrc' a ";
  for (const auto& e : events) {
    EXPECT_EQ(0x28C07211u, e.src);  // the row of keys OscStatusH and Info
    EXPECT_FALSE(e.asynchronous);
    const size_t at = e.text.find(head);
    ASSERT_NE(std::string::npos, at) << e.text;
    const size_t kindEnd = e.text.find(' ', at + head.size());
    kinds.push_back(e.text.substr(at + head.size(), kindEnd - at - head.size()));
    EXPECT_NE(std::string::npos, e.text.find(" HW-Event was detected! \nCurrent Errors: '3'; '4'; ")) << e.text;
  }
  std::sort(kinds.begin(), kinds.end());
  EXPECT_EQ((std::vector<std::string>{"CrcError", "CrcInterrupt"}), kinds);

  // The switch-over as the library sees it: input 1 in use now.
  Chip::mode_t mode = Chip::MODE_1;
  Chip::inputSelect_t input = Chip::INPUT_3;
  ASSERT_EQ(0u, m_chip->readSelectInputClock(mode, input).getRc());
  EXPECT_EQ(Chip::MODE_2, mode);
  EXPECT_EQ(Chip::INPUT_1, input);

  // Both lines were still active after the report: held, not re-armed into
  // a storm. The re-arm job resets the flags: the switch-over flag goes and
  // the error line with it, which is armed again; input 3 stays lost, so
  // the interrupt line stays active and held.
  ASSERT_TRUE(waitFor([&] { return m_crc->getHeldLines() == 2u; }, 5000)) << m_crc->getHeldLines();
  EXPECT_TRUE(pinHigh(kErrPin));
  EXPECT_FALSE(pinHigh(kIrqPin));
  ASSERT_EQ(0u, m_crc->readStatus(status, false).getRc());
  EXPECT_TRUE(status.inputs[0].selected);
  EXPECT_TRUE(status.inputs[2].firstErrorPresent);  // still lost
  EXPECT_FALSE(status.error4Present);               // reset by the re-arm job
  // Give a storm the time to show itself: still the two interrupts only.
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * scaled(Crc::kRearmDelayMs)));
  auto interrupts = [] {
    size_t n = 0;
    for (const Transaction& t : ravosim::readTransactionLog(kGpio)) n += t.kind == Transaction::Interrupt;
    return n;
  };
  EXPECT_EQ(2u, interrupts()) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kGpio));
  EXPECT_EQ(2u, crcReports(log).size());

  // The oscillator back: the next re-arm run finds the line released and
  // arms it; nothing more is reported.
  ASSERT_TRUE(ravosim::restoreOscillator("osc1.a"));
  ASSERT_TRUE(waitFor([&] { return m_crc->getHeldLines() == 0u; }, 5000));
  EXPECT_TRUE(pinHigh(kIrqPin));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * scaled(Crc::kRearmDelayMs)));
  EXPECT_EQ(2u, interrupts());
  EXPECT_EQ(2u, crcReports(log).size());
  ASSERT_EQ(0u, m_crc->writeMode(kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY).getRc());
}

TEST_F(CrcE2e, StuckInterruptLineIsReportedOnceAndArmedAgainWhenReleased) {
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  ASSERT_EQ(0u, m_crc->enableInterrupt().getRc());
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::forceDeviceOutput(kPort, kChip, "irq", false));
  ASSERT_TRUE(waitFor([&] { return !crcReports(log).empty(); }));
  // Give a storm the time to show itself; the re-arm job keeps finding the
  // line active.
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * scaled(Crc::kRearmDelayMs)));
  std::vector<testsupport::LoggedError> events = crcReports(log);
  ASSERT_EQ(1u, events.size());
  EXPECT_NE(std::string::npos, events[0].text.find("a CrcInterrupt HW-Event"));
  EXPECT_NE(std::string::npos, events[0].text.find("Current Errors: 'NONE'"));
  EXPECT_EQ(2u, m_crc->getHeldLines());
  auto interrupts = [] {
    size_t n = 0;
    for (const Transaction& t : ravosim::readTransactionLog(kGpio)) n += t.kind == Transaction::Interrupt;
    return n;
  };
  EXPECT_EQ(1u, interrupts());
  // Released: armed again by the job, and quiet.
  ASSERT_TRUE(ravosim::releaseDeviceOutput(kPort, kChip, "irq"));
  ASSERT_TRUE(waitFor([&] { return m_crc->getHeldLines() == 0u; }, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * scaled(Crc::kRearmDelayMs)));
  EXPECT_EQ(1u, crcReports(log).size());
  EXPECT_EQ(1u, interrupts());
  // Stuck again: reported again, once.
  ASSERT_TRUE(ravosim::forceDeviceOutput(kPort, kChip, "irq", false));
  ASSERT_TRUE(waitFor([&] { return crcReports(log).size() >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * scaled(Crc::kRearmDelayMs)));
  EXPECT_EQ(2u, crcReports(log).size());
  // Released for the tests after this one: no handler may touch the chip
  // behind their backs.
  ASSERT_TRUE(ravosim::releaseDeviceOutput(kPort, kChip, "irq"));
  ASSERT_TRUE(waitFor([&] { return m_crc->getHeldLines() == 0u; }, 5000));
}

TEST_F(CrcE2e, BusFaultsGiveAClearErrorLoggedOnce) {
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  testsupport::RecordingLogSink log;
  // Two tries fail with EIO; the third (the second retry) goes through.
  ravosim::clearTransactionLog();
  ravosim::failCalls("ravo_siic_read", kPort, EIO, 2);
  unsigned pattern = 9;
  EXPECT_EQ(0u, m_chip->readDividerPattern(pattern).getRc());
  EXPECT_EQ(0u, pattern);
  EXPECT_TRUE(log.errors().empty());
  const std::vector<Transaction> tries = ravosim::readTransactionLog(kPort, kChip);
  ASSERT_EQ(3u, tries.size());
  EXPECT_EQ(EIO, tries[0].result);
  EXPECT_EQ(EIO, tries[1].result);
  EXPECT_EQ(0, tries[2].result);

  // The chip gone from the bus: every try NACKs; the first failure is
  // logged with bus and address, the next only marked logged.
  ASSERT_TRUE(ravosim::removeI2cDevice(kPort, kChip));
  ErrorData first = m_chip->enableInterrupt();
  ErrorData second = m_chip->disableInterrupt();
  ASSERT_TRUE(ravosim::insertI2cDevice(kPort, kChip));
  EXPECT_EQ(0x70000u + ENXIO, first.getRcWithoutLogFlag());
  EXPECT_EQ(0x70000u + ENXIO, second.getRcWithoutLogFlag());
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, second.getLogState());
  std::vector<testsupport::LoggedError> logged = log.errorsWithRc(0x70000u + ENXIO);
  ASSERT_EQ(1u, logged.size());
  EXPECT_NE(std::string::npos, logged[0].text.find("read also fails after 2 retries")) << logged[0].text;
  EXPECT_NE(std::string::npos, logged[0].text.find("bus=x0, address=xb0")) << logged[0].text;
  EXPECT_EQ(get_id_by_string("FSI_I2C_ACCESS"), logged[0].primaryKey);
  EXPECT_EQ(0x28C07103u, logged[0].src);
  // The chip is at its reset state again (it was re-inserted); a power-on
  // set-up brings it back.
  ASSERT_EQ(0u, m_crc->performPowerOnSetup().getRc());
  EXPECT_EQ(0xC0, reg(1));
  EXPECT_EQ(0x00, reg(4));

  // The n-th transfer of a set-up fails: the error is reported, the other
  // steps still run and leave their registers.
  ravosim::clearTransactionLog();
  ravosim::failCallsAfter("ravo_siic_read", kPort, EIO, 2, 3);  // the third read, all its tries
  ErrorData rc = m_crc->performPowerOnSetup();
  EXPECT_EQ(0x70000u + EIO, rc.getRcWithoutLogFlag());
  EXPECT_EQ(0xC0, reg(1));
  EXPECT_EQ(0x00, reg(4));
  EXPECT_EQ(1u, log.errorsWithRc(0x70000u + ENXIO).size() + log.errorsWithRc(0x70000u + EIO).size());
}

TEST_F(CrcE2e, CardVanishingDuringPowerOnSetupFailsCleanly) {
  testsupport::RecordingLogSink log;
  // Pulled after the set-up's first register write.
  ASSERT_TRUE(ravosim::removeCfamBeforeCall(1, 0, "ravo_siic_write", kPort, 1));
  ErrorData rc = m_crc->performPowerOnSetup();
  EXPECT_FALSE(ravosim::cfamPresent(1, 0));
  // The first failure is the engine's: its device is gone. The chip saw the
  // first register's read and write and the next read, nothing after.
  EXPECT_EQ(0x70000u + ENODEV, rc.getRcWithoutLogFlag());
  std::vector<Transaction> seen;
  for (const Transaction& t : ravosim::readTransactionLog(kPort, kChip))
    if (t.result == 0) seen.push_back(t);
  ASSERT_EQ(3u, seen.size()) << ravosim::formatTransactionLog(ravosim::readTransactionLog(kPort, kChip));
  EXPECT_EQ(Transaction::I2cRead, seen[0].kind);
  EXPECT_EQ(Transaction::I2cWrite, seen[1].kind);
  EXPECT_EQ(Transaction::I2cRead, seen[2].kind);
  // The output shadow holds what was asked, nothing was read.
  KavPtr<CrcHwdIcs872Sxx> chip(m_chip);
  EXPECT_EQ(0x1FFu, chip->getEnabledOutputsValue() | chip->getEnabledOutputsMask());
  // The chip logs its first failure only (an earlier test may have made
  // it): this one is logged or marked logged, and so is every later call,
  // which fails the same way without a new entry.
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, rc.getLogState());
  const size_t entries = log.errors().size();
  EXPECT_LE(entries, 1u);
  unsigned pattern = 0;
  ErrorData again = m_chip->readDividerPattern(pattern);
  EXPECT_EQ(0x70000u + ENODEV, again.getRcWithoutLogFlag());
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, again.getLogState());
  EXPECT_EQ(entries, log.errors().size());
  // Back in the slot, the chip answers again (at its reset state).
  ASSERT_TRUE(ravosim::insertCfam(1, 0));
}
