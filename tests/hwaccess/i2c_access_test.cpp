// A device's I2C access over the engine object on the simulated machine:
// configuration, retries with their pauses, the device's supply, linking,
// and logging the first failure. A test chip driver holds the I2cAccess as
// the clock chips do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/i2c/I2cAccess.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/hwaccess/i2c/i2c_access.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"
#include "tests/hwaccess/I2cTestSupport.h"
#include "tests/support/RecordingLogSink.h"

using namespace i2ctest;
using Bytes = std::vector<unsigned char>;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
std::string textOf(const ErrorData& err) { return std::string(err.getErrorBuffer(), err.getErrorBufferLen()); }

// The eleven fields of a description, in order.
std::vector<unsigned int> fields(const i2c::i2cInfo_s& i) {
  return {static_cast<unsigned int>(i.transferMode), i.port, i.deviceAddress, i.speed, i.offsetWidth, i.pageSelect,
          i.writeDelay, i.writeSplit, i.timeout, i.writeRetryDelay, i.writeRetryCount};
}

// A chip driver: links its I2cAccess at init step 3 to its single hidden
// I2C link and unlinks it at termination step 5.
class TestChip : public QueryBase {
 public:
  TestChip() : m_i2cAccess(this) {}
  BaseErrorData init(initSequence::Id_t step) override {
    BaseErrorData rc = QueryBase::init(step);
    rc = m_i2cAccess.init(step);
    if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
      unsigned int count = 0;
      rc = m_i2cAccess.linkI2cAccess(KavPtr<LinkBase>(singleHiddenChild<I2cHwaInterfaceLink>(*this, count)));
    }
    return rc;
  }
  BaseErrorData terminate(terminateSequence::Id_t step) override {
    BaseErrorData rc = m_i2cAccess.terminate(step);
    if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) m_i2cAccess.unlinkI2cAccess();
    rc = QueryBase::terminate(step);
    return rc;
  }
  I2cAccess m_i2cAccess;
};

typedef std::map<unsigned int, std::string> Attributes;

// A chip at 0xD0 on port 1: slave-address transfers, one offset byte, 2
// read and 1 write retries 30 ms apart, always supplied.
Attributes chipAttributes() {
  return {{kav::sid::I2C_BUS_NO, "1"},
          {kav::sid::I2C_DEVICE_ADDRESS, "0xD0"},
          {kav::sid::I2C_TRANSFER_SPEED, "100000"},
          {kav::sid::I2C_TIMEOUT, "100"},
          {kav::sid::I2C_TRANSFER_MODE, get_string_by_id(kav::sid::I2C_MODE_SLAVE_ADDRESS)},
          {kav::sid::I2C_OFFSET_BYTES, "1"},
          {kav::sid::I2C_PAGE_SELECT, "0"},
          {kav::sid::I2C_WRITE_SPLIT, "0"},
          {kav::sid::I2C_WRITE_DELAY, "0"},
          {kav::sid::I2C_WRITE_RETRY_DELAY, "0"},
          {kav::sid::I2C_WRITE_RETRY_COUNT, "0"},
          {kav::sid::I2C_READ_RETRIES, "2"},
          {kav::sid::I2C_WRITE_RETRIES, "1"},
          {kav::sid::DELAY_MS, "30"},
          {kav::sid::DEVICE_SUPPLY, get_string_by_id(kav::sid::SUPPLY_ALWAYS_ON)}};
}

const char* const kSwitchedSupply = "OscCardVdd";

BaseErrorData configure(I2cAccess& access, QueryBase* parent, const Attributes& attributes) {
  std::unique_ptr<BinaryReaderNode> node(cardstest::element("Chip", {}));
  for (const auto& a : attributes) node->addAttribute(get_string_by_id(a.first), a.second);
  return access.setAttributes(AttributeInfo(parent, node.get(), nullptr));
}

