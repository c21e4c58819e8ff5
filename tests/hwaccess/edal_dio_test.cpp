// Digital I/O of the device access layer against the simulated machine.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "kav/hwaccess/edal/EdalDioHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "ravo_gpio.h"
#include "ravo_sim_control.h"

namespace {

const char* const kMachine = R"(<machine name="edal-dio">
  <cfam link="3" cascade="0">
    <gpio number="17" levels="0x0000000F">
      <config register="0x40000004" value="0x12345678"/>
    </gpio>
  </cfam>
  <cfam link="4" cascade="1">
    <gpio number="2"/>
  </cfam>
</machine>)";

const char* const kPath = "/dev/gpio/L03C0E17";

class EdalDio : public ::testing::Test {
 protected:
  void SetUp() override {
    ravosim::LoadResult r = ravosim::loadMachineText(kMachine, "edal-dio");
    ASSERT_TRUE(r.ok) << r.message;
    ravosim::resetMachine();
    handlesBefore = ravosim::openHandles();
    std::string msg;
    ASSERT_EQ(0u, edalDioOpen(EdalInfo(3, 0, 17), h, msg)) << msg;
    ASSERT_NE(nullptr, h);
  }
  void TearDown() override {
    ravosim::clearFaults();
    std::string msg;
    if (h != nullptr) {
      EXPECT_EQ(0u, edalDioClose(h, msg)) << msg;
    }
    EXPECT_EQ(handlesBefore, ravosim::openHandles());
  }
  EdalHandle* h = nullptr;
  unsigned handlesBefore = 0;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(EdalDioOpen, UnknownEngineFailsWithPathAndNoHandle) {
  ASSERT_TRUE(ravosim::loadMachineText(kMachine, "edal-dio").ok);
  EdalHandle* h = reinterpret_cast<EdalHandle*>(0x1);
  std::string msg;
  unsigned rc = edalDioOpen(EdalInfo(3, 0, 18), h, msg);
  EXPECT_EQ(0x50000u, rc & 0xFFFF0000u);
  EXPECT_NE(0x50000u, rc);
  EXPECT_EQ(nullptr, h);
  EXPECT_TRUE(contains(msg, "edalDioOpen for device /dev/gpio/L03C0E18 failed with errno = ")) << msg;
}

TEST(EdalDioOpen, DevicePathOfTheEngine) {
  ASSERT_TRUE(ravosim::loadMachineText(kMachine, "edal-dio").ok);
  EdalHandle* h = nullptr;
  std::string msg;
  ASSERT_EQ(0u, edalDioOpen(EdalInfo(4, 1, 2), h, msg)) << msg;
  EXPECT_STREQ("/dev/gpio/L04C1E02", h->getDeviceName());
  EXPECT_NE(nullptr, h->getRavo());
  EXPECT_EQ(0u, edalDioClose(h, msg)) << msg;
  EXPECT_EQ(nullptr, h);
}

TEST_F(EdalDio, ModesRoundTripThroughTheEngine) {
  std::string msg;
  const edalDio::dioMode_t modes[] = {edalDio::DIO_MODE_INPUT,           edalDio::DIO_MODE_OUTPUT_PUSHPULL,
                                      edalDio::DIO_MODE_OUTPUT_OPEN_DRAIN, edalDio::DIO_MODE_OUTPUT_OPEN_SOURCE,
                                      edalDio::DIO_MODE_OUTPUT_PUSHPULL_SLOW, edalDio::DIO_MODE_OUTPUT_BLINK};
  unsigned pinMask = 0x80000000u;
  for (edalDio::dioMode_t mode : modes) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(0u, edalDioSetMode(h, pinMask, mode, msg)) << msg;
    unsigned got = 0;
    ASSERT_EQ(0u, edalDioGetMode(h, got, mode, msg)) << msg;
    EXPECT_EQ(pinMask, got);
    pinMask >>= 1;
  }
}

