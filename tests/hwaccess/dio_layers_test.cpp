// The three digital I/O layers: the engine against the simulated machine
// (open/close, mode mapping, failures), the device's bit-order conversion and
// the signal's polarity logic over a recording engine, and the output group.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/dio/DioHwdInterfaceLink.h"
#include "kav/hwaccess/dio/DioHwdStandard.h"
#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/hwaccess/dio/DioViaFsiHwa.h"
#include "kav/hwaccess/fsi/IrqId.h"
#include "kav/hwaccess/dio/OutputControlHwrDioGroupSingleDevice.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/TempDir.h"

using cardstest::element;
using cardstest::link;

namespace {

const char* const kMachine = R"(<machine name="dio-layers">
  <cfam link="6" cascade="0">
    <gpio number="8" levels="0x00000000">
      <config register="0x4000000B" value="0x0"/>
    </gpio>
  </cfam>
</machine>)";
const char* const kPath = "/dev/gpio/L06C0E08";

unsigned bit(unsigned pin) { return 0x80000000u >> pin; }

FsiEngineInfo engineInfo() { return FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_DIO, 0), 6, 6, 0, 8); }

// An engine that records the calls the layers above make.
class RecordingHwa : public DioHwaInterface {
 public:
  struct Call {
    std::string op;
    unsigned a;
    unsigned b;
    unsigned c;
    bool operator==(const Call& o) const { return op == o.op && a == o.a && b == o.b && c == o.c; }
  };
  unsigned levels = 0;
  mutable std::vector<Call> calls;
  // Returned (once) by the next write or configure.
  mutable unsigned failNext = 0;
  // The interrupt ids as seen while the device is out of reach (0).
  bool noIds = false;

  ErrorData configureMode(unsigned m, dioMode::DioMode_t mode) const override {
    return fail(add("configure", m, mode));
  }
  ErrorData reconfigureMode(unsigned m, dioMode::DioMode_t mode) const override { return add("reconfigure", m, mode); }
  ErrorData getMode(unsigned&, dioMode::DioMode_t) const override { return add("getMode", 0); }
  ErrorData writeLevel(unsigned m, unsigned v) const override { return fail(add("write", m, v)); }
  ErrorData readLevel(unsigned& v) const override {
    v = levels;
    return add("read", 0);
  }
  ErrorData setBlinkRate(unsigned r) const override { return add("rate", r); }
  ErrorData blink(unsigned m) const override { return add("blink", m); }
  ErrorData enableInterrupt(unsigned m, unsigned p, unsigned id) const override { return add("enable", m, p, id); }
  ErrorData disableInterrupt(unsigned m) const override { return add("disable", m); }
  ErrorData resetInterruptCondition(unsigned m) const override { return add("reset", m); }
  unsigned getIrqIdHighLevel(unsigned m) const override { return noIds ? 0 : get_fsi_dio_high_irq_id(6, 0, 8, m); }
  unsigned getIrqIdLowLevel(unsigned m) const override { return noIds ? 0 : get_fsi_dio_low_irq_id(6, 0, 8, m); }
  ErrorData pldSetConfig(unsigned, unsigned) const override { return add("pldSet", 0); }
  ErrorData pldGetConfig(unsigned, unsigned&) const override { return add("pldGet", 0); }
  ErrorData pldWriteLookupTableControl(unsigned, kavPld::LookupControl_t) const override { return add("ltWrite", 0); }
  ErrorData pldReadLookupTableControl(unsigned, kavPld::LookupControl_t&) const override { return add("ltRead", 0); }

 private:
  // A device failure with an SRC, as a logged hardware error has one.
  ErrorData fail(ErrorData ok) const {
    if (failNext == 0) return ok;
    ErrorData err;
    err = failNext;
    err.setSrc(0x28C07102u);
    failNext = 0;
    return err;
  }
  ErrorData add(const char* op, unsigned a, unsigned b = 0, unsigned c = 0) const {
    calls.push_back(Call{op, a, b, c});
    return ErrorData();
  }
};

