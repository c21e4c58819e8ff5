// The CFAM access factory: engine discovery on the simulated machine, the
// numbering of engines per type, the engine objects it creates, discovery
// failures and the card type's hardware-access configuration.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kav/cards/FruIdProviderInterface.h"
#include "kav/hwaccess/fsi/CfamViaFsiHwa.h"
#include "kav/hwaccess/dio/DioViaFsiHwa.h"
#include "kav/hwaccess/i2c/I2cViaFsiHwa.h"
#include "kav/hwaccess/pld/IoMuxViaFsiHwa.h"
#include "kav/hwaccess/scratchpad/ScratchpadViaFsiHwa.h"
#include "kav/hwaccess/fsi/EngineDefine.h"
#include "kav/hwaccess/fsi/EngineProvider.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/config/StringIds.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/hwaccess/FsiTestSupport.h"

namespace {

const char* const kEdgeMachine = R"(<machine name="fsi-edges">
  <cfam link="1" cascade="0">
    <gpio number="9" type="8"/>
    <gpio number="3" type="24"/>
    <engine number="12" type="5"/>
    <engine number="13" type="13"/>
    <engine number="14" type="4"/>
    <engine number="15" type="11"/>
    <engine number="16" type="25"/>
    <engine number="17" type="99"/>
  </cfam>
</machine>)";

std::string defaultMachinePath() {
  const char* source = std::getenv("QUIB_SOURCE_DIR");
  return std::string(source != nullptr ? source : "..") + "/config/machine/default.xml";
}

EngineInfo engine(int type, unsigned int logicalId) {
  return EngineInfo(static_cast<EngineInfo::engineType_t>(type), logicalId);
}

KavPtr<CfamViaFsiHwa> makeFactory(unsigned int hwaId, unsigned int link) {
  KavPtr<CfamViaFsiHwa> factory(new CfamViaFsiHwa());
  factory->setHwaId(hwaId);
  factory->setPhysicalPosition(link, 0);
  return factory;
}

// Closes the engines the factory created.
void closeEngines(CfamViaFsiHwa& factory) {
  for (const KavPtr<QueryBase>& child : factory.getChildren()) child->terminate(terminateSequence::TERM_CLOSE_ENGINES);
  factory.terminate(terminateSequence::TERM_CLOSE_ENGINES);
}

class CfamViaFsiHwaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { cardstest::startServices(); }
  void SetUp() override {
    ravosim::clearFaults();
    m_handlesBefore = ravosim::openHandles();
  }
  void TearDown() override {
    ravosim::clearFaults();
    EXPECT_EQ(m_handlesBefore, ravosim::openHandles());
  }
  unsigned int m_handlesBefore = 0;
};

}  // namespace