TEST_F(EdalDio, UnknownModeIsALogicalFailure) {
  std::string msg = "before";
  EXPECT_EQ(0xFFFFu, edalDioSetMode(h, 0x1, static_cast<edalDio::dioMode_t>(7), msg));
  EXPECT_TRUE(contains(msg, "edalDioSetMode: error calling edalDioMode2ravoDioMode rc = ")) << msg;
  EXPECT_TRUE(contains(msg, " mode = 7")) << msg;
  EXPECT_TRUE(contains(msg, "before")) << msg;
  unsigned mask = 0;
  EXPECT_EQ(0xFFFFu, edalDioGetMode(h, mask, static_cast<edalDio::dioMode_t>(-1), msg));
}

TEST_F(EdalDio, OutputsDriveThePinsAndInputsShowTheWiring) {
  std::string msg;
  ASSERT_EQ(0u, edalDioSetMode(h, 0xC0000000u, edalDio::DIO_MODE_OUTPUT_PUSHPULL, msg)) << msg;
  ASSERT_EQ(0u, edalDioSet(h, 0xC0000000u, 0x80000000u, msg)) << msg;
  unsigned levels = 0;
  ASSERT_EQ(0u, edalDioGet(h, levels, msg)) << msg;
  // Pins 0 and 1 driven 1 and 0; pins 28..31 wired high.
  EXPECT_EQ(0x8000000Fu, levels);
  ASSERT_TRUE(ravosim::setInputLevel(kPath, 31, false));
  ASSERT_EQ(0u, edalDioGet(h, levels, msg)) << msg;
  EXPECT_EQ(0x8000000Eu, levels);
}

TEST_F(EdalDio, RegisterDumpSkipsTheEngineStatusWord) {
  std::string msg;
  ASSERT_EQ(0u, edalDioSetMode(h, 0x00F00000u, edalDio::DIO_MODE_OUTPUT_BLINK, msg)) << msg;
  ASSERT_EQ(0u, edalDioSetBlinkRate(h, 250, msg)) << msg;
  ASSERT_EQ(0u, edalDioBlink(h, 0x00300000u, msg)) << msg;
  edalDioRegisters_t regs;
  ASSERT_EQ(0u, edalDioDumpRegisters(h, &regs, msg)) << msg;
  EXPECT_EQ(0x00300000u, regs.reg[2]);  // blink mask
  EXPECT_EQ(250u, regs.reg[3]);         // blink rate
  EXPECT_EQ(0x00F00000u, regs.reg[10]); // mode 6 pins (dump word 12)
  EXPECT_EQ(0x12345678u, regs.reg[14]); // register 0x40000004 (dump word 16)
}

TEST_F(EdalDio, PldConfigurationsShareARegisterByHalves) {
  std::string msg;
  ASSERT_EQ(0u, edalPldSetConfig(h, 3, 0xABCD, msg)) << msg;
  uint32_t reg = 0;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_READ, 0x40000004u, &reg, 4));
  EXPECT_EQ(0x1234ABCDu, reg);
  ASSERT_EQ(0u, edalPldSetConfig(h, 2, 0xABCD, msg)) << msg;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_READ, 0x40000004u, &reg, 4));
  EXPECT_EQ(0xABCDABCDu, reg);
  unsigned short config = 0;
  ASSERT_EQ(0u, edalPldGetConfig(h, 3, config, msg)) << msg;
  EXPECT_EQ(0xABCD, config);
  ASSERT_EQ(0u, edalPldSetConfig(h, 15, 0x5AA5, msg)) << msg;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_READ, 0x4000000Au, &reg, 4));
  EXPECT_EQ(0x00005AA5u, reg);
  EXPECT_EQ(0x50016u, edalPldSetConfig(h, 16, 1, msg));
  EXPECT_EQ(0x50016u, edalPldGetConfig(h, 16, config, msg));
}