class I2cAccessTest : public I2cFixture {
 protected:
  // A configured chip in the container with its hidden link to the
  // engine (named targetName), linked (init step 3).
  KavPtr<TestChip> addChip(const Attributes& attributes, const char* targetName = "I2C-Link_1-Engine_0") {
    KavPtr<TestChip> chip(new TestChip());
    cardstest::link(m_container.getRawPointer(), chip.getRawPointer());
    EXPECT_EQ(0u, configure(chip->m_i2cAccess, m_container.getRawPointer(), attributes).getRc());
    KavPtr<I2cHwaInterfaceLink> link(new I2cHwaInterfaceLink());
    link->setHidden(true);
    link->setScopeId(kav::sid::SCOPE_CONTAINER);
    link->setTargetInstanceName(get_id_by_string(targetName));
    cardstest::link(chip.getRawPointer(), link.getRawPointer());
    EXPECT_EQ(0u, link->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, chip->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    return chip;
  }
  KavPtr<TestChip> addChip() { return addChip(chipAttributes()); }
};

Attributes with(Attributes a, unsigned int id, const std::string& value) {
  a[id] = value;
  return a;
}

}  // namespace

// Every attribute lands in its field; the transfer mode comes by name.
TEST_F(I2cAccessTest, AttributesFillTheDescription) {
  I2cAccess access(nullptr);
  Attributes a = chipAttributes();
  a[kav::sid::I2C_WRITE_SPLIT] = "8";
  a[kav::sid::I2C_WRITE_DELAY] = "5";
  a[kav::sid::I2C_WRITE_RETRY_DELAY] = "3";
  a[kav::sid::I2C_WRITE_RETRY_COUNT] = "4";
  a[kav::sid::I2C_PAGE_SELECT] = "3";
  a[kav::sid::I2C_OFFSET_BYTES] = "2";
  ASSERT_EQ(0u, configure(access, m_container.getRawPointer(), a).getRc());
  // mode, port, address, speed, offset width, page select, write delay,
  // write split, time-out, write-retry delay and count
  EXPECT_EQ((std::vector<unsigned int>{1, 1, 0xD0, 100000, 2, 3, 5, 8, 100, 3, 4}), fields(access.getI2cInfo()));
  EXPECT_EQ(2u, access.getNumReadRetries());
  EXPECT_EQ(1u, access.getNumWriteRetries());
  EXPECT_EQ(30u, access.getRetryDelayMsec());
  EXPECT_EQ(kav::sid::SUPPLY_ALWAYS_ON, access.getDeviceSupplyInfo().getSupplyVoltage());
  EXPECT_TRUE(access.hasDevicePower());
}