TEST_F(CfamViaFsiHwaTest, DefaultMachineBaseDomainAndCardEngines) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);

  KavPtr<CfamViaFsiHwa> base = makeFactory(0, 0);
  // Step 0: the default engines (I2C, scratchpad, I/O multiplexer) get
  // their access objects, opened at once (the I2C engine opens its ports on
  // first use: no handle yet); the engine list is read.
  EXPECT_EQ(0u, base->init(initSequence::INIT_OPEN_ENGINES).getRc());
  EXPECT_EQ((std::vector<std::string>{"I2C-Link_0-Engine_0", "SCRATCHPAD-Link_0-Engine_0", "IOMUX-Link_0-Engine_0"}),
            fsitest::childNames(*base));
  ASSERT_TRUE(base->getChildren().front()->isInstanceOf(I2cViaFsiHwa::staticGetClassId()));
  const I2cViaFsiHwa* i2c = static_cast<const I2cViaFsiHwa*>(base->getChildren().front().getRawPointer());
  EXPECT_TRUE(i2c->isOpen());
  EXPECT_EQ(5u, i2c->getEngineInfo().getPhysEngineNumber());
  ASSERT_TRUE((*std::next(base->getChildren().begin()))->isInstanceOf(ScratchpadViaFsiHwa::staticGetClassId()));
  ASSERT_TRUE(base->getChildren().back()->isInstanceOf(IoMuxViaFsiHwa::staticGetClassId()));
  const IoMuxViaFsiHwa* iomux = static_cast<const IoMuxViaFsiHwa*>(base->getChildren().back().getRawPointer());
  EXPECT_TRUE(iomux->isOpen());
  EXPECT_EQ(4u, iomux->getEngineInfo().getPhysEngineNumber());
  EXPECT_EQ(m_handlesBefore + 2, ravosim::openHandles());
  ASSERT_NE(nullptr, base->getDeviceData(engine(2, 0)));
  EXPECT_EQ(5u, base->getDeviceData(engine(2, 0))->engineNumber);
  EXPECT_EQ(3u, base->getDeviceData(engine(3, 0))->engineNumber);
  EXPECT_EQ(4u, base->getDeviceData(engine(4, 0))->engineNumber);
  EXPECT_EQ(8u, base->getDeviceData(engine(1, 0))->engineNumber);
  EXPECT_EQ(9u, base->getDeviceData(engine(1, 1))->engineNumber);
  EXPECT_EQ(nullptr, base->getDeviceData(engine(1, 2)));
  EXPECT_EQ(4u, base->getDeviceCount());

  // The GPIO engines become DioViaFsiHwa children, named by hardware-access
  // id and logical id; an engine that does not exist is skipped.
  kavstl::set<EngineInfo> gpios = {engine(1, 0), engine(1, 1), engine(1, 2)};
  EXPECT_EQ(0u, base->createEngine(gpios).getRc());
  EXPECT_EQ((std::vector<std::string>{"I2C-Link_0-Engine_0", "SCRATCHPAD-Link_0-Engine_0", "IOMUX-Link_0-Engine_0",
                                      "GPIO-Link_0-Engine_0", "GPIO-Link_0-Engine_1"}),
            fsitest::childNames(*base));
  for (const KavPtr<QueryBase>& child : base->getChildren()) {
    if (!child->isInstanceOf(DioViaFsiHwa::staticGetClassId())) continue;
    EXPECT_EQ(base.getRawPointer(), child->getParent().getRawPointer());
  }
  const DioViaFsiHwa* second = static_cast<const DioViaFsiHwa*>(base->getChildren().back().getRawPointer());
  EXPECT_EQ(9u, second->getEngineInfo().getPhysEngineNumber());
  EXPECT_EQ(0u, second->getEngineInfo().getPhysLinkNumber());
  EXPECT_EQ(m_handlesBefore + 4, ravosim::openHandles());
  // Asked again (a card configuration naming an engine that already exists):
  // no second object under the same name, no second handle.
  EXPECT_EQ(0u, base->createEngine({engine(1, 1)}).getRc());
  EXPECT_EQ((std::vector<std::string>{"I2C-Link_0-Engine_0", "SCRATCHPAD-Link_0-Engine_0", "IOMUX-Link_0-Engine_0",
                                      "GPIO-Link_0-Engine_0", "GPIO-Link_0-Engine_1"}),
            fsitest::childNames(*base));
  EXPECT_EQ(m_handlesBefore + 4, ravosim::openHandles());

  KavPtr<CfamViaFsiHwa> card1 = makeFactory(1, 2);
  EXPECT_EQ(0u, card1->createEngine({engine(1, 0)}).getRc());
  EXPECT_EQ((std::vector<std::string>{"GPIO-Link_1-Engine_0"}), fsitest::childNames(*card1));

  // Termination step 4 drops the device data.
  closeEngines(*base);
  closeEngines(*card1);
  EXPECT_EQ(0u, base->getDeviceCount());
  EXPECT_EQ(nullptr, base->getDeviceData(engine(1, 0)));
}

