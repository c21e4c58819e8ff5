// An oscillator card set over small fakes, for the tests of the card set, its
// control and the oscillator handler: a tree root with one Slot per card, the
// OscCardSet (with its redundancy controller) and, per set, an oscillator
// control card (state table, use controls Osc0 / Osc1, status inputs, one
// group with its power-good input, clock outputs and one unit with two
// switch inputs and a propagation fence) and clock-domain cards
// (DomainCardRig.h). The control's use controls and outputs and the
// adapter's clock-select operations note what is done to them in the
// journal the domain cards write to ("<card> Osc0 3", "<card> outputs
// enable", "toggle clock bit").
#ifndef TESTS_CLOCK_OSCSETRIG_H
#define TESTS_CLOCK_OSCSETRIG_H

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kav/cards/Slot.h"
#include "kav/clock/osc/OscAdapterServices.h"
#include "kav/clock/osc/OscCardSet.h"
#include "kav/clock/osc/OscControl.h"
#include "kav/clock/osc/OscControlGroup.h"
#include "kav/clock/osc/OscControlUnit.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/tree/objects/TreeRoot.h"
#include "tests/clock/DomainCardRig.h"

namespace osctest {

typedef domaintest::Journal Journal;

// The journal of the adapter's clock-select operations (one per process).
inline Journal*& adapterJournal() {
  static Journal* journal = nullptr;
  return journal;
}
inline std::mutex& adapterLock() {
  static std::mutex lock;
  return lock;
}
inline void noteAdapter(const char* what) {
  std::lock_guard<std::mutex> guard(adapterLock());
  if (adapterJournal() != nullptr) adapterJournal()->push_back(what);
}
inline void clearClockBit() { noteAdapter("clear clock bit"); }
inline void setClockBit() { noteAdapter("set clock bit"); }
inline void toggleClockBit() { noteAdapter("toggle clock bit"); }

// Registers the recording clock-select operations for its lifetime.
class AdapterRecorder {
 public:
  explicit AdapterRecorder(Journal* journal) {
    {
      std::lock_guard<std::mutex> guard(adapterLock());
      adapterJournal() = journal;
    }
    m_previous = OscAdapterServices::registerOperations({&clearClockBit, &setClockBit, &toggleClockBit, nullptr});
  }
  ~AdapterRecorder() {
    OscAdapterServices::registerOperations(m_previous);
    std::lock_guard<std::mutex> guard(adapterLock());
    adapterJournal() = nullptr;
  }

 private:
  OscAdapterServices::Operations_t m_previous;
};

// A use control or a fence: notes "<card> <name> <value>" when it has a
// journal; a write fails with `failWith` when that is set.
class Lookup : public PldHwrInterface {
 public:
  Journal* journal = nullptr;
  std::string card;
  mutable kavPld::LookupControl_t control = kavPld::LOOKUP_CONTROL_2;
  mutable std::vector<unsigned int> written;
  unsigned int failWith = 0;

  ErrorData writeLookupTableControl(kavPld::LookupControl_t value) const override {
    if (journal != nullptr) journal->push_back(card + " " + domaintest::text(getInstanceId()) + " " + std::to_string(value));
    written.push_back(value);
    if (failWith != 0) return ErrorData(ErrorData::NO_OVERWRITE, failWith);
    control = value;
    return ErrorData();
  }
  ErrorData readLookupTableControl(kavPld::LookupControl_t& value) const override {
    value = control;
    return ErrorData();
  }
};

// A digital input: reads `level` (the scripted readings first); notes the
// interrupt calls.
class Input : public DioHwrInterface {
 public:
  explicit Input(unsigned int logicalId = 0) : m_logicalId(logicalId) {}
  bool level = false;
  std::deque<bool> readings;
  unsigned int failWith = 0;
  std::vector<std::string> calls;