TEST_F(EdalDio, PldEvenIdOnResetContentWritesTheUpperHalf) {
  std::string msg;
  ASSERT_EQ(0u, edalPldSetConfig(h, 2, 0xABCD, msg)) << msg;
  uint32_t reg = 0;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_READ, 0x40000004u, &reg, 4));
  EXPECT_EQ(0xABCD5678u, reg);
}

TEST_F(EdalDio, LookupTableControlsRoundTripForEveryTable) {
  std::string msg;
  const edalPld::LookupControl_t controls[] = {edalPld::LOOKUP_CONTROL_2, edalPld::LOOKUP_CONTROL_3,
                                               edalPld::LOOKUP_CONTROL_1};
  for (unsigned table = 0; table < 8; ++table) {
    for (edalPld::LookupControl_t c : controls) {
      SCOPED_TRACE(testing::Message() << "table " << table << " control " << c);
      ASSERT_EQ(0u, edalWriteLookupTableControl(h, table, c, msg)) << msg;
      edalPld::LookupControl_t back = edalPld::LOOKUP_CONTROL_1;
      ASSERT_EQ(0u, edalReadLookupTableControl(h, table, back, msg)) << msg;
      EXPECT_EQ(c, back);
    }
  }
  // The register keeps the states; the enable bits of the write are not stored.
  uint32_t reg = 0;
  ASSERT_EQ(0u, edalWriteLookupTableControl(h, 2, edalPld::LOOKUP_CONTROL_3, msg)) << msg;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_READ, 0x4000000Bu, &reg, 4));
  EXPECT_EQ(0x20u << 24, reg);
}

// A control written to one table leaves every other table's control as it
// was: for every pair of distinct tables and every pair of controls.
TEST_F(EdalDio, LookupTableControlOfOneTableLeavesTheOthers) {
  const edalPld::LookupControl_t controls[] = {edalPld::LOOKUP_CONTROL_1, edalPld::LOOKUP_CONTROL_2,
                                               edalPld::LOOKUP_CONTROL_3};
  std::string msg;
  for (unsigned first = 0; first < 8; ++first) {
    for (unsigned second = 0; second < 8; ++second) {
      if (first == second) continue;
      for (edalPld::LookupControl_t a : controls) {
        for (edalPld::LookupControl_t b : controls) {
          SCOPED_TRACE(testing::Message() << "table " << first << " control " << a << ", then table " << second
                                          << " control " << b);
          ASSERT_EQ(0u, edalWriteLookupTableControl(h, first, a, msg)) << msg;
          ASSERT_EQ(0u, edalWriteLookupTableControl(h, second, b, msg)) << msg;
          edalPld::LookupControl_t back = edalPld::LOOKUP_CONTROL_1;
          ASSERT_EQ(0u, edalReadLookupTableControl(h, first, back, msg)) << msg;
          EXPECT_EQ(a, back);
          ASSERT_EQ(0u, edalReadLookupTableControl(h, second, back, msg)) << msg;
          EXPECT_EQ(b, back);
        }
      }
    }
  }
}

TEST_F(EdalDio, LookupTableControlErrors) {
  std::string msg;
  EXPECT_EQ(0x50016u, edalWriteLookupTableControl(h, 1, static_cast<edalPld::LookupControl_t>(4), msg));
  EXPECT_TRUE(contains(msg, "unknown lookupControl = 4")) << msg;
  EXPECT_EQ(0x50016u, edalWriteLookupTableControl(h, 8, edalPld::LOOKUP_CONTROL_1, msg));
  // Both state bits of table 0 set (written with its enable): no control has that code.
  uint32_t both = 0x80000000u | 0x00800000u | 0x80u;
  ASSERT_EQ(0, ravo_gpio_config(h->getRavo(), RAVO_CONFIG_WRITE, 0x4000000Bu, &both, 4));
  edalPld::LookupControl_t c = edalPld::LOOKUP_CONTROL_1;
  EXPECT_EQ(0xFFFFu, edalReadLookupTableControl(h, 0, c, msg));
  EXPECT_EQ(0u, edalReadLookupTableControl(h, 1, c, msg)) << msg;
  EXPECT_EQ(edalPld::LOOKUP_CONTROL_1, c);
}