TEST_F(CfamViaFsiHwaTest, RawTypesAndLogicalIdsFollowTheEngineNumber) {
  ASSERT_TRUE(ravosim::loadMachineText(kEdgeMachine, "fsi-edges").ok);
  KavPtr<CfamViaFsiHwa> factory = makeFactory(7, 1);
  ASSERT_EQ(0u, factory->readHwConfig().getRc());

  struct Case {
    int type;
    unsigned int logicalId;
    int engineNumber;  // -1: none
  };
  const Case cases[] = {
      {1, 0, 3},    // raw 24, the lower engine number first
      {1, 1, 9},    // raw 8
      {1, 2, -1},
      {12, 0, 12},  // raw 5
      {13, 0, 31},  // the pseudo engine raw 5 brings along
      {8, 0, 13},   // raw 13
      {9, 0, 30},   // the pseudo engine raw 13 brings along
      {11, 0, 14},  // raw 4
      {5, 0, 15},   // raw 11
      {6, 0, 16},   // raw 25
      {0, 0, -1},   // raw 99 is not recorded
      {2, 0, -1},
  };
  for (const Case& c : cases) {
    const edalFsi::engineInfo_t* data = factory->getDeviceData(engine(c.type, c.logicalId));
    if (c.engineNumber < 0) {
      EXPECT_EQ(nullptr, data) << c.type << "/" << c.logicalId;
    } else {
      ASSERT_NE(nullptr, data) << c.type << "/" << c.logicalId;
      EXPECT_EQ(static_cast<unsigned int>(c.engineNumber), data->engineNumber) << c.type << "/" << c.logicalId;
    }
  }
  EXPECT_EQ(8u, factory->getDeviceCount());

  // No access object for the engine types without one, the pseudo engines
  // included.
  EXPECT_EQ(0u, factory->createEngine({engine(13, 0), engine(12, 0), engine(9, 0), engine(8, 0)}).getRc());
  EXPECT_TRUE(factory->getChildren().empty());

  EXPECT_EQ(0u, factory->createEngine({engine(1, 1), engine(1, 0)}).getRc());
  ASSERT_EQ((std::vector<std::string>{"GPIO-Link_7-Engine_0", "GPIO-Link_7-Engine_1"}), fsitest::childNames(*factory));
  EXPECT_EQ(3u, static_cast<const DioViaFsiHwa*>(factory->getChildren().front().getRawPointer())
                    ->getEngineInfo()
                    .getPhysEngineNumber());
  closeEngines(*factory);
}

TEST_F(CfamViaFsiHwaTest, RawTypeMapping) {
  const unsigned int raw[] = {8, 24, 7, 23, 6, 22, 15, 11, 25, 13, 0xDB, 4, 5, 0xDC, 0, 1, 9, 10, 12, 14, 99, 0xDD};
  const int mapped[] = {1, 1, 2, 2, 3, 3, 4, 5, 6, 8, 9, 11, 12, 13, 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < sizeof raw / sizeof raw[0]; ++i)
    EXPECT_EQ(mapped[i], static_cast<int>(CfamViaFsiHwa::mapRawEngineType(raw[i]))) << raw[i];

  // Engines are appended in the order they are added.
  KavPtr<CfamViaFsiHwa> factory = makeFactory(0, 0);
  factory->addAvailEngine({24, 20});
  factory->addAvailEngine({8, 2});
  factory->addAvailEngine({77, 1});
  EXPECT_EQ(20u, factory->getDeviceData(engine(1, 0))->engineNumber);
  EXPECT_EQ(2u, factory->getDeviceData(engine(1, 1))->engineNumber);
  EXPECT_EQ(1u, factory->getDeviceCount());
  // An explicit position inserts.
  factory->addDeviceData({8, 5}, EngineInfo::ENGINE_DIO, 0);
  EXPECT_EQ(5u, factory->getDeviceData(engine(1, 0))->engineNumber);
  EXPECT_EQ(2u, factory->getDeviceData(engine(1, 2))->engineNumber);
}

