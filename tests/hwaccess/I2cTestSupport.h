// Shared pieces of the I2C tests: a machine with one I2C engine, an engine
// object in a card's container, and the transfers the bus saw.
#ifndef TESTS_HWACCESS_I2CTESTSUPPORT_H
#define TESTS_HWACCESS_I2CTESTSUPPORT_H

#include <gtest/gtest.h>

#include <vector>

#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/i2c/i2c_access.h"
#include "kav/tree/objects/Container.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/TempDir.h"

namespace i2ctest {

// Engine 5 of link 1 with a register file at 0xD0 on port 1; 0xD2 on the
// same port has no device (it does not acknowledge: ENXIO).
const char* const kMachine = R"(<machine name="i2c">
  <cfam link="1" cascade="0">
    <i2c number="5" ports="4">
      <device port="1" address="0xD0" size="256"/>
    </i2c>
  </cfam>
</machine>)";
const char* const kPort = "/dev/iic/L01C0E05P01";
const unsigned int kPortNo = 1;
const unsigned int kDevice = 0xD0;
const unsigned int kNoDevice = 0xD2;
const unsigned int kSlot = 0x10;

inline FsiEngineInfo engineInfo() { return FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_I2C, 0), 1, 1, 0, 5); }

// The raw access's description (slave-address transfers) for the port.
inline i2c::i2cInfo_s slaveInfo(unsigned int address) { return to_i2cInfo_t(kPortNo, address); }

// The transfers the port saw since the test began.
inline std::vector<ravosim::Transaction> transfers() { return ravosim::readTransactionLog(kPort); }

inline uint8_t reg(unsigned int offset) {
  uint8_t v = 0xEE;
  EXPECT_TRUE(ravosim::peekI2cRegister(kPort, kDevice, offset, v));
  return v;
}

// A card's container (slot 0x10) with engines below it; every test starts
// from a machine at power-on, an empty transaction log and no faults, and
// must leave no handle open.
class I2cFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    static testsupport::TempDir stateDir("i2c");
    ASSERT_FALSE(stateDir.path().empty());
    ravosim::setStateDir(stateDir.path());
    ravosim::LoadResult r = ravosim::loadMachineText(kMachine, "i2c");
    ASSERT_TRUE(r.ok) << r.message;
  }
  void SetUp() override {
    ravosim::resetMachine();
    ravosim::clearTransactionLog();
    m_handlesBefore = ravosim::openHandles();
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    m_container->setDeletedSlotId(kSlot);
  }
  void TearDown() override {
    ravosim::clearFaults();
    for (KavPtr<I2cViaFsiHwa>& e : m_engines) e->closeEngine();
    EXPECT_EQ(m_handlesBefore, ravosim::openHandles());
  }

  // An engine object in the container, opened (init step 0) unless asked not to.
  KavPtr<I2cViaFsiHwa> addEngine(bool open = true) {
    KavPtr<I2cViaFsiHwa> engine(new I2cViaFsiHwa(engineInfo()));
    cardstest::link(m_container.getRawPointer(), engine.getRawPointer());
    if (open) {
      EXPECT_EQ(0u, engine->init(initSequence::INIT_OPEN_ENGINES).getRc());
    }
    m_engines.push_back(engine);
    return engine;
  }

  unsigned int m_handlesBefore = 0;
  KavPtr<Container> m_container;
  std::vector<KavPtr<I2cViaFsiHwa>> m_engines;
};

}  // namespace i2ctest

#endif