// Values outside what a transfer can use are refused and leave the field
// undefined; the first failure is the result, and reading goes on.
TEST_F(I2cAccessTest, AttributeValuesAreChecked) {
  const std::string slave = get_string_by_id(kav::sid::I2C_MODE_SLAVE_ADDRESS);
  const struct {
    const char* what;
    Attributes attributes;
    unsigned int rc;
    int mode;
    unsigned int offsetWidth;
    unsigned int pageSelect;
  } cases[] = {
      {"slave address", chipAttributes(), 0, 1, 1, 0},
      {"special read", with(chipAttributes(), kav::sid::I2C_TRANSFER_MODE, get_string_by_id(kav::sid::I2C_MODE_SPECIAL_READ)), 0, 2, 1, 0},
      {"master", with(chipAttributes(), kav::sid::I2C_TRANSFER_MODE, get_string_by_id(kav::sid::I2C_MODE_MASTER)), 0, 0, 1, 0},
      {"unknown mode", with(chipAttributes(), kav::sid::I2C_TRANSFER_MODE, "GPIO"), 0x716B, -1, 1, 0},
      {"no offset", with(chipAttributes(), kav::sid::I2C_OFFSET_BYTES, "0"), 0, 1, 0, 0},
      {"offset width 4", with(chipAttributes(), kav::sid::I2C_OFFSET_BYTES, "4"), 0, 1, 4, 0},
      {"offset width 3", with(chipAttributes(), kav::sid::I2C_OFFSET_BYTES, "3"), 0x7013, 1, 0xFFFFFFFF, 0},
      {"offset width 5", with(chipAttributes(), kav::sid::I2C_OFFSET_BYTES, "5"), 0x7013, 1, 0xFFFFFFFF, 0},
      {"page select 4", with(chipAttributes(), kav::sid::I2C_PAGE_SELECT, "4"), 0x7013, 1, 1, 0xFFFFFFFF},
      {"unknown mode first", with(with(chipAttributes(), kav::sid::I2C_OFFSET_BYTES, "3"), kav::sid::I2C_TRANSFER_MODE, "GPIO"), 0x716B, -1, 0xFFFFFFFF, 0},
      {"malformed page select", with(chipAttributes(), kav::sid::I2C_PAGE_SELECT, "x"), 0x7149, 1, 1, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    I2cAccess access(nullptr);
    EXPECT_EQ(c.rc, configure(access, m_container.getRawPointer(), c.attributes).getRc());
    EXPECT_EQ(c.mode, access.getI2cInfo().transferMode);
    EXPECT_EQ(c.offsetWidth, access.getI2cInfo().offsetWidth);
    EXPECT_EQ(c.pageSelect, access.getI2cInfo().pageSelect);
    // Read after the failure all the same.
    EXPECT_EQ(30u, access.getRetryDelayMsec());
    EXPECT_EQ(kav::sid::SUPPLY_ALWAYS_ON, access.getDeviceSupplyInfo().getSupplyVoltage());
  }
}

// A missing attribute is 0x7145; the mode is mapped only when the reads
// before it succeeded.
TEST_F(I2cAccessTest, MissingAttributes) {
  for (unsigned int id : {kav::sid::I2C_BUS_NO, kav::sid::I2C_TRANSFER_MODE, kav::sid::I2C_OFFSET_BYTES,
                          kav::sid::I2C_READ_RETRIES, kav::sid::DEVICE_SUPPLY}) {
    SCOPED_TRACE(get_string_by_id(id));
    Attributes a = chipAttributes();
    a.erase(id);
    I2cAccess access(nullptr);
    EXPECT_EQ(0x7145u, configure(access, m_container.getRawPointer(), a).getRc());
    EXPECT_EQ(id == kav::sid::I2C_BUS_NO || id == kav::sid::I2C_TRANSFER_MODE ? -1 : 1,
              access.getI2cInfo().transferMode);
    EXPECT_EQ(30u, access.getRetryDelayMsec());
  }
}

// The retries: at most R + 1 tries with R pauses of the retry delay between
// them (R: read retries for reads, write retries for writes and interrupt
// resets), the last try's error with the retry count in its text.
TEST_F(I2cAccessTest, TransfersAreRetried) {
  addEngine();
  KavPtr<TestChip> chip = addChip();  // 2 read retries, 1 write retry, 30 ms
  ASSERT_TRUE(ravosim::pokeI2cRegister(kPort, kDevice, 0x21, 0x5C));
  enum Op { READ, WRITE, RESET_IRQ };
  const struct {
    const char* what;
    Op op;
    const char* call;
    unsigned int failures;  // 0: every try fails
    unsigned int tries;
    unsigned int rc;
    const char* text;
  } cases[] = {
      {"read always fails", READ, "ravo_siic_read", 0, 3, 0x70005, "read also fails after 2 retries"},
      {"read fails twice", READ, "ravo_siic_read", 2, 3, 0, nullptr},
      {"read fails once", READ, "ravo_siic_read", 1, 2, 0, nullptr},
      {"write always fails", WRITE, "ravo_siic_write", 0, 2, 0x70005, "write also fails after 1 retries"},
      {"reset always fails", RESET_IRQ, "ravo_siic_reset_irq", 0, 2, 0x70005, "resetIrq also fails after 1 retries"},
  };
  const I2cAccess& access = chip->m_i2cAccess;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ravosim::clearFaults();
    ravosim::clearTransactionLog();
    if (c.failures == 0) {
      ravosim::failAlways(c.call, kPort, EIO);
    } else {
      ravosim::failCalls(c.call, kPort, EIO, c.failures);
    }
    unsigned char byte = 0x5C;
    unsigned int len = 1;
    ErrorData err = c.op == READ ? access.read(0x21, &byte, len)
                                 : c.op == WRITE ? access.write(0x21, &byte, 1) : access.resetIrq(0x21, &byte, 1);
    EXPECT_EQ(c.rc, err.getRcWithoutLogFlag());
    if (c.text != nullptr) {
      EXPECT_TRUE(contains(textOf(err), c.text)) << textOf(err);
      EXPECT_TRUE(contains(textOf(err), "I2C Access Error on FSI  rc=0x00070005")) << textOf(err);
    } else {
      EXPECT_EQ(0x5Cu, byte);
      EXPECT_EQ(1u, len);
    }
    const std::vector<ravosim::Transaction> log = transfers();
    ASSERT_EQ(c.tries, log.size());
    for (size_t i = 0; i < log.size(); ++i) {
      const bool last = i + 1 == log.size();
      EXPECT_EQ(last && c.rc == 0 ? 0 : EIO, log[i].result) << "try " << i;
      EXPECT_EQ(0x21u, log[i].offset);
      // The pause before each retry.
      if (i > 0) {
        EXPECT_GE(log[i].time - log[i - 1].time, std::chrono::milliseconds(30)) << "try " << i;
      }
    }
  }
}