TEST_F(CfamViaFsiHwaTest, DiscoveryFailureIsLoggedOnceAndCreatesNothing) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  KavPtr<CfamViaFsiHwa> factory = makeFactory(0, 0);

  trace_ravo_clear_all();
  ravosim::failAlways("ravo_fsi_config", "*", EIO);
  ErrorData first = factory->createEngine({engine(1, 0)});
  EXPECT_EQ(static_cast<unsigned int>(EIO), first.getRcWithoutLogFlag());
  const std::string text(first.getErrorBuffer(), first.getErrorBufferLen());
  EXPECT_NE(std::string::npos, text.find("CFAM Error on FSI  rc=0x00000005")) << text;
  EXPECT_NE(std::string::npos, text.find("ravo_fsi_config(devHandle,type,cfg,pFruList) failed")) << text;
  unsigned int primary = 0, secondary = 0;
  first.getKeys(primary, secondary);
  EXPECT_EQ(get_id_by_string("FSI_CFAM_ACCESS"), primary);
  EXPECT_EQ(get_id_by_string(""), secondary);
  EXPECT_TRUE(factory->isErrorLogged());
  EXPECT_TRUE(factory->getChildren().empty());
  EXPECT_EQ(0u, factory->getDeviceCount());
  EXPECT_EQ(1u, fsitest::traceCount("KAVT", "ErrorData::log rc=0x00000005"));

  // A later failure of the same factory is only marked logged.
  ravosim::clearFaults();
  ravosim::failAlways("ravo_fsi_config", "*", EACCES);
  ErrorData second = factory->createEngine({engine(1, 0)});
  EXPECT_EQ(static_cast<unsigned int>(EACCES), second.getRcWithoutLogFlag());
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, second.getLogState());
  EXPECT_EQ(0u, fsitest::traceCount("KAVT", "ErrorData::log rc=0x0000000D"));
  EXPECT_EQ(0u, fsitest::traceCount("KAVT", "ErrorData::log rc=0x8000000D"));
  EXPECT_TRUE(factory->getChildren().empty());

  // Once the master answers, the list is read again and the engine appears.
  ravosim::clearFaults();
  EXPECT_EQ(0u, factory->createEngine({engine(1, 0)}).getRc());
  EXPECT_EQ((std::vector<std::string>{"GPIO-Link_0-Engine_0"}), fsitest::childNames(*factory));
  closeEngines(*factory);
}

TEST_F(CfamViaFsiHwaTest, AbsentCfamGivesTheDeviceError) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  ASSERT_TRUE(ravosim::removeCfam(2, 0));
  KavPtr<CfamViaFsiHwa> factory = makeFactory(1, 2);
  ErrorData rc = factory->init(initSequence::INIT_OPEN_ENGINES);
  EXPECT_EQ(static_cast<unsigned int>(ENODEV), rc.getRcWithoutLogFlag());
  EXPECT_EQ(0u, factory->getDeviceCount());
  ASSERT_TRUE(ravosim::insertCfam(2, 0));
}

TEST_F(CfamViaFsiHwaTest, EventDrivenBuildupCreatesNoEngineAndPendingPlugs) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  KavPtr<CfamViaFsiHwa> factory = makeFactory(0, 0);
  factory->setEventDrivenBuildup(true);
  trace_ravo_clear_all();
  EXPECT_EQ(0u, factory->createEngine({engine(1, 0), engine(1, 1)}).getRc());
  EXPECT_TRUE(factory->getChildren().empty());
  // Each engine is only named with the plug interrupt it would wait for.
  EXPECT_EQ(1u, fsitest::traceCount("KAVT", "irq=0x90000800"));
  EXPECT_EQ(1u, fsitest::traceCount("KAVT", "irq=0x90000900"));
  EXPECT_NE(nullptr, factory->getDeviceData(engine(1, 1)));

  EXPECT_FALSE(factory->isPendingPlugEventPosted());
  EXPECT_EQ(0u, factory->addPendingPlug(0x90000800).getRc());
  EXPECT_EQ(0u, factory->addPendingPlug(0x90000900).getRc());
  EXPECT_EQ(0u, factory->addPendingPlug(0x90000900).getRc());
  EXPECT_EQ(2u, factory->getPendingPlugCount());
  EXPECT_EQ(0u, factory->removePendingPlug(0x90000800).getRc());
  EXPECT_FALSE(factory->isPendingPlugEventPosted());
  EXPECT_EQ(0u, factory->removePendingPlug(0x90000900).getRc());
  EXPECT_TRUE(factory->isPendingPlugEventPosted());
  // A new plug resets it.
  EXPECT_EQ(0u, factory->addPendingPlug(0x90000A00).getRc());
  EXPECT_FALSE(factory->isPendingPlugEventPosted());
  // Step 1 does not wait.
  EXPECT_EQ(0u, factory->init(initSequence::INIT_WAIT_PENDING_PLUGS).getRc());
  factory->terminate(terminateSequence::TERM_CLOSE_ENGINES);
}