// Container with an engine, a device linked to it and signals linked to the device.
class DioLayersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    cardstest::startServices();
    static testsupport::TempDir stateDir("dio-layers");
    ASSERT_FALSE(stateDir.path().empty());
    ravosim::setStateDir(stateDir.path());
    ASSERT_TRUE(ravosim::loadMachineText(kMachine).ok);
  }
  void SetUp() override {
    ravosim::resetMachine();
    m_container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
  }
  void TearDown() override {
    ravosim::clearFaults();
    if (m_engine != nullptr) m_engine->closeEngine();
  }

  KavPtr<DioViaFsiHwa> addEngine() {
    m_engine = KavPtr<DioViaFsiHwa>(new DioViaFsiHwa(engineInfo()));
    link(m_container.getRawPointer(), m_engine.getRawPointer());
    return m_engine;
  }

  KavPtr<DioHwdStandard> addDevice(unsigned engineName) {
    KavPtr<DioHwdStandard> hwd(new DioHwdStandard());
    hwd->setInstanceId(get_id_by_string("DioLayersTestDevice"));
    link(m_container.getRawPointer(), hwd.getRawPointer());
    KavPtr<DioHwaInterfaceLink> l(new DioHwaInterfaceLink());
    l->setHidden(true);
    l->setScopeId(kav::sid::SCOPE_CONTAINER);
    l->setTargetInstanceName(engineName);
    link(hwd.getRawPointer(), l.getRawPointer());
    l->setContainer(m_container);
    EXPECT_EQ(0u, hwd->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    return hwd;
  }

  template <class T>
  KavPtr<T> addUser(T* user) {
    KavPtr<T> p(user);
    link(m_container.getRawPointer(), p.getRawPointer());
    KavPtr<DioHwdInterfaceLink> l(new DioHwdInterfaceLink());
    l->setHidden(true);
    l->setScopeId(kav::sid::SCOPE_CONTAINER);
    l->setTargetInstanceName(get_id_by_string("DioLayersTestDevice"));
    link(p.getRawPointer(), l.getRawPointer());
    l->setContainer(m_container);
    EXPECT_EQ(0u, p->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    return p;
  }

  KavPtr<DioHwr> addSignal(unsigned pin, dioMode::DioMode_t mode, unsigned polarity,
                           dioState::DioState_t initial = dioState::DIO_STATE_NONE) {
    DioHwr* hwr = new DioHwr();
    hwr->setSignal(pin, mode, polarity, initial);
    return addUser(hwr);
  }

  // A recording engine in place of the real one.
  RecordingHwa* addRecordingEngine() {
    RecordingHwa* hwa = new RecordingHwa();
    hwa->setInstanceId(get_id_by_string("DioLayersTestEngine"));
    m_recording = KavPtr<RecordingHwa>(hwa);
    link(m_container.getRawPointer(), hwa);
    addDevice(hwa->getInstanceId());
    return hwa;
  }

  KavPtr<Container> m_container;
  KavPtr<DioViaFsiHwa> m_engine;
  KavPtr<RecordingHwa> m_recording;
};

using Call = RecordingHwa::Call;

// The device link child of a signal or group.
KavPtr<DioHwdInterfaceLink> deviceLink(const QueryBase& user) {
  for (const KavPtr<QueryBase>& child : user.getHiddenChildren())
    if (child->isInstanceOf(DioHwdInterfaceLink::staticGetClassId())) return KavPtr<DioHwdInterfaceLink>(child);
  return KavPtr<DioHwdInterfaceLink>();
}

// ---- engine -----------------------------------------------------------

TEST_F(DioLayersTest, EngineOpensAtStepZeroClosesAtStepFourAndNamesItself) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  EXPECT_EQ(get_engine_instance_name_id(kav::sid::ENGINE_TYPE_DIO, 6, 0), engine->getInstanceId());
  unsigned value = 0;
  EXPECT_EQ(0x7019u, engine->readLevel(value).getRc());
  const unsigned before = ravosim::openHandles();
  EXPECT_EQ(0u, engine->init(initSequence::INIT_OPEN_ENGINES).getRc());
  EXPECT_EQ(0u, engine->init(initSequence::INIT_OPEN_ENGINES).getRc());  // already open
  EXPECT_EQ(before + 1, ravosim::openHandles());
  EXPECT_EQ(0u, engine->writeLevel(bit(0) | bit(31), bit(0)).getRc());
  EXPECT_EQ(0u, engine->configureMode(bit(0) | bit(31), dioMode::DIO_MODE_2).getRc());
  EXPECT_EQ(0u, engine->readLevel(value).getRc());
  EXPECT_EQ(bit(0), value);
  EXPECT_EQ(0u, engine->terminate(terminateSequence::TERM_CLOSE_ENGINES).getRc());
  EXPECT_EQ(before, ravosim::openHandles());
  EXPECT_EQ(0x7019u, engine->readLevel(value).getRc());
  // Marked deleted, a closed engine reports itself gone.
  engine->terminate(terminateSequence::TERM_MARK_DELETED);
  EXPECT_EQ(0x7017u, engine->writeLevel(bit(0), 0).getRc());
}

TEST_F(DioLayersTest, EngineMapsModesToTheDeviceAccessModes) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  ASSERT_EQ(0u, engine->openEngine().getRc());
  EdalHandle* probe = nullptr;
  std::string msg;
  ASSERT_EQ(0u, edalDioOpen(EdalInfo(6, 0, 8), probe, msg)) << msg;
  const struct {
    unsigned mode;
    edalDio::dioMode_t edal;
  } cases[] = {{0, edalDio::DIO_MODE_UNUSED},
               {1, edalDio::DIO_MODE_INPUT},
               {2, edalDio::DIO_MODE_OUTPUT_PUSHPULL},
               {3, edalDio::DIO_MODE_OUTPUT_PUSHPULL_SLOW},
               {4, edalDio::DIO_MODE_OUTPUT_OPEN_DRAIN},
               {5, edalDio::DIO_MODE_OUTPUT_BLINK},
               {6, edalDio::DIO_MODE_OUTPUT_OPEN_SOURCE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const unsigned pin = bit(10 + c.mode);
    EXPECT_EQ(0u, engine->configureMode(pin, static_cast<dioMode::DioMode_t>(c.mode)).getRc());
    unsigned mask = 0;
    ASSERT_EQ(0u, edalDioGetMode(probe, mask, c.edal, msg)) << msg;
    EXPECT_NE(0u, mask & pin);
    // Reconfiguring passes through unused and ends in the mode.
    EXPECT_EQ(0u, engine->reconfigureMode(pin, static_cast<dioMode::DioMode_t>(c.mode)).getRc());
    mask = 0;
    ASSERT_EQ(0u, edalDioGetMode(probe, mask, c.edal, msg)) << msg;
    EXPECT_NE(0u, mask & pin);
  }
  EXPECT_EQ(0x7172u, engine->configureMode(bit(1), static_cast<dioMode::DioMode_t>(7)).getRc());
  EXPECT_EQ(0x7172u, engine->reconfigureMode(bit(1), static_cast<dioMode::DioMode_t>(7)).getRc());
  EXPECT_EQ(0u, edalDioClose(probe, msg)) << msg;
}