  ErrorData reconfigure(dioMode::DioMode_t) override { return ErrorData(); }
  ErrorData read(dioState::DioState_t& state) override {
    if (failWith != 0) return ErrorData(ErrorData::NO_OVERWRITE, failWith);
    bool reading = level;
    if (!readings.empty()) {
      reading = readings.front();
      readings.pop_front();
    }
    state = reading ? dioState::DIO_STATE_ON : dioState::DIO_STATE_OFF;
    return ErrorData();
  }
  ErrorData on() override { return ErrorData(); }
  ErrorData off() override { return ErrorData(); }
  ErrorData blink(unsigned int) override { return ErrorData(); }
  ErrorData enableIrq(dioState::DioState_t state) override {
    calls.push_back(state == dioState::DIO_STATE_OFF ? "arm off" : "arm on");
    return ErrorData();
  }
  ErrorData disableIrq() override {
    calls.push_back("disarm");
    return ErrorData();
  }
  ErrorData resetIrqCondition() override {
    calls.push_back("reset");
    return ErrorData();
  }
  unsigned int getOnIrqId() override { return 0x7500 + m_logicalId; }
  unsigned int getOffIrqId() override { return 0x7600 + m_logicalId; }
  unsigned int getLogicalId() const override { return m_logicalId; }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

 private:
  unsigned int m_logicalId;
};

// Clock outputs: note "<card> outputs enable|disable".
class Outputs : public OutputControlHwrInterface {
 public:
  Journal* journal = nullptr;
  std::string card;
  ErrorData enableOutput() override {
    journal->push_back(card + " outputs enable");
    return ErrorData();
  }
  ErrorData disableOutput() override {
    journal->push_back(card + " outputs disable");
    return ErrorData();
  }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return ErrorData(); }
};

template <class T>
KavPtr<T> hidden(QueryBase* parent, T* object, unsigned int name = 0) {
  KavPtr<T> child(object);
  if (name != 0) child->setInstanceId(name);
  child->setHidden(true);
  cardstest::link(parent, child.getRawPointer());
  return child;
}

// An oscillator control card in its own container: activated, power good,
// the fence open (propagation on), every input off.
struct ControlCard {
  KavPtr<Container> container;
  KavPtr<domaintest::FakeStateTable> table;
  KavPtr<OscControl> control;
  KavPtr<Lookup> use0, use1, fence;
  KavPtr<Input> status0, status1, powerGood, in0, in1;
  KavPtr<Outputs> outputs;
  KavPtr<OscControlGroup> group;
  KavPtr<OscControlUnit> unit;

