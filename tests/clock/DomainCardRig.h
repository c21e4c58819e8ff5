// One oscillator card with its clock domain over small fakes, for the tests
// of the objects that work on several domains: a state table holding the
// card's state byte and the domain's fields, a PLL device and clock-enable
// controls that note what is done to them in a journal shared by all cards
// (each entry begins with the card's name), the real speed access, pattern
// access, PLL error monitor and redundancy chip (its driver on a register
// engine).
//
// The PLL runs 25 MHz x N / 16 in the output ranges 0x1000 (850..1050 MHz)
// and 0x0800 (950..1150 MHz), in this order, and 25 MHz x N / 64 in range
// 0x1800 (100..200 MHz); the card starts at 0x0A80 (range 0x0800, N 640,
// 1000 ps). The redundancy chip starts at its divider pattern 0, which
// takes 990..1010 MHz; pattern 1 takes 700..1300 MHz.
#ifndef TESTS_CLOCK_DOMAINCARDRIG_H
#define TESTS_CLOCK_DOMAINCARDRIG_H

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/FruStateTableLink.h"
#include "kav/cards/IdProvider.h"
#include "kav/clock/domain/ClockDomain.h"
#include "kav/clock/speed/FrequencyRange.h"
#include "kav/clock/domain/PllErrorMonitor.h"
#include "kav/clock/speed/PllPatternAccessDeviceBased.h"
#include "kav/clock/speed/PllSpeedAccessPatternBased.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "kav/clockchips/Crc.h"
#include "kav/clockchips/CrcHwdIcs872Sxx.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/hwaccess/links/PllHwdInterfaceLink.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "tests/cards/CardsTestSupport.h"
#include "tests/clock/FakeClockStateTable.h"
#include "tests/clockchips/CrcTestSupport.h"
#include "tests/clockchips/I2cChipTestSupport.h"
#include "tests/clockchips/RecordingDioLine.h"

namespace domaintest {

typedef std::vector<std::string> Journal;

inline const std::string& text(unsigned int id) { return get_string_by_id(id); }
inline unsigned int id(const char* name) { return get_id_by_string(name); }

inline std::string hex(unsigned int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04X", value);
  return buffer;
}

typedef clocktest::FakeClockStateTable FakeStateTable;


// A PLL: notes "<card> pattern 0x.... s<steering flag of the card's state
// table>" and "<card> spreading <dir> <amount>" in the journal. Pattern
// writes from number `failFrom` on (0 the first) fail with 0x70005 (noted
// all the same).
class FakePll : public PllHwdInterface {
 public:
  Journal* journal = nullptr;
  std::string card;
  KavPtr<FakeStateTable> table;
  unsigned int pattern = 0x0A80;
  kavosc::SpreadingDirection_t direction = kavosc::SPREADING_OFF;
  unsigned int amount = 0;
  int failFrom = -1;
  int writes = 0;

  ErrorData readPattern(unsigned int& out) override {
    out = pattern;
    return ErrorData();
  }
  ErrorData writePattern(unsigned int bits) override {
    journal->push_back(card + " pattern " + hex(bits) + " s" +
                       std::to_string(table->byte(kav::sid::STEERING_MODE_FIELD)));
    if (failFrom >= 0 && writes++ >= failFrom) return ErrorData(ErrorData::NO_OVERWRITE, 0x70005);
    pattern = bits;
    return ErrorData();
  }
  void dumpXmlHwRegisters(std::ostream&) override {}
  std::string registerDumpAsString() override { return std::string(); }
  ErrorData getRegister(unsigned char* buffer, unsigned int& length) override {
    for (unsigned int i = 0; i < length; ++i) buffer[i] = 0;
    return ErrorData();
  }
  ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& d, unsigned int& a) override {
    d = direction;
    a = amount;
    return ErrorData();
  }
  ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t d, unsigned int a) override {
    journal->push_back(card + " spreading " + std::to_string(d) + " " + std::to_string(a));
    direction = d;
    amount = a;
    return ErrorData();
  }
  ErrorData readErrorFlags(kavstl::set<PllErrorType_t>& out) override {
    out.clear();
    return ErrorData();
  }
  ErrorData resetAllErrorFlags() override { return ErrorData(); }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
};

// A clock-enable control: notes "<card> <name> <control>".
class FakeControl : public PldHwrInterface {
 public:
  Journal* journal = nullptr;
  std::string card;
  mutable kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_2;

  ErrorData writeLookupTableControl(kavPld::LookupControl_t value) const override {
    journal->push_back(card + " " + text(getInstanceId()) + " " + std::to_string(value));
    control = value;
    return ErrorData();
  }
  ErrorData readLookupTableControl(kavPld::LookupControl_t& value) const override {
    value = control;
    return ErrorData();
  }
};