TEST_F(EdalDio, VanishedEngineReportsDeviceGone) {
  ASSERT_TRUE(ravosim::removeCfam(3, 0));
  std::string msg;
  unsigned levels = 0;
  EXPECT_EQ(0x50013u, edalDioGet(h, levels, msg));
  EXPECT_TRUE(contains(msg, "edalDioGet(mask=0xFFFFFFFF) for device /dev/gpio/L03C0E17 (m_ravo=")) << msg;
  ASSERT_TRUE(ravosim::insertCfam(3, 0));
}

TEST_F(EdalDio, CloseFailureStillDeletesTheHandle) {
  ravosim::failCalls("ravo_gpio_close", kPath, EIO, 1);
  std::string msg = "former";
  EXPECT_EQ(0x50005u, edalDioClose(h, msg));
  EXPECT_EQ(nullptr, h);
  EXPECT_TRUE(contains(msg, "edalDioClose for device /dev/gpio/L03C0E17 (m_ravo=")) << msg;
  EXPECT_TRUE(contains(msg, ") failed with errno =5")) << msg;
  EXPECT_TRUE(contains(msg, "former")) << msg;
  // The library released its device all the same (checked in TearDown), and
  // what it recorded about the failed close is in the text.
  EXPECT_TRUE(contains(msg, "ravo_gpio_close on /dev/gpio/L03C0E17 failed: errno=5")) << msg;
}

// Every operation whose library call fails: once (then the next call works)
// and always; the status is 0x50000 + errno, the text names the call, the
// device and carries the library's first-failure data.
struct DioOp {
  const char* name;
  const char* libraryCall;
  const char* text;
  unsigned (*run)(EdalHandle*, std::string&);
};

const DioOp kDioOps[] = {
    {"setMode", "ravo_gpio_set_mode", "edalDioSetMode(mask=0x00000001",
     [](EdalHandle* h, std::string& m) { return edalDioSetMode(h, 1, edalDio::DIO_MODE_INPUT, m); }},
    {"getMode", "ravo_gpio_get_mode", "edalDioGetMode(",
     [](EdalHandle* h, std::string& m) {
       unsigned mask = 0;
       return edalDioGetMode(h, mask, edalDio::DIO_MODE_INPUT, m);
     }},
    {"set", "ravo_gpio_write_output_pins", "edalDioSet(mask=0x00000003, value = 0x00000001",
     [](EdalHandle* h, std::string& m) { return edalDioSet(h, 3, 1, m); }},
    {"get", "ravo_gpio_read_input_pins", "edalDioGet(",
     [](EdalHandle* h, std::string& m) {
       unsigned v = 0;
       return edalDioGet(h, v, m);
     }},
    {"blinkRate", "ravo_gpio_set_blink_rate", "edalDioSetBlinkRate(time=100",
     [](EdalHandle* h, std::string& m) { return edalDioSetBlinkRate(h, 100, m); }},
    {"blink", "ravo_gpio_blink", "edalDioBlink(mask=0x00000010",
     [](EdalHandle* h, std::string& m) { return edalDioBlink(h, 0x10, m); }},
    {"dump", "ravo_gpio_dump_register", "edalDioDumpRegisters(",
     [](EdalHandle* h, std::string& m) {
       edalDioRegisters_t r;
       return edalDioDumpRegisters(h, &r, m);
     }},
    {"pldSet", "ravo_gpio_config", "edalPldSetConfig(pldId=5, configData=0x00001234",
     [](EdalHandle* h, std::string& m) { return edalPldSetConfig(h, 5, 0x1234, m); }},
    {"pldGet", "ravo_gpio_config", "edalPldGetConfig(pldId=5",
     [](EdalHandle* h, std::string& m) {
       unsigned short c = 0;
       return edalPldGetConfig(h, 5, c, m);
     }},
    {"lookupWrite", "ravo_gpio_config", "edalWriteLookupTableControl(tableId=1, lookupControl=2",
     [](EdalHandle* h, std::string& m) { return edalWriteLookupTableControl(h, 1, edalPld::LOOKUP_CONTROL_2, m); }},
    {"lookupRead", "ravo_gpio_config", "edalReadLookupTableControl(tableId=1",
     [](EdalHandle* h, std::string& m) {
       edalPld::LookupControl_t c = edalPld::LOOKUP_CONTROL_1;
       return edalReadLookupTableControl(h, 1, c, m);
     }},
};