TEST_F(DioLayersTest, EngineLookupTableControlsAndConfigRegisters) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  ASSERT_EQ(0u, engine->openEngine().getRc());
  for (unsigned control = 1; control <= 3; ++control) {
    SCOPED_TRACE(control);
    EXPECT_EQ(0u, engine->pldWriteLookupTableControl(2, static_cast<kavPld::LookupControl_t>(control)).getRc());
    kavPld::LookupControl_t read = kavPld::LOOKUP_CONTROL_1;
    EXPECT_EQ(0u, engine->pldReadLookupTableControl(2, read).getRc());
    EXPECT_EQ(control, static_cast<unsigned>(read));
  }
  EXPECT_EQ(0x7035u, engine->pldWriteLookupTableControl(2, static_cast<kavPld::LookupControl_t>(0)).getRc());
  EXPECT_EQ(0x7035u, engine->pldWriteLookupTableControl(2, static_cast<kavPld::LookupControl_t>(7)).getRc());
  EXPECT_EQ(0u, engine->pldSetConfig(3, 0xABCD).getRc());
  unsigned config = 0;
  EXPECT_EQ(0u, engine->pldGetConfig(3, config).getRc());
  EXPECT_EQ(0xABCDu, config);
}

TEST_F(DioLayersTest, EngineInterruptIdsUseItsPhysicalPlace) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  EXPECT_EQ(0x93060800u, engine->getIrqIdHighLevel(0x80000000u));
  EXPECT_EQ(0x9206081Fu, engine->getIrqIdLowLevel(0x00000001u));
  EXPECT_EQ(0x9306083Fu, engine->getIrqIdHighLevel(0));
}

TEST_F(DioLayersTest, EngineFailuresBecomeErrorValues) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  ravosim::failCalls("ravo_gpio_open", kPath, EACCES);
  ErrorData err = engine->openEngine();
  EXPECT_EQ(0x50000u + EACCES, err.getRc());
  EXPECT_FALSE(engine->isOpen());
  unsigned value = 0;
  EXPECT_EQ(0x7019u, engine->readLevel(value).getRc());

  ASSERT_EQ(0u, engine->openEngine().getRc());
  ravosim::failCalls("ravo_gpio_write_output_pins", kPath, EIO);
  ErrorData ioErr = engine->writeLevel(bit(4), bit(4));
  EXPECT_EQ(0x50000u + EIO, ioErr.getRc());
  const std::string text = ioErr.getErrorBuffer();
  EXPECT_NE(std::string::npos, text.find("DIO Error on FSI  rc=0x00050005")) << text;
  EXPECT_NE(std::string::npos, text.find("PhysLinkNumber=6, PhysCascadeId=0, PhysEngineNumber=8")) << text;
  unsigned primary = 0, secondary = 0;
  ioErr.getKeys(primary, secondary);
  EXPECT_EQ(get_id_by_string("FSI_DIO_ACCESS"), primary);
  EXPECT_EQ(0u, engine->writeLevel(bit(4), bit(4)).getRc());  // one failure only

  // A vanished device is reported as a gone engine, with the engine's data,
  // and logged once with its SRC.
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::removeCfam(6, 0));
  ErrorData goneErr = engine->readLevel(value);
  EXPECT_EQ(0x7017u, goneErr.getRc());
  const std::string goneText = goneErr.getErrorBuffer();
  EXPECT_NE(std::string::npos, goneText.find("DIO Error on FSI  rc=0x00050013")) << goneText;
  EXPECT_NE(std::string::npos, goneText.find("PhysLinkNumber=6, PhysCascadeId=0, PhysEngineNumber=8")) << goneText;
  EXPECT_NE(std::string::npos, goneText.find("ravo_gpio_read_input_pins")) << goneText;
  goneErr.getKeys(primary, secondary);
  EXPECT_EQ(get_id_by_string("FSI_DIO_ACCESS"), primary);
  std::vector<testsupport::LoggedError> logged = log.errorsWithRc(0x7017u);
  ASSERT_EQ(1u, logged.size());
  EXPECT_EQ(0x28C07102u, logged[0].src);
  EXPECT_EQ(goneText, logged[0].text);
  // Every further call fails the same way, marked as logged, and logs nothing.
  EXPECT_EQ(0x80007017u, engine->writeLevel(bit(4), 0).getRc());
  EXPECT_EQ(0x80007017u, engine->readLevel(value).getRc());
  EXPECT_EQ(1u, log.errorsWithRc(0x7017u).size());
  ASSERT_TRUE(ravosim::insertCfam(6, 0));
  EXPECT_EQ(0x80007017u, engine->readLevel(value).getRc());  // the handle stays stale
  EXPECT_EQ(1u, log.errorsWithRc(0x7017u).size());
}

TEST_F(DioLayersTest, EngineLeavingTheTreeLogsNoVanishedDevice) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  ASSERT_EQ(0u, engine->openEngine().getRc());
  testsupport::RecordingLogSink log;
  ASSERT_TRUE(ravosim::removeCfam(6, 0));
  engine->terminate(terminateSequence::TERM_MARK_DELETED);
  unsigned value = 0;
  EXPECT_EQ(0x7017u, engine->readLevel(value).getRc());
  EXPECT_TRUE(log.errorsWithRc(0x7017u).empty());
  EXPECT_EQ(0u, engine->terminate(terminateSequence::TERM_CLOSE_ENGINES).getRc());
  ASSERT_TRUE(ravosim::insertCfam(6, 0));
}

// ---- device and signal ------------------------------------------------