using cardstest::made;

inline BinaryReaderNode* range(const char* value, const char* divider, const char* minKhz, const char* maxKhz) {
  return cardstest::element("FrequencyRange", {{text(kav::sid::SPEED_RANGE_VALUE), value},
                                               {text(kav::sid::SPEED_DIVIDER), divider},
                                               {text(kav::sid::SPEED_OUTPUT_FREQUENCY_MIN), minKhz},
                                               {text(kav::sid::SPEED_OUTPUT_FREQUENCY_MAX), maxKhz}});
}

// One card (a container of its own, slot id `slot`) with a clock domain of
// the given type, activated, in the given mode. Without redundancy chip the
// domain answers 0x7000 where it needs it.
class DomainCard {
 public:
  struct Options {
    std::string name;
    unsigned int slot;
    unsigned int type = 1;
    kavosc::OscSetMode_t mode = kavosc::OSC_SET_MODE_REDUNDANT_PRIMARY;
    bool withCrc = true;
  };

  DomainCard(const Options& options, Journal* journal) : m_name(options.name) {
    container = m_rig.container;
    container->setDeletedSlotId(options.slot);
    m_rig.engine->readOnly = {8, 9, 10};
    table = add<FakeStateTable>("RigFruState");
    table->setState(kav::FRU_ACTIVATED);
    pll = add<FakePll>("RigPll");
    pll->journal = journal;
    pll->card = m_name;
    pll->table = table;
    made<IdProvider>(container.getRawPointer(),
                     cardstest::element("IdProvider", {{text(kav::sid::INSTANCE_NAME), "RigDomainTypes"}},
                                        {cardstest::element(text(kav::sid::ID_MAP_ENTRY).c_str(),
                                                            {{text(kav::sid::ID_MAP_KEY), "RigDomain"},
                                                             {text(kav::sid::ID_MAP_VALUE),
                                                              std::to_string(options.type)}})}));
    BaseErrorData rc;
    m_chip = m_rig.addChip<CrcHwdIcs872Sxx>(crctest::chipElement("3", "9", "ALWAYS_SUPPLIED"), rc);
    m_chip->setInstanceId(id("RigCrcChip"));
    domain = made<ClockDomain>(
        container.getRawPointer(),
        cardstest::element("ClockDomain", {{text(kav::sid::INSTANCE_NAME), "RigDomain"},
                                           {text(kav::sid::CLOCK_DOMAIN_TYPE_PROVIDER), "RigDomainTypes"},
                                           {text(kav::sid::SPREADING_DIRECTION_FIELD), "SpreadingDirection"},
                                           {text(kav::sid::SPREADING_VALUE_FIELD), "SpreadingValue"}}));
    QueryBase* d = domain.getRawPointer();
    chiptest::addLink<FruStateTableLink>(d, table->getInstanceId(), container);
    chiptest::addLink<PllHwdInterfaceLink>(d, pll->getInstanceId(), container);
    for (unsigned int name : {kav::sid::PLL_CLK_ENABLE, kav::sid::CRC_CLK_ENABLE}) {
      KavPtr<FakeControl> control(new FakeControl());
      control->journal = journal;
      control->card = m_name;
      control->setInstanceId(name);
      control->setHidden(true);
      cardstest::link(d, control.getRawPointer());
      KavPtr<chiptest::RecordingDioLine> input(new chiptest::RecordingDioLine());
      input->setInstanceId(name);
      input->setHidden(true);
      cardstest::link(d, input.getRawPointer());
    }
    addSpeedAccess(d);
    addMonitor(d);
    if (options.withCrc) addCrc(d);
    domain->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    EXPECT_EQ(0u, domain->performInitialModeSetup(options.mode).getRc());
    m_rig.engine->clearLog();
  }

  // The pattern the card's state table records.
  unsigned int recordedPattern() const { return table->word("PllSpeedPattern"); }
  unsigned char steeringFlag() const { return table->byte(kav::sid::STEERING_MODE_FIELD); }

  KavPtr<Container> container;
  KavPtr<FakeStateTable> table;
  KavPtr<FakePll> pll;
  KavPtr<ClockDomain> domain;

 private:
  template <class T>
  KavPtr<T> add(const char* name) {
    KavPtr<T> object(new T());
    object->setInstanceId(id(name));
    cardstest::link(container.getRawPointer(), object.getRawPointer());
    return object;
  }

