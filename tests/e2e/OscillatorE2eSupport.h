// Helpers of the oscillator end-to-end tests: the selection fields of the
// redundant state table, the oscillator handlers, the use controls of the
// cards' oscillator controls, and a start with both cards activated.
#ifndef TESTS_E2E_OSCILLATORE2ESUPPORT_H
#define TESTS_E2E_OSCILLATORE2ESUPPORT_H

#include <gtest/gtest.h>

#include "kav/cards/PowerControl.h"
#include "kav/cards/RedundantStateTable.h"
#include "kav/clock/osc/DynamicOscillatorHandler.h"
#include "kav/clock/osc/OscCardSet.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/hwaccess/dio/dio_access.h"
#include "kav/tree/config/StringToId.h"
#include "tests/e2e/E2eSupport.h"

namespace e2e {

// Fields of the selection state table: the current and the preferred
// selection byte.
const unsigned int kCurrent = 361;
const unsigned int kPreferred = 362;
// Lookup tables of a card's programmable logic: the use controls of its
// oscillators 0 and 1.
const unsigned int kUseOsc0Table = 2;
const unsigned int kUseOsc1Table = 3;
// The status handler's report and its SRC with the keys OscStatusH / Error.
const unsigned int kStatusReport = OscillatorStatusHandler::kStatusReport;
const unsigned int kErrorSrc = 0x28C07201;

inline KavPtr<RedundantStateTable> selectionTable() {
  return findObject<RedundantStateTable>(get_id_by_string("OscSelectionStateTable"), kAnySlot);
}

// The byte of the field, 0xEE when the table cannot be read.
inline unsigned char field(unsigned int id) {
  unsigned char value = 0xEE;
  KavPtr<RedundantStateTable> t = selectionTable();
  if (t == nullptr) return 0xEE;
  EXPECT_EQ(0u, t->readField(id, &value, 1, 0).getRc());
  return value;
}

inline void setField(unsigned int id, unsigned char value) {
  KavPtr<RedundantStateTable> t = selectionTable();
  ASSERT_TRUE(t != nullptr);
  ASSERT_EQ(0u, t->writeField(id, &value, 1, 0).getRc());
}

inline KavPtr<DynamicOscillatorHandler> handler() { return findObject<DynamicOscillatorHandler>(kAnyName, kAnySlot); }

inline KavPtr<OscCardSet> cardSet(kavosc::OscCardSet_t set) {
  KavPtr<DynamicOscillatorHandler> h = handler();
  return h == nullptr ? KavPtr<OscCardSet>() : h->getOscCardSet(set);
}

inline kavosc::OscSetMode_t setMode(kavosc::OscCardSet_t set) {
  kavosc::OscSetMode_t mode = static_cast<kavosc::OscSetMode_t>(0xFF);
  KavPtr<OscCardSet> s = cardSet(set);
  if (s != nullptr) {
    EXPECT_EQ(0u, s->readMode(mode).getRc());
  }
  return mode;
}

// The use control (1, 2 or 3) of the card's programmable logic table; 0
// when it cannot be read.
inline unsigned int useControl(unsigned int slot, unsigned int tableId) {
  unsigned int control = 0;
  if (kav::dio_pldGetTableControl(slot, 1, 0, tableId, control) != 0) return 0;
  return control;
}

inline unsigned int select(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode) {
  return handler()->selectOscillator(set, mode, false).getRcWithoutLogFlag();
}

// Starts the library with both cards configured and activated, finishes
// the initial configuration as the adapter does (which starts the
// oscillator handler up) and waits for the handler's start-up.
inline void startBothActivated() {
  startWithBothCards();
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_EQ(0, kav::finish_initial_config());
  for (unsigned int slot : {kCard0, kCard1}) {
    KavPtr<PowerControl> card = findObject<PowerControl>(kAnyName, slot);
    ASSERT_TRUE(card != nullptr);
    PowerControl::FruActivationState_t state = PowerControl::DEACTIVATED;
    ASSERT_EQ(0u, card->getActivationState(state).getRc());
    if (state != PowerControl::ACTIVATED) {
      ASSERT_EQ(0u, card->activate(false).getRc());
    }
  }
  ASSERT_TRUE(waitFor([] { return handler() != nullptr && handler()->isStartupDone(); }));
}

// A restart of the service processor's library: stop, then start again
// over the same machine and scratchpads.
inline void restartLibrary() {
  ASSERT_EQ(0, kav::stop());
  startBothActivated();
}

}  // namespace e2e

#endif