TEST_F(I2cAccessTest, WithoutRetriesAFailedWriteIsReturnedAtOnce) {
  addEngine();
  Attributes a = chipAttributes();
  a[kav::sid::I2C_WRITE_RETRIES] = "0";
  KavPtr<TestChip> chip = addChip(a);
  ravosim::failAlways("ravo_siic_write", kPort, EIO);
  const unsigned char byte = 1;
  ErrorData err = chip->m_i2cAccess.write(3, &byte, 1);
  EXPECT_EQ(0x70005u, err.getRcWithoutLogFlag());
  EXPECT_TRUE(contains(textOf(err), "write also fails after 0 retries")) << textOf(err);
  EXPECT_EQ(1u, transfers().size());
}

// A read that asked for more than the device could give is retried with the
// whole length again.
TEST_F(I2cAccessTest, ARetryAsksForTheWholeLengthAgain) {
  addEngine();
  KavPtr<TestChip> chip = addChip();
  ravosim::failCalls("ravo_siic_read", kPort, EIO, 1);
  Bytes buffer(4, 0);
  unsigned int len = 4;
  ASSERT_EQ(0u, chip->m_i2cAccess.read(0x10, buffer.data(), len).getRc());
  EXPECT_EQ(4u, len);
  const std::vector<ravosim::Transaction> log = transfers();
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ(4u, log[1].data.size());
}