TEST_F(DioLayersTest, DeviceMirrorsEveryMaskOnTheWayDown) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwdStandard> hwd =
      KavPtr<DioHwdStandard>(collectClasstypeInSubTree<DioHwdStandard>(KavPtr<const QueryBase>(m_container), true)
                                 .getSingleton(false));
  EXPECT_EQ(0x80000001u, DioHwdStandard::convertBitOrderStandardToMsb(0x80000001u));
  EXPECT_EQ(0x10000000u, DioHwdStandard::convertBitOrderStandardToMsb(0x8u));
  EXPECT_EQ(0x8u, DioHwdStandard::convertBitOrderMsbToStandard(0x10000000u));
  EXPECT_EQ(0u, hwd->configure(0x8, dioMode::DIO_MODE_1).getRc());
  EXPECT_EQ(0u, hwd->writeLevel(0x9, 0x1).getRc());
  EXPECT_EQ(0u, hwd->blink(0x2, 500).getRc());
  EXPECT_EQ(0u, hwd->enableIrq(0x3, 0x2, 77).getRc());
  hwa->levels = bit(0) | bit(3) | bit(5);
  unsigned value = 0;
  EXPECT_EQ(0u, hwd->readLevel(0x9, value).getRc());
  EXPECT_EQ(0x9u, value);  // pins 0 and 3; pin 5 is outside the mask
  EXPECT_EQ(get_fsi_dio_high_irq_id(6, 0, 8, bit(3)), hwd->getIrqIdHighLevel(0x8));
  EXPECT_EQ((std::vector<Call>{{"configure", bit(3), 1, 0},
                               {"write", bit(0) | bit(3), bit(0), 0},
                               {"rate", 500, 0, 0},
                               {"blink", bit(1), 0, 0},
                               {"enable", bit(0) | bit(1), bit(1), 77},
                               {"read", 0, 0, 0}}),
            hwa->calls);
}

TEST_F(DioLayersTest, DeviceWithoutEngineTargetOrLink) {
  KavPtr<DioHwdStandard> hwd = addDevice(get_id_by_string("DioLayersTestNoSuchEngine"));
  unsigned value = 0;
  EXPECT_EQ(0x7340u, hwd->writeLevel(1, 1).getRc());
  EXPECT_EQ(0x7340u, hwd->readLevel(1, value).getRc());
  EXPECT_EQ(0x7340u, hwd->configure(1, dioMode::DIO_MODE_1).getRc());
  EXPECT_EQ(0u, hwd->getIrqIdLowLevel(1));
  KavPtr<DioHwdStandard> lone(new DioHwdStandard());
  EXPECT_EQ(0x7341u, lone->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  EXPECT_EQ(0u, lone->switchForPwrCtrl(1, 2).getRc());
}

// on()/off() of every polarity: what reaches the engine (mask, level).
TEST_F(DioLayersTest, SignalWritesTheLevelOfItsPolarity) {
  RecordingHwa* hwa = addRecordingEngine();
  const struct {
    unsigned polarity;
    bool on;
    unsigned level;
  } cases[] = {{1, true, bit(3)}, {1, false, 0}, {2, true, 0}, {2, false, bit(3)}};
  KavPtr<DioHwr> hwr = addSignal(3, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_OFF);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "polarity " << c.polarity << " on " << c.on);
    hwr->setSignal(3, dioMode::DIO_MODE_2, c.polarity, dioState::DIO_STATE_OFF);
    hwa->calls.clear();
    EXPECT_EQ(0u, (c.on ? hwr->on() : hwr->off()).getRc());
    EXPECT_EQ((std::vector<Call>{{"write", 0x10000000u, c.level, 0}}), hwa->calls);
    EXPECT_EQ(c.on ? dioState::DIO_STATE_ON : dioState::DIO_STATE_OFF, hwr->getCurrentState());
  }
  // An invalid polarity writes nothing.
  hwr->setSignal(3, dioMode::DIO_MODE_2, 0, dioState::DIO_STATE_OFF);
  hwa->calls.clear();
  EXPECT_EQ(0x7173u, hwr->on().getRc());
  EXPECT_TRUE(hwa->calls.empty());
}

TEST_F(DioLayersTest, SignalReadsItsStateByPolarity) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> hwr = addSignal(5, dioMode::DIO_MODE_1, 1);
  const struct {
    unsigned polarity;
    bool high;
    dioState::DioState_t state;
    unsigned rc;
  } cases[] = {{1, true, dioState::DIO_STATE_ON, 0},   {1, false, dioState::DIO_STATE_OFF, 0},
               {2, true, dioState::DIO_STATE_OFF, 0},  {2, false, dioState::DIO_STATE_ON, 0},
               {0, true, dioState::DIO_STATE_OFF, 0x7173u}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "polarity " << c.polarity << " high " << c.high);
    hwr->setSignal(5, dioMode::DIO_MODE_1, c.polarity, dioState::DIO_STATE_NONE);
    hwa->levels = c.high ? bit(5) : ~bit(5);
    dioState::DioState_t state = dioState::DIO_STATE_NONE;
    EXPECT_EQ(c.rc, hwr->read(state).getRc());
    EXPECT_EQ(c.state, state);
  }
}