namespace {

class FixedCardIdentity : public FruIdProviderInterface {
 public:
  // A non-zero code makes the card type unreadable.
  FixedCardIdentity(const char* cardType, const char* level, unsigned int cardTypeRc = 0)
      : m_cardType(cardType), m_level(level), m_cardTypeRc(cardTypeRc) {}
  BaseErrorData getCardTypeImpl(kavstl::string& cardType) const override {
    cardType = m_cardType;
    BaseErrorData rc;
    if (m_cardTypeRc != 0) rc = m_cardTypeRc;
    return rc;
  }
  BaseErrorData getHardwareLevelImpl(kavstl::string& level) const override {
    level = m_level;
    return BaseErrorData();
  }

 private:
  kavstl::string m_cardType;
  kavstl::string m_level;
  unsigned int m_cardTypeRc;
};

}  // namespace

TEST_F(CfamViaFsiHwaTest, HardwareAccessConfigurationOfTheCardType) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  // The card's content: its identity and the card's CFAM access (link 1).
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  KavPtr<FixedCardIdentity> identity(new FixedCardIdentity("20B20001", "0001"));
  fsitest::link(content.getRawPointer(), identity.getRawPointer());
  KavPtr<CfamViaFsiHwa> factory = makeFactory(1, 1);
  fsitest::link(content.getRawPointer(), factory.getRawPointer());

  EXPECT_EQ(0u, factory->init(initSequence::INIT_WRITE_HWA_CONFIG).getRc());
  // Only the engines the configuration lists are added (the GPIO engine and
  // the scratchpad); the configuration subtree itself does not stay.
  EXPECT_EQ((std::vector<std::string>{"GPIO-Link_1-Engine_0", "SCRATCHPAD-Link_1-Engine_0"}),
            fsitest::childNames(*factory));
  EXPECT_TRUE(factory->getHiddenChildren().empty());
  EXPECT_EQ(2u, content->getChildren().size());
  closeEngines(*factory);
}

// With its multiplexer open (step 0), the card's configuration sets it up:
// the configured groups in runs, one write each.
TEST_F(CfamViaFsiHwaTest, HardwareAccessConfigurationSetsUpTheMultiplexer) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  ravosim::resetMachine();
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  KavPtr<FixedCardIdentity> identity(new FixedCardIdentity("20B20001", "0001"));
  fsitest::link(content.getRawPointer(), identity.getRawPointer());
  KavPtr<CfamViaFsiHwa> factory = makeFactory(1, 1);
  fsitest::link(content.getRawPointer(), factory.getRawPointer());
  ASSERT_EQ(0u, factory->init(initSequence::INIT_OPEN_ENGINES).getRc());
  ravosim::clearTransactionLog();
  EXPECT_EQ(0u, factory->init(initSequence::INIT_WRITE_HWA_CONFIG).getRc());
  std::vector<std::pair<uint32_t, size_t>> runs;
  for (const ravosim::Transaction& t : ravosim::readTransactionLog("/dev/iomux/L01C0E04"))
    runs.emplace_back(t.offset, t.entries.size());
  EXPECT_EQ((std::vector<std::pair<uint32_t, size_t>>{{0, 3}, {5, 2}}), runs);
  closeEngines(*factory);
}