  ControlCard(const std::string& name, Journal* journal) {
    container = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    table = KavPtr<domaintest::FakeStateTable>(new domaintest::FakeStateTable());
    table->setInstanceId(domaintest::id("CtlFruState"));
    table->setState(kav::FRU_ACTIVATED);
    cardstest::link(container.getRawPointer(), table.getRawPointer());
    control = KavPtr<OscControl>(new OscControl());
    control->setInstanceId(domaintest::id((name + "Control").c_str()));
    cardstest::link(container.getRawPointer(), control.getRawPointer());
    QueryBase* c = control.getRawPointer();
    chiptest::addLink<FruStateTableLink>(c, table->getInstanceId(), container);
    use0 = hidden(c, new Lookup(), kav::sid::OSC_0);
    use1 = hidden(c, new Lookup(), kav::sid::OSC_1);
    for (Lookup* use : {use0.getRawPointer(), use1.getRawPointer()}) {
      use->journal = journal;
      use->card = name;
    }
    status0 = hidden(c, new Input(), kav::sid::OSC_0);
    status1 = hidden(c, new Input(), kav::sid::OSC_1);
    group = KavPtr<OscControlGroup>(new OscControlGroup());
    cardstest::link(c, group.getRawPointer());
    powerGood = hidden(group.getRawPointer(), new Input(7));
    powerGood->level = true;
    outputs = hidden(group.getRawPointer(), new Outputs());
    outputs->journal = journal;
    outputs->card = name;
    unit = KavPtr<OscControlUnit>(new OscControlUnit());
    unit->setInstanceId(domaintest::id((name + "Unit").c_str()));
    cardstest::link(group.getRawPointer(), unit.getRawPointer());
    in0 = hidden(unit.getRawPointer(), new Input(0));
    in1 = hidden(unit.getRawPointer(), new Input(1));
    fence = hidden(unit.getRawPointer(), new Lookup());
    fence->control = kavPld::LOOKUP_CONTROL_1;
    EXPECT_EQ(0u, unit->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, group->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
    EXPECT_EQ(0u, control->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }
  ~ControlCard() {
    // No synch-lost job outlives the test.
    unit->disableInterrupts();
  }
};

// One card set: set id, control slot, its slots in order; cards are put in
// their slots with plug(), which also configures them at the set.
class SetRig {
 public:
  SetRig(QueryBase* root, kavosc::OscCardSet_t set, unsigned int controlSlot, std::vector<unsigned int> slots,
         Journal* journal)
      : m_root(root), m_journal(journal) {
    char setText[16], ctrlText[16];
    std::snprintf(setText, sizeof setText, "0x%X", static_cast<unsigned int>(set));
    std::snprintf(ctrlText, sizeof ctrlText, "0x%X", controlSlot);
    std::string slotList;
    for (unsigned int slot : slots) slotList += (slotList.empty() ? "" : " ") + domaintest::hex(slot);
    cardSet = cardstest::made<OscCardSet>(
        root, cardstest::element("OscCardSet", {{domaintest::text(kav::sid::OSC_CARD_SET_ATTRIBUTE), setText},
                                                {domaintest::text(kav::sid::OSC_CTRL_SLOT_ATTRIBUTE), ctrlText},
                                                {domaintest::text(kav::sid::SLOT_ID), slotList}}));
    controller = KavPtr<ClockDomainRedundancyController>(new ClockDomainRedundancyController());
    cardstest::link(cardSet.getRawPointer(), controller.getRawPointer());
    EXPECT_EQ(0u, cardSet->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc());
  }

  // The control card in its slot (configured at the set when `configure`).
  ControlCard& plugControl(const std::string& name, bool configure = true) {
    control.reset(new ControlCard(name, m_journal));
    put(cardSet->getOscCtrlSlot(), control->container);
    if (configure) cardSet->handleConfigEvent(cardSet->getOscCtrlSlot());
    return *control;
  }
  // A clock-domain card in slot `slot`, in mode 0 until the set says else.
  domaintest::DomainCard& plugDomain(const std::string& name, unsigned int slot, unsigned int type = 1,
                                     bool configure = true) {
    domaintest::DomainCard::Options options;
    options.name = name;
    options.slot = slot;
    options.type = type;
    options.mode = kavosc::OSC_SET_MODE_NONE;
    domains.emplace_back(new domaintest::DomainCard(options, m_journal));
    put(slot, domains.back()->container);
    if (configure) cardSet->handleConfigEvent(slot);
    return *domains.back();
  }

  KavPtr<Slot> slot(unsigned int slotId) { return m_slots[slotId]; }

  KavPtr<OscCardSet> cardSet;
  KavPtr<ClockDomainRedundancyController> controller;
  std::unique_ptr<ControlCard> control;
  std::vector<std::unique_ptr<domaintest::DomainCard>> domains;

 private:
  void put(unsigned int slotId, const KavPtr<Container>& container) {
    KavPtr<Slot>& slot = m_slots[slotId];
    if (slot == nullptr) {
      slot = KavPtr<Slot>(new Slot());
      slot->setSlotId(slotId);
      cardstest::link(m_root, slot.getRawPointer());
    }
    cardstest::link(slot.getRawPointer(), container.getRawPointer());
  }

  QueryBase* m_root;
  Journal* m_journal;
  std::map<unsigned int, KavPtr<Slot>> m_slots;
};

// The journal in coarse steps: a domain card's clock-enable writes become
// "<card> domain" (once per run of them), the rest stays as written.
inline Journal steps(const Journal& journal, const std::vector<std::string>& domainCards) {
  Journal out;
  for (const std::string& e : journal) {
    std::string step = e;
    for (const std::string& card : domainCards)
      if (e.compare(0, card.size() + 1, card + " ") == 0) step = card + " domain";
    if (out.empty() || out.back() != step || step.find(" domain") == std::string::npos) out.push_back(step);
  }
  return out;
}

}  // namespace osctest

#endif