TEST_F(DioLayersTest, SignalInterruptIdsFollowThePolarityAndAreCached) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> low = addSignal(4, dioMode::DIO_MODE_1, 2);
  EXPECT_EQ(get_fsi_dio_low_irq_id(6, 0, 8, bit(4)), low->getOnIrqId());
  EXPECT_EQ(get_fsi_dio_high_irq_id(6, 0, 8, bit(4)), low->getOffIrqId());
  KavPtr<DioHwr> high = addSignal(4, dioMode::DIO_MODE_1, 1);
  EXPECT_EQ(get_fsi_dio_high_irq_id(6, 0, 8, bit(4)), high->getOnIrqId());
  // Arming for on waits for the on level with the on id.
  EXPECT_EQ(0u, low->enableIrq(dioState::DIO_STATE_ON).getRc());
  EXPECT_EQ((Call{"enable", bit(4), 0, get_fsi_dio_low_irq_id(6, 0, 8, bit(4))}), hwa->calls.back());
  EXPECT_EQ(0u, low->enableIrq(dioState::DIO_STATE_OFF).getRc());
  EXPECT_EQ((Call{"enable", bit(4), bit(4), get_fsi_dio_high_irq_id(6, 0, 8, bit(4))}), hwa->calls.back());
  EXPECT_EQ(0u, low->disableIrq().getRc());
  EXPECT_EQ((Call{"disable", bit(4), 0, 0}), hwa->calls.back());
  EXPECT_EQ(0u, low->resetIrqCondition().getRc());
  EXPECT_EQ((Call{"reset", bit(4), 0, 0}), hwa->calls.back());
  // Without an id (the device went out of reach while arming) nothing is
  // armed: a request under id 0 would never be delivered.
  KavPtr<DioHwr> unarmed = addSignal(6, dioMode::DIO_MODE_1, 1);
  hwa->noIds = true;
  hwa->calls.clear();
  EXPECT_EQ(0x7360u, unarmed->enableIrq(dioState::DIO_STATE_ON).getRc());
  EXPECT_TRUE(hwa->calls.empty());
  hwa->noIds = false;
  // Cached: once computed, an id no longer asks the device, even when the
  // device has gone; an id not yet computed has none to give without it.
  const unsigned cached = high->getOnIrqId();
  deviceLink(*high)->setContainer(KavPtr<Container>());
  EXPECT_EQ(cached, high->getOnIrqId());
  EXPECT_EQ(0u, high->getOffIrqId());
}