  void addSpeedAccess(QueryBase* d) {
    KavPtr<PllSpeedAccessPatternBased> speed = made<PllSpeedAccessPatternBased>(
        d, cardstest::element("PllSpeedAccessPatternBased", {{text(kav::sid::SPEED_XTAL_FREQUENCY_MHZ), "25"}}));
    KavPtr<SpeedPatternConverter> converter = made<SpeedPatternConverter>(
        speed.getRawPointer(),
        cardstest::element("SpeedPatternConverter", {{text(kav::sid::SPEED_INPUT_FREQUENCY_MIN), "1000"},
                                                     {text(kav::sid::SPEED_INPUT_FREQUENCY_MAX), "100000"},
                                                     {text(kav::sid::SPEED_VCO_FREQUENCY_MIN), "1000000"},
                                                     {text(kav::sid::SPEED_VCO_FREQUENCY_MAX), "20000000"},
                                                     {text(kav::sid::SPEED_OUTPUT_DIVIDER_MASK), "0x3800"},
                                                     {text(kav::sid::SPEED_FEEDBACK_DIVIDER_MASK), "0x07FF"}}));
    made<FrequencyRange>(converter.getRawPointer(), range("0x1000", "16", "850000", "1050000"));
    made<FrequencyRange>(converter.getRawPointer(), range("0x0800", "16", "950000", "1150000"));
    made<FrequencyRange>(converter.getRawPointer(), range("0x1800", "64", "100000", "200000"));
    KavPtr<PllPatternAccessDeviceBased> access = made<PllPatternAccessDeviceBased>(
        speed.getRawPointer(), cardstest::element("PllPatternAccessDeviceBased",
                                                  {{text(kav::sid::SPEED_STATE_TABLE_FIELD), "PllSpeedPattern"},
                                                   {text(kav::sid::SPEED_DEFAULT_PATTERN), "0x0A80"}}));
    chiptest::addLink<FruStateTableLink>(access.getRawPointer(), table->getInstanceId(), container);
    chiptest::addLink<PllHwdInterfaceLink>(access.getRawPointer(), pll->getInstanceId(), container);
    EXPECT_EQ(0u, converter->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, access->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, speed->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  void addMonitor(QueryBase* d) {
    KavPtr<PllErrorMonitor> monitor = made<PllErrorMonitor>(d, cardstest::element("PllErrorMonitor", {}));
    chiptest::addLink<PllHwdInterfaceLink>(monitor.getRawPointer(), pll->getInstanceId(), container);
    KavPtr<chiptest::RecordingDioLine> indicator(new chiptest::RecordingDioLine());
    indicator->setHidden(true);
    cardstest::link(monitor.getRawPointer(), indicator.getRawPointer());
    EXPECT_EQ(0u, monitor->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  void addCrc(QueryBase* d) {
    KavPtr<Crc> crc = made<Crc>(d, cardstest::element("Crc", {{text(kav::sid::CRC_BANDWIDTH_MODE_1), "1"},
                                                               {text(kav::sid::CRC_BANDWIDTH_MODE_2), "2"},
                                                               {text(kav::sid::CRC_BANDWIDTH_MODE_3), "1"},
                                                               {text(kav::sid::CRC_BANDWIDTH_OTHER), "1"}}));
    chiptest::addLink<CrcHwdInterfaceLink>(crc.getRawPointer(), m_chip->getInstanceId(), container);
    for (unsigned int name : {kav::sid::CRC_MASTER_RESET, kav::sid::CRC_ERROR_SIGNAL, kav::sid::CRC_IRQ_SIGNAL}) {
      KavPtr<chiptest::RecordingDioLine> line(new chiptest::RecordingDioLine());
      line->setInstanceId(name);
      line->setHidden(true);
      cardstest::link(crc.getRawPointer(), line.getRawPointer());
    }
    KavPtr<SpeedPatternConverter> converter = made<SpeedPatternConverter>(
        crc.getRawPointer(),
        cardstest::element("SpeedPatternConverter", {{text(kav::sid::SPEED_INPUT_FREQUENCY_MIN), "1000"},
                                                     {text(kav::sid::SPEED_INPUT_FREQUENCY_MAX), "2000000"},
                                                     {text(kav::sid::SPEED_VCO_FREQUENCY_MIN), "1000"},
                                                     {text(kav::sid::SPEED_VCO_FREQUENCY_MAX), "2000000"},
                                                     {text(kav::sid::SPEED_OUTPUT_DIVIDER_MASK), "7"}}));
    made<FrequencyRange>(converter.getRawPointer(), range("0", "1", "990000", "1010000"));
    made<FrequencyRange>(converter.getRawPointer(), range("1", "1", "700000", "1300000"));
    EXPECT_EQ(0u, converter->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, crc->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  std::string m_name;
  chiptest::ChipRig m_rig;
  KavPtr<CrcHwdIcs872Sxx> m_chip;
};

}  // namespace domaintest

#endif