class EdalDioFault : public EdalDio, public ::testing::WithParamInterface<DioOp> {};

TEST_P(EdalDioFault, OnceAndAlways) {
  const DioOp& op = GetParam();
  for (unsigned count : {1u, 0u}) {
    SCOPED_TRACE(count == 1 ? "once" : "always");
    ravosim::clearFaults();
    ravosim::failCalls(op.libraryCall, kPath, EIO, count);
    std::string msg = "former text";
    EXPECT_EQ(0x50005u, op.run(h, msg));
    EXPECT_TRUE(contains(msg, op.text)) << msg;
    EXPECT_TRUE(contains(msg, ") for device /dev/gpio/L03C0E17 (m_ravo=")) << msg;
    EXPECT_TRUE(contains(msg, ") failed with errno=5")) << msg;
    EXPECT_TRUE(contains(msg, std::string(op.libraryCall) + " on /dev/gpio/L03C0E17 failed")) << msg;
    EXPECT_TRUE(contains(msg, "former text")) << msg;
    msg.clear();
    if (count == 1) {
      EXPECT_EQ(0u, op.run(h, msg)) << msg;
    } else {
      EXPECT_EQ(0x50005u, op.run(h, msg));
    }
  }
  ravosim::clearFaults();
  std::string msg;
  EXPECT_EQ(0u, op.run(h, msg)) << msg;
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, EdalDioFault, ::testing::ValuesIn(kDioOps),
                         [](const ::testing::TestParamInfo<DioOp>& i) { return std::string(i.param.name); });

TEST_F(EdalDio, FirstFailureDataIsTakenOnlyOnce) {
  ravosim::failCalls("ravo_gpio_write_output_pins", kPath, EIO, 1);
  std::string first;
  EXPECT_EQ(0x50005u, edalDioSet(h, 1, 1, first));
  ravosim::failCalls("ravo_gpio_blink", kPath, ENODEV, 1);
  std::string second;
  EXPECT_EQ(0x50013u, edalDioBlink(h, 1, second));
  EXPECT_TRUE(contains(second, "ravo_gpio_blink on /dev/gpio/L03C0E17 failed")) << second;
  EXPECT_FALSE(contains(second, "ravo_gpio_write_output_pins")) << second;
}

TEST_F(EdalDio, PldSetConfigReadFailureSaysSo) {
  ravosim::failCalls("ravo_gpio_config", kPath, EIO, 1);
  std::string msg;
  EXPECT_EQ(0x50005u, edalPldSetConfig(h, 1, 7, msg));
  EXPECT_TRUE(contains(msg, "while reading current content.")) << msg;
}

TEST_F(EdalDio, OperationsOnAMissingHandleFail) {
  std::string msg;
  unsigned v = 0;
  EXPECT_EQ(0x50000u + EBADF, edalDioGet(nullptr, v, msg));
  EdalHandle* none = nullptr;
  EXPECT_EQ(0x50000u + EBADF, edalDioClose(none, msg));
}

}  // namespace