TEST_F(DioLayersTest, SignalStartUpConfiguresAndAppliesTheInitialState) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> out = addSignal(2, dioMode::DIO_MODE_4, 1, dioState::DIO_STATE_ON);
  KavPtr<DioHwr> in = addSignal(6, dioMode::DIO_MODE_1, 1);
  for (KavPtr<DioHwr> s : {out, in}) {
    EXPECT_EQ(0u, s->init(initSequence::INIT_CONFIG_DIO).getRc());
    EXPECT_EQ(0u, s->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  }
  EXPECT_EQ((std::vector<Call>{{"configure", bit(2), 4, 0}, {"write", bit(2), bit(2), 0}, {"configure", bit(6), 1, 0}}),
            hwa->calls);
  // A requested state wins over the initial one.
  hwa->calls.clear();
  EXPECT_EQ(0u, out->off().getRc());
  EXPECT_EQ(0u, out->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  EXPECT_EQ((std::vector<Call>{{"write", bit(2), 0, 0}, {"write", bit(2), 0, 0}}), hwa->calls);
  // An output without a state to apply.
  KavPtr<DioHwr> none = addSignal(7, dioMode::DIO_MODE_2, 1);
  EXPECT_EQ(0x7176u, none->init(initSequence::INIT_DEACTIVATED_HW).getRc());
}

TEST_F(DioLayersTest, SignalWithoutDeviceOnAStaticLink) {
  KavPtr<DioHwr> hwr = addSignal(1, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_OFF);
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  EXPECT_EQ(0x7360u, hwr->init(initSequence::INIT_CONFIG_DIO).getRc());
  EXPECT_TRUE(hwr->getPendingInitSequences().empty());
  EXPECT_EQ(0x7360u, hwr->on().getRc());
  EXPECT_EQ(dioState::DIO_STATE_ON, hwr->getCurrentState());  // kept for later
  EXPECT_EQ(0x7360u, hwr->read(state).getRc());
  EXPECT_EQ(0x7360u, hwr->enableIrq(dioState::DIO_STATE_ON).getRc());
  EXPECT_EQ(0u, hwr->getOnIrqId());
  KavPtr<DioHwr> lone(new DioHwr());
  EXPECT_EQ(0x7361u, lone->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
}

// The link callback: a lost device queues configuration and initialisation
// once each; requests meanwhile are kept; the returned device gets both, in
// that order, with the last requested state rather than the initial one.
TEST_F(DioLayersTest, SignalReplaysItsPendingStepsWhenItsDeviceReturns) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> hwr = addSignal(2, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_ON);
  ASSERT_EQ(0u, hwr->init(initSequence::INIT_CONFIG_DIO).getRc());
  ASSERT_EQ(0u, hwr->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  KavPtr<DioHwdInterfaceLink> l = deviceLink(*hwr);
  l->setContainer(KavPtr<Container>());
  hwr->hwdLinkChanged();
  hwr->hwdLinkChanged();
  const kavstl::vector<initSequence::Id_t> pending{initSequence::INIT_CONFIG_DIO, initSequence::INIT_DEACTIVATED_HW};
  EXPECT_EQ(pending, hwr->getPendingInitSequences());
  EXPECT_EQ(0u, hwr->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  EXPECT_EQ(pending, hwr->getPendingInitSequences());
  hwa->calls.clear();
  EXPECT_EQ(0x7360u, hwr->off().getRc());
  // The device is back, but until the callback has run a write waits.
  l->setContainer(m_container);
  EXPECT_EQ(0x7360u, hwr->off().getRc());
  EXPECT_TRUE(hwa->calls.empty());
  hwr->hwdLinkChanged();
  EXPECT_EQ((std::vector<Call>{{"configure", bit(2), 2, 0}, {"write", bit(2), 0, 0}}), hwa->calls);
  EXPECT_TRUE(hwr->getPendingInitSequences().empty());
  hwr->hwdLinkChanged();  // nothing pending: nothing to do
  EXPECT_EQ(2u, hwa->calls.size());
  EXPECT_EQ(0u, hwr->on().getRc());
}

// The first error with an SRC outside the configuration phase is logged
// with the signal's data; later ones are only marked logged. Configuration
// errors are logged every time and do not count.
TEST_F(DioLayersTest, SignalLogsItsFirstHardwareErrorOnly) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> hwr = addSignal(6, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_OFF);
  auto hasData = [](const ErrorData& e) {
    return std::string(e.getErrorBuffer()).find("pin=6, mode=2, polarity=1") != std::string::npos;
  };
  hwa->failNext = 0x50005;
  ErrorData config = hwr->init(initSequence::INIT_CONFIG_DIO);
  EXPECT_EQ(0x50005u, config.getRcWithoutLogFlag());
  EXPECT_TRUE(hasData(config));
  hwa->failNext = 0x50005;
  ErrorData first = hwr->on();
  EXPECT_TRUE(hasData(first));
  EXPECT_EQ(0x50005u, first.getRcWithoutLogFlag());
  hwa->failNext = 0x50005;
  ErrorData second = hwr->off();
  EXPECT_FALSE(hasData(second));
  EXPECT_EQ(BaseErrorData::LOG_STATE_LOGGED, second.getLogState());
  // The configuration phase still logs with the data after that.
  hwa->failNext = 0x50005;
  EXPECT_TRUE(hasData(hwr->init(initSequence::INIT_CONFIG_DIO)));
  // With logging suppressed a first error is neither logged nor given the data.
  auto t = [](unsigned id) { return get_string_by_id(id); };
  std::unique_ptr<BinaryReaderNode> node(element("Signal", {{t(kav::sid::DIO_PIN), "6"},
                                                             {t(kav::sid::DIO_MODE), t(kav::sid::DIO_MODE_PUSHPULL)},
                                                             {t(kav::sid::DIO_POLARITY), t(kav::sid::DIO_POLARITY_HIGH_ON)},
                                                             {t(kav::sid::DIO_INITIAL_STATE), t(kav::sid::STATE_OFF)},
                                                             {t(kav::sid::DIO_SUPPRESS_LOGGING), t(kav::sid::YES_TEXT)}}));
  DioHwr* quietSignal = new DioHwr();
  ASSERT_EQ(0u, quietSignal->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  KavPtr<DioHwr> quiet = addUser(quietSignal);
  hwa->failNext = 0x50005;
  ErrorData quietErr = quiet->on();
  EXPECT_EQ(0x50005u, quietErr.getRcWithoutLogFlag());
  EXPECT_FALSE(hasData(quietErr));
  EXPECT_NE(BaseErrorData::LOG_STATE_LOGGED, quietErr.getLogState());
  // An error without an SRC is left as it is.
  KavPtr<DioHwr> absent = addSignal(7, dioMode::DIO_MODE_2, 0, dioState::DIO_STATE_OFF);
  ErrorData noSrc = absent->on();
  EXPECT_EQ(0x7173u, noSrc.getRc());
  EXPECT_FALSE(noSrc.isSrcDefined());
}

// Reads that fail with an SRC from two threads at once: the signal logs the
// first one only, whichever thread has it.
TEST_F(DioLayersTest, SignalReadsFromTwoThreadsLogOneErrorOnly) {
  // Every read fails; the first two wait for each other, so that both
  // threads hand their first error to the signal at the same time.
  class FailingReadHwa : public RecordingHwa {
   public:
    ErrorData readLevel(unsigned&) const override {
      ErrorData err;
      err = 0x50005u;
      err.setSrc(0x28C07102u);
      if (++m_arrived <= 2)
        while (m_arrived.load() < 2) std::this_thread::yield();
      return err;
    }

   private:
    mutable std::atomic<unsigned> m_arrived{0};
  };
  FailingReadHwa* hwa = new FailingReadHwa();
  hwa->setInstanceId(get_id_by_string("DioLayersTestEngine"));
  m_recording = KavPtr<RecordingHwa>(hwa);
  link(m_container.getRawPointer(), hwa);
  addDevice(hwa->getInstanceId());
  KavPtr<DioHwr> hwr = addSignal(5, dioMode::DIO_MODE_1, 1);
  std::atomic<unsigned> logged{0};
  std::atomic<unsigned> failed{0};
  auto reader = [&] {
    for (int i = 0; i < 20; ++i) {
      dioState::DioState_t state = dioState::DIO_STATE_NONE;
      ErrorData err = hwr->read(state);
      if (err.getRcWithoutLogFlag() == 0x50005u) ++failed;
      if (std::string(err.getErrorBuffer()).find("pin=5, mode=1, polarity=1") != std::string::npos) ++logged;
    }
  };
  std::thread first(reader);
  std::thread second(reader);
  first.join();
  second.join();
  EXPECT_EQ(40u, failed.load());
  EXPECT_EQ(1u, logged.load());
}

// The signal on the real engine: pin 3 with polarity 2 in push-pull.
TEST_F(DioLayersTest, SignalDrivesTheSimulatedPin) {
  KavPtr<DioViaFsiHwa> engine = addEngine();
  ASSERT_EQ(0u, engine->openEngine().getRc());
  addDevice(engine->getInstanceId());
  KavPtr<DioHwr> hwr = addSignal(3, dioMode::DIO_MODE_2, 2, dioState::DIO_STATE_OFF);
  ASSERT_EQ(0u, hwr->init(initSequence::INIT_CONFIG_DIO).getRc());
  ASSERT_EQ(0u, hwr->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  uint32_t levels = 0;
  ASSERT_TRUE(ravosim::readPinLevels(kPath, levels));
  EXPECT_EQ(0x10000000u, levels & 0x10000000u);  // off = high for polarity 2
  ASSERT_EQ(0u, hwr->on().getRc());
  ASSERT_TRUE(ravosim::readPinLevels(kPath, levels));
  EXPECT_EQ(0u, levels & 0x10000000u);
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  EXPECT_EQ(0u, hwr->read(state).getRc());
  EXPECT_EQ(dioState::DIO_STATE_ON, state);
}

// ---- output group -----------------------------------------------------

std::unique_ptr<BinaryReaderNode> groupNode(const char* pins, unsigned mode, unsigned polarity, unsigned initial,
                                            const char* initAtStart = nullptr) {
  auto t = [](unsigned id) { return get_string_by_id(id); };
  BinaryReaderNode* node = element("OutputGroup", {{t(kav::sid::DIO_PIN), pins},
                                                   {t(kav::sid::DIO_MODE), t(mode)},
                                                   {t(kav::sid::DIO_POLARITY), t(polarity)},
                                                   {t(kav::sid::DIO_INITIAL_STATE), t(initial)}});
  if (initAtStart != nullptr) node->addAttribute(t(kav::sid::DIO_INIT_AT_START), initAtStart);
  return std::unique_ptr<BinaryReaderNode>(node);
}

TEST_F(DioLayersTest, OutputGroupSwitchesItsPinsTogether) {
  RecordingHwa* hwa = addRecordingEngine();
  const struct {
    unsigned polarity;
    unsigned enabledLevel;
    unsigned disabledLevel;
  } cases[] = {{kav::sid::DIO_POLARITY_HIGH_ON, bit(1) | bit(4), 0},
               {kav::sid::DIO_POLARITY_LOW_ON, 0, bit(1) | bit(4)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.polarity);
    auto node = groupNode("1, 4", kav::sid::DIO_MODE_PUSHPULL, c.polarity, kav::sid::OUTPUT_ENABLED);
    KavPtr<OutputControlHwrDioGroupSingleDevice> group = addUser(new OutputControlHwrDioGroupSingleDevice());
    ASSERT_EQ(0u, group->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
    EXPECT_EQ(0x12u, group->getPinMask());
    hwa->calls.clear();
    EXPECT_EQ(0u, group->init(initSequence::INIT_CONFIG_DIO).getRc());
    EXPECT_EQ(0u, group->init(initSequence::INIT_DEACTIVATED_HW).getRc());
    EXPECT_EQ(0u, group->disableOutput().getRc());
    EXPECT_EQ((std::vector<Call>{{"configure", bit(1) | bit(4), 2, 0},
                                 {"write", bit(1) | bit(4), c.enabledLevel, 0},
                                 {"write", bit(1) | bit(4), c.disabledLevel, 0}}),
              hwa->calls);
  }
}

TEST_F(DioLayersTest, OutputGroupAttributeErrors) {
  const struct {
    const char* pins;
    unsigned mode;
    unsigned polarity;
    unsigned initial;
    unsigned rc;
  } cases[] = {
      {"1, 32", kav::sid::DIO_MODE_PUSHPULL, kav::sid::DIO_POLARITY_HIGH_ON, kav::sid::OUTPUT_ENABLED, 0x7170u},
      {"1", kav::sid::DIO_MODE_INPUT, kav::sid::DIO_POLARITY_HIGH_ON, kav::sid::OUTPUT_ENABLED, 0x7160u},
      {"1", kav::sid::DIO_MODE_BLINK, kav::sid::STATE_ON, kav::sid::OUTPUT_ENABLED, 0x7161u},
      {"1", kav::sid::DIO_MODE_BLINK, kav::sid::DIO_POLARITY_LOW_ON, kav::sid::STATE_ON, 0x7162u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rc);
    auto node = groupNode(c.pins, c.mode, c.polarity, c.initial);
    OutputControlHwrDioGroupSingleDevice group;
    EXPECT_EQ(c.rc, group.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
  }
}

TEST_F(DioLayersTest, OutputGroupWithInvalidPolarityWritesTheLowLevel) {
  RecordingHwa* hwa = addRecordingEngine();
  auto node = groupNode("3", kav::sid::DIO_MODE_PUSHPULL, kav::sid::STATE_ON, kav::sid::OUTPUT_ENABLED);
  KavPtr<OutputControlHwrDioGroupSingleDevice> group = addUser(new OutputControlHwrDioGroupSingleDevice());
  EXPECT_EQ(0x7161u, group->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
  hwa->calls.clear();
  EXPECT_EQ(0x7173u, group->enableOutput().getRcWithoutLogFlag());
  EXPECT_EQ((std::vector<Call>{{"write", bit(3), 0, 0}}), hwa->calls);
}

TEST_F(DioLayersTest, OutputGroupWithoutDeviceWritesNothingAndSkipsStartWhenAsked) {
  auto node = groupNode("0", kav::sid::DIO_MODE_PUSHPULL, kav::sid::DIO_POLARITY_HIGH_ON, kav::sid::OUTPUT_ENABLED,
                        "false");
  KavPtr<OutputControlHwrDioGroupSingleDevice> group = addUser(new OutputControlHwrDioGroupSingleDevice());
  ASSERT_EQ(0u, group->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  EXPECT_EQ(0x7360u, group->init(initSequence::INIT_CONFIG_DIO).getRc());
  EXPECT_EQ(0u, group->enableOutput().getRc());
  RecordingHwa* hwa = addRecordingEngine();
  EXPECT_EQ(0u, group->init(initSequence::INIT_DEACTIVATED_HW).getRc());
  EXPECT_TRUE(hwa->calls.empty());  // initialise-at-start is off
}

// ---- signal attributes ------------------------------------------------

TEST_F(DioLayersTest, SignalAttributes) {
  auto t = [](unsigned id) { return get_string_by_id(id); };
  struct Case {
    const char* pin;
    unsigned mode;
    unsigned polarity;
    unsigned initial;  // 0: not given
    unsigned rc;
  };
  const Case cases[] = {
      {"7", kav::sid::DIO_MODE_OPEN_DRAIN, kav::sid::DIO_POLARITY_LOW_ON, kav::sid::STATE_OFF, 0},
      {"7", kav::sid::DIO_MODE_INPUT, kav::sid::DIO_POLARITY_HIGH_ON, 0, 0},  // inputs need no state
      {"32", kav::sid::DIO_MODE_INPUT, kav::sid::DIO_POLARITY_HIGH_ON, 0, 0x7170u},
      {"7", kav::sid::STATE_ON, kav::sid::DIO_POLARITY_HIGH_ON, 0, 0x7160u},
      {"7", kav::sid::DIO_MODE_INPUT, kav::sid::STATE_ON, 0, 0x7161u},
      {"7", kav::sid::DIO_MODE_PUSHPULL, kav::sid::DIO_POLARITY_HIGH_ON, kav::sid::OUTPUT_ENABLED, 0x7162u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pin << " rc " << c.rc);
    std::unique_ptr<BinaryReaderNode> node(element(
        "Signal", {{t(kav::sid::DIO_PIN), c.pin}, {t(kav::sid::DIO_MODE), t(c.mode)}, {t(kav::sid::DIO_POLARITY), t(c.polarity)}}));
    if (c.initial != 0) node->addAttribute(t(kav::sid::DIO_INITIAL_STATE), t(c.initial));
    DioHwr hwr;
    EXPECT_EQ(c.rc, hwr.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRcWithoutLogFlag());
    if (c.rc == 0) {
      EXPECT_EQ(7u, hwr.getPin());
      EXPECT_EQ(0xFFFFFFFFu, hwr.getLogicalId());
    }
  }
  std::unique_ptr<BinaryReaderNode> node(element("Signal", {{t(kav::sid::DIO_PIN), "0"},
                                                             {t(kav::sid::DIO_MODE), t(kav::sid::DIO_MODE_OPEN_SOURCE)},
                                                             {t(kav::sid::DIO_POLARITY), t(kav::sid::DIO_POLARITY_LOW_ON)},
                                                             {t(kav::sid::DIO_INITIAL_STATE), t(kav::sid::STATE_ON)},
                                                             {t(kav::sid::DIO_LOGICAL_ID), "0x42"},
                                                             {t(kav::sid::DIO_SUPPRESS_LOGGING), t(kav::sid::YES_TEXT)}}));
  DioHwr hwr;
  EXPECT_EQ(0u, hwr.setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  EXPECT_EQ(dioMode::DIO_MODE_6, hwr.getMode());
  EXPECT_EQ(2u, hwr.getPolarity());
  EXPECT_EQ(dioState::DIO_STATE_ON, hwr.getDefaultState());
  EXPECT_EQ(0x42u, hwr.getLogicalId());
}

}  // namespace

// A power step switches a signal and an output group by position name; an
// unknown position changes nothing.
TEST_F(DioLayersTest, PowerStepsSwitchSignalsAndGroupsByPosition) {
  RecordingHwa* hwa = addRecordingEngine();
  KavPtr<DioHwr> hwr = addSignal(2, dioMode::DIO_MODE_2, 1, dioState::DIO_STATE_OFF);
  hwa->calls.clear();
  EXPECT_EQ(0u, hwr->switchForPwrCtrl(1, kav::sid::STATE_ON).getRc());
  EXPECT_EQ(dioState::DIO_STATE_ON, hwr->getCurrentState());
  EXPECT_EQ(0u, hwr->switchForPwrCtrl(1, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(0x7013u, hwr->switchForPwrCtrl(1, kav::sid::OUTPUT_ENABLED).getRc());
  EXPECT_EQ(dioState::DIO_STATE_OFF, hwr->getCurrentState());
  const std::vector<Call> expected{{"write", bit(2), bit(2), 0}, {"write", bit(2), 0, 0}};
  EXPECT_EQ(expected, hwa->calls);

  std::unique_ptr<BinaryReaderNode> node =
      groupNode("1, 4", kav::sid::DIO_MODE_PUSHPULL, kav::sid::DIO_POLARITY_HIGH_ON, kav::sid::OUTPUT_DISABLED);
  OutputControlHwrDioGroupSingleDevice* raw = new OutputControlHwrDioGroupSingleDevice();
  ASSERT_EQ(0u, raw->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc());
  KavPtr<OutputControlHwrDioGroupSingleDevice> group = addUser(raw);
  hwa->calls.clear();
  EXPECT_EQ(0u, group->switchForPwrCtrl(1, kav::sid::OUTPUT_ENABLED).getRc());
  EXPECT_EQ(0u, group->switchForPwrCtrl(1, kav::sid::STATE_OFF).getRc());
  EXPECT_EQ(0x7013u, group->switchForPwrCtrl(1, 12345u).getRc());
  const std::vector<Call> groupCalls{{"write", bit(1) | bit(4), bit(1) | bit(4), 0}, {"write", bit(1) | bit(4), 0, 0}};
  EXPECT_EQ(groupCalls, hwa->calls);
}