TEST_F(CfamViaFsiHwaTest, HardwareAccessConfigurationWithoutCardIdentityOrFile) {
  ASSERT_TRUE(ravosim::loadMachine(defaultMachinePath()).ok);
  KavPtr<Container> content(new Container(KavPtr<QueryBase>()));
  KavPtr<CfamViaFsiHwa> factory = makeFactory(1, 1);
  fsitest::link(content.getRawPointer(), factory.getRawPointer());

  // No FRU-id provider: nothing is built, not even the engine list is read.
  ErrorData missing = factory->init(initSequence::INIT_WRITE_HWA_CONFIG);
  EXPECT_EQ(0x7000u, missing.getRcWithoutLogFlag());
  const std::string text(missing.getErrorBuffer(), missing.getErrorBufferLen());
  EXPECT_NE(std::string::npos, text.find("no card id provider")) << text;
  EXPECT_EQ(0u, factory->getDeviceCount());
  EXPECT_TRUE(factory->getChildren().empty());

  // A factory outside any container is refused the same way.
  KavPtr<CfamViaFsiHwa> alone = makeFactory(1, 1);
  EXPECT_EQ(0x7000u, alone->writeHwaConfig().getRcWithoutLogFlag());

  // A card type without hardware-access configuration: the build error,
  // nothing created.
  KavPtr<FixedCardIdentity> identity(new FixedCardIdentity("20B2FFFF", "0001"));
  fsitest::link(content.getRawPointer(), identity.getRawPointer());
  EXPECT_NE(0u, factory->init(initSequence::INIT_WRITE_HWA_CONFIG).getRc());
  EXPECT_TRUE(factory->getChildren().empty());
  content->removeChild(KavPtr<QueryBase>(identity));

  // An identity that cannot tell the card type: its failure is the result,
  // not the failed build of the fallback name.
  KavPtr<FixedCardIdentity> unreadable(new FixedCardIdentity("20B20001", "0001", 0x7055u));
  fsitest::link(content.getRawPointer(), unreadable.getRawPointer());
  EXPECT_EQ(0x7055u, factory->init(initSequence::INIT_WRITE_HWA_CONFIG).getRcWithoutLogFlag());
  EXPECT_TRUE(factory->getChildren().empty());
}

TEST_F(CfamViaFsiHwaTest, EngineDefinitionsAndProvider) {
  struct Case {
    const char* type;
    const char* logicalId;
    unsigned int rc;
    int engineType;
  };
  const Case cases[] = {
      {"GPIO", "1", 0, 1},
      {"IOMUX", "0x0", 0, 4},
      {"ENGINE_13", "2", 0, 13},
      {"ENGINE_NONE", "0", 0x7013, 0},
      {"ENGINE_UNKNOWN", "0", 0x7013, 0},
      {"Gpio", "0", 0x7013, 0},
  };
  KavPtr<EngineProvider> provider(new EngineProvider());
  for (const Case& c : cases) {
    std::unique_ptr<BinaryReaderNode> node(
        cardstest::element("Engine", {{get_string_by_id(kav::sid::ENGINE_TYPE), c.type},
                                      {get_string_by_id(kav::sid::LOGICAL_ENGINE_ID), c.logicalId}}));
    KavPtr<EngineDefine> define(new EngineDefine());
    EXPECT_EQ(c.rc, define->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag()) << c.type;
    EXPECT_EQ(c.engineType, static_cast<int>(define->getEngineInfo().getEngineType())) << c.type;
    if (c.rc == 0) fsitest::link(provider.getRawPointer(), define.getRawPointer());
  }
  // The definitions are hidden children.
  EXPECT_TRUE(provider->getChildren().empty());
  EXPECT_EQ(3u, provider->getHiddenChildren().size());
  kavstl::set<EngineInfo> engines;
  provider->getEngineConfig(engines);
  EXPECT_EQ((kavstl::set<EngineInfo>{engine(1, 1), engine(4, 0), engine(13, 2)}), engines);
}