// A device whose supply is switched is not addressed until the supply is
// on: at init step 11 or at power step 340; step 339 switches it off.
TEST_F(I2cAccessTest, DeviceWithoutPowerIsNotAddressed) {
  addEngine();
  KavPtr<TestChip> chip = addChip(with(chipAttributes(), kav::sid::DEVICE_SUPPLY, kSwitchedSupply));
  I2cAccess& access = chip->m_i2cAccess;
  auto allThree = [&] {
    unsigned char byte = 0;
    unsigned int len = 1;
    return std::vector<unsigned int>{access.read(0, &byte, len).getRcWithoutLogFlag(),
                                     access.write(0, &byte, 1).getRcWithoutLogFlag(),
                                     access.resetIrq(0, &byte, 1).getRcWithoutLogFlag()};
  };
  const std::vector<unsigned int> noPower = {0x7236u, 0x7236u, 0x7236u};
  const std::vector<unsigned int> ok = {0u, 0u, 0u};
  EXPECT_FALSE(access.hasDevicePower());
  for (initSequence::Id_t step : {initSequence::INIT_OPEN_ENGINES, initSequence::INIT_VARIABLES,
                                  initSequence::INIT_DEACTIVATED_HW, initSequence::INIT_ENABLE_INTERRUPTS}) {
    ASSERT_EQ(0u, chip->init(step).getRc());
  }
  EXPECT_EQ(noPower, allThree());
  EXPECT_TRUE(transfers().empty());

  EXPECT_EQ(0u, access.switchForPwrCtrl(kav::sid::STATE_ON).getRc());
  EXPECT_EQ(ok, allThree());
  EXPECT_EQ(3u, transfers().size());
  EXPECT_EQ(0u, access.switchForPwrCtrl(kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(noPower, allThree());
  EXPECT_EQ(3u, transfers().size());
  ASSERT_EQ(0u, chip->init(initSequence::INIT_ACTIVATED_HW).getRc());
  EXPECT_TRUE(access.hasDevicePower());
  EXPECT_EQ(ok, allThree());
  EXPECT_EQ(6u, transfers().size());
}

// Power steps: 340 on, 339 off, any other step refused; a device that is
// always supplied cannot be switched.
TEST_F(I2cAccessTest, SwitchForPowerControl) {
  const unsigned int otherStep = kav::sid::YES_TEXT;
  const struct {
    const char* supply;
    bool initiallyOn;
    unsigned int step;
    unsigned int rc;
    bool powerAfter;
  } cases[] = {
      {kSwitchedSupply, false, kav::sid::STATE_ON, 0, true},
      {kSwitchedSupply, true, kav::sid::STATE_OFF, 0, false},
      {kSwitchedSupply, false, kav::sid::STATE_OFF, 0, false},
      {kSwitchedSupply, true, kav::sid::STATE_ON, 0, true},
      {kSwitchedSupply, false, otherStep, 0x7002, false},
      {kSwitchedSupply, true, otherStep, 0x7002, true},
      {kSwitchedSupply, true, 0xFFFFF, 0x7002, true},
      {"ALWAYS_SUPPLIED", true, kav::sid::STATE_OFF, 0x7005, true},
      {"ALWAYS_SUPPLIED", true, kav::sid::STATE_ON, 0x7005, true},
      {"ALWAYS_SUPPLIED", true, otherStep, 0x7005, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.supply << " on " << c.initiallyOn << " step " << c.step);
    I2cAccess access(nullptr);
    ASSERT_EQ(0u, configure(access, m_container.getRawPointer(),
                            with(chipAttributes(), kav::sid::DEVICE_SUPPLY, c.supply))
                      .getRc());
    if (c.initiallyOn) {
      ASSERT_EQ(0u, access.init(initSequence::INIT_ACTIVATED_HW).getRc());
    }
    EXPECT_EQ(c.initiallyOn, access.hasDevicePower());
    EXPECT_EQ(c.rc, access.switchForPwrCtrl(c.step).getRc());
    EXPECT_EQ(c.powerAfter, access.hasDevicePower());
  }
}

// Linking: only an I2C link is taken; transfers need it, and the link
// needs an engine.
TEST_F(I2cAccessTest, LinkingTheAccess) {
  KavPtr<I2cViaFsiHwa> engine = addEngine();
  I2cAccess access(nullptr);
  ASSERT_EQ(0u, configure(access, m_container.getRawPointer(), chipAttributes()).getRc());
  unsigned char byte = 0;
  unsigned int len = 1;
  EXPECT_EQ(0x737Au, access.read(0, &byte, len).getRc());
  EXPECT_EQ(0x737Au, access.write(0, &byte, 1).getRc());
  EXPECT_EQ(0u, access.getHwaSlotId());
  EXPECT_EQ(0x737Bu, access.linkI2cAccess(KavPtr<LinkBase>()).getRc());
  KavPtr<DioHwaInterfaceLink> dioLink(new DioHwaInterfaceLink());
  EXPECT_EQ(0x737Bu, access.linkI2cAccess(KavPtr<LinkBase>(dioLink)).getRc());
  EXPECT_EQ(0x737Au, access.read(0, &byte, len).getRc());

  KavPtr<TestChip> chip = addChip();
  EXPECT_EQ(kSlot, chip->m_i2cAccess.getHwaSlotId());
  EXPECT_EQ(kSlot, chip->m_i2cAccess.getSlotId());
  EXPECT_EQ(0u, chip->m_i2cAccess.read(0, &byte, len).getRc());
  // A link of another class leaves the binding as it was.
  EXPECT_EQ(0x737Bu, chip->m_i2cAccess.linkI2cAccess(KavPtr<LinkBase>(dioLink)).getRc());
  EXPECT_EQ(0u, chip->m_i2cAccess.read(0, &byte, len).getRc());
  // Termination step 5 unlinks.
  ASSERT_EQ(0u, chip->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(0x737Au, chip->m_i2cAccess.read(0, &byte, len).getRc());
  EXPECT_EQ(0u, chip->m_i2cAccess.getHwaSlotId());

  // A link whose engine is not there: every try finds no target.
  Attributes quick = chipAttributes();
  quick[kav::sid::DELAY_MS] = "0";
  KavPtr<TestChip> lost = addChip(quick, "I2C-Link_7-Engine_0");
  EXPECT_EQ(0u, lost->m_i2cAccess.getHwaSlotId());
  ravosim::clearTransactionLog();
  ErrorData err = lost->m_i2cAccess.read(0, &byte, len);
  EXPECT_EQ(0x7342u, err.getRc());
  EXPECT_TRUE(contains(textOf(err), "read also fails after 2 retries")) << textOf(err);
  EXPECT_TRUE(transfers().empty());
}

// The first failure with an error-log entry is logged once, with bus,
// address and slot; every later one is only marked logged. Failures without
// such an entry (no power, no link target) do not count.
TEST_F(I2cAccessTest, FirstDeviceFailureIsLoggedOnce) {
  addEngine();
  testsupport::RecordingLogSink log;
  Attributes a = chipAttributes();
  a[kav::sid::I2C_DEVICE_ADDRESS] = "0xD2";  // nothing answers there
  a[kav::sid::DELAY_MS] = "0";
  a[kav::sid::DEVICE_SUPPLY] = kSwitchedSupply;
  KavPtr<TestChip> chip = addChip(a);
  I2cAccess& access = chip->m_i2cAccess;
  unsigned char byte = 0;
  unsigned int len = 1;
  EXPECT_EQ(0x7236u, access.read(0, &byte, len).getRc());
  ASSERT_EQ(0u, access.switchForPwrCtrl(kav::sid::STATE_ON).getRc());

  ErrorData first = access.read(0, &byte, len);
  EXPECT_EQ(0x70000u + ENXIO, first.getRcWithoutLogFlag());
  EXPECT_TRUE(contains(textOf(first), "bus=x1, address=xd2")) << textOf(first);
  // (Without a slot-id table the log also reports that as an internal error.)
  std::vector<testsupport::LoggedError> logged = log.errorsWithRc(0x70000u + ENXIO);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(0x70000u + ENXIO, logged[0].rc);
  EXPECT_EQ(0x28C07103u, logged[0].src);
  EXPECT_EQ(get_id_by_string("FSI_I2C_ACCESS"), logged[0].primaryKey);
  EXPECT_TRUE(contains(logged[0].text, "I2C Access Error on FSI  rc=0x00070006")) << logged[0].text;
  EXPECT_TRUE(contains(logged[0].text, "read also fails after 2 retries")) << logged[0].text;
  EXPECT_TRUE(contains(logged[0].text, "bus=x1, address=xd2")) << logged[0].text;
  EXPECT_NE(logged[0].slotIds.end(), std::find(logged[0].slotIds.begin(), logged[0].slotIds.end(), kSlot));

  for (int i = 0; i < 2; ++i) {
    ErrorData later = i == 0 ? access.write(0, &byte, 1) : access.read(0, &byte, len);
    EXPECT_EQ(0x70000u + ENXIO, later.getRcWithoutLogFlag());
    EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, later.getLogState());
    EXPECT_FALSE(contains(textOf(later), "bus=x1")) << textOf(later);
  }
  EXPECT_EQ(1u, log.errorsWithRc(0x70000u + ENXIO).size());
  EXPECT_TRUE(log.errorsWithRc(0x7236u).empty());
}

TEST_F(I2cAccessTest, DumpShowsDescriptionExecutorAndSupply) {
  addEngine();
  {
    I2cAccess fresh(nullptr);
    std::ostringstream os;
    fresh.dumpXml(os);
    for (const char* part :
         {"<class className=\"I2cAccess\">", "name=\"TransferMode\" value=\"ENGINE_NONE\"",
          "name=\"BusNo\" value=\"4294967295\"", "name=\"NumOffsetBytes\" value=\"Undefined\"",
          "name=\"PageSelect\" value=\"Undefined\"", "name=\"m_i2cAccessExecutor\" value=\"NULL\"",
          "<class className=\"DeviceSupplyInfo\">", "name=\"hasDevicePower()\" value=\"false\""})
      EXPECT_TRUE(contains(os.str(), part)) << part << "\n" << os.str();
  }
  Attributes a = chipAttributes();
  a[kav::sid::I2C_OFFSET_BYTES] = "0";
  a[kav::sid::I2C_PAGE_SELECT] = "2";
  KavPtr<TestChip> chip = addChip(a);
  std::ostringstream os;
  chip->m_i2cAccess.dumpXml(os);
  const std::string dump = os.str();
  const std::vector<std::string> rows = {"TransferMode\" value=\"I2C_SLAVE_ADDRESS\"",
                                         "BusNo\" value=\"1\"",
                                         "DeviceAddress\" value=\"0xD0\"",
                                         "TransferSpeed\" value=\"100000\"",
                                         "Timeout\" value=\"100\"",
                                         "NumOffsetBytes\" value=\"No\"",
                                         "m_numReadRetries\" value=\"2\"",
                                         "m_numWriteRetries\" value=\"1\"",
                                         "m_retryDelayMsec\" value=\"30\"",
                                         "PageSelect\" value=\"2\"",
                                         "SprmWriteDelayMsec\" value=\"0\"",
                                         "SprmWriteSplit\" value=\"0\"",
                                         "SprmWriteRetryDelayMsec\" value=\"0\"",
                                         "SprmWriteNumRetry\" value=\"0\"",
                                         "<class className=\"I2cAccessViaI2cHwa\">",
                                         "targetInstanceName\" value=\"I2C-Link_1-Engine_0\"",
                                         "m_supplyVoltage\" value=\"ALWAYS_SUPPLIED\"",
                                         "hasDevicePower()\" value=\"true\""};
  size_t at = 0;
  for (const std::string& row : rows) {
    const size_t found = dump.find(row, at);
    ASSERT_NE(std::string::npos, found) << row << " (in order)\n" << dump;
    at = found;
  }
}

TEST(I2cInfo, RawAccessDescription) {
  EXPECT_EQ((std::vector<unsigned int>{1, 3, 0x68, 100000, 1, 0, 0, 0, 100, 0, 0}), fields(to_i2cInfo_t(3, 0x68)));
}
