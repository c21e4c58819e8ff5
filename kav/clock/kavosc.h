// The oscillator interface's types (namespace kavosc): what callers of the
// kavosc functions and the clock objects exchange.
#ifndef KAV_CLOCK_KAVOSC_H
#define KAV_CLOCK_KAVOSC_H

#include "kav/tree/objects/kavstl.h"

namespace kavosc {

// The mode of an oscillator card set: 1 selected of a redundant selection,
// 2 the other set of a redundant selection, 3 selected alone, 4 the other
// set selected alone, 0 nothing selected.
enum OscSetMode_t : unsigned int {
  OSC_SET_MODE_NONE = 0,
  OSC_SET_MODE_REDUNDANT_PRIMARY = 1,
  OSC_SET_MODE_REDUNDANT_SECONDARY = 2,
  OSC_SET_MODE_SINGLE = 3,
  OSC_SET_MODE_OTHER_SINGLE = 4
};

// The direction of a PLL's spread-spectrum modulation.
enum SpreadingDirection_t : unsigned int {
  SPREADING_OFF = 0,
  SPREADING_UP = 1,
  SPREADING_DOWN = 2,
  SPREADING_CENTER = 3
};

// A clock domain type: one bit per type, or a group of the types 8..128.
enum ClockDomain_t : unsigned int {
  CLOCK_DOMAIN_1 = 1,
  CLOCK_DOMAIN_2 = 2,
  CLOCK_DOMAIN_4 = 4,
  CLOCK_DOMAIN_8 = 8,
  CLOCK_DOMAIN_16 = 16,
  CLOCK_DOMAIN_32 = 32,
  CLOCK_DOMAIN_64 = 64,
  CLOCK_DOMAIN_128 = 128,
  CLOCK_DOMAIN_GROUP = 248
};

// A spreading set-up: direction and amount in tenths of a percent.
struct SpreadingStatus_t {
  SpreadingDirection_t direction;
  unsigned int value;

  bool operator==(const SpreadingStatus_t& o) const { return direction == o.direction && value == o.value; }
  bool operator!=(const SpreadingStatus_t& o) const { return !(*this == o); }
};

// A clock domain's PLL as ClockDomain::readStatus finds it.
struct PllStatus_t {
  unsigned int cycleTime;       // picoseconds; 0xFFFFFFFF when not readable
  bool clkEnableInputActive;    // the PLL's clock-enable input reads on
  bool error1Present;           // error flag type 1 (lock lost)
  bool error0Present;           // error flag type 0 (reference lost)
  SpreadingStatus_t spreading;  // the spreading set-up recorded
  unsigned char registers[4];   // raw registers 1..4; not compared

  bool operator==(const PllStatus_t& o) const {
    return cycleTime == o.cycleTime && clkEnableInputActive == o.clkEnableInputActive &&
           error1Present == o.error1Present && error0Present == o.error0Present && spreading == o.spreading;
  }
  bool operator!=(const PllStatus_t& o) const { return !(*this == o); }
};

// One reference input of a clock-redundancy chip.
struct CrcInputStatus_t {
  bool firstErrorPresent;   // error type 1, 2 or 3 of the input
  bool secondErrorPresent;  // error type 5, 6 or 7 of the input
  bool disabled;
  bool selected;            // the input the chip has selected now

  bool operator==(const CrcInputStatus_t& o) const {
    return firstErrorPresent == o.firstErrorPresent && secondErrorPresent == o.secondErrorPresent &&
           disabled == o.disabled && selected == o.selected;
  }
  bool operator!=(const CrcInputStatus_t& o) const { return !(*this == o); }
};

// A clock-redundancy chip as Crc::readStatus finds it.
struct CrcStatus_t {
  bool flag;               // as the caller passed it
  unsigned char reserved;  // 0
  bool error0Present;      // the chip's own error types
  bool error4Present;
  CrcInputStatus_t inputs[3];
  unsigned char registers[12];  // registers 1..10 in the first 10

  bool operator==(const CrcStatus_t& o) const {
    if (flag != o.flag || reserved != o.reserved || error0Present != o.error0Present ||
        error4Present != o.error4Present)
      return false;
    for (int i = 0; i < 3; ++i)
      if (inputs[i] != o.inputs[i]) return false;
    for (int i = 0; i < 12; ++i)
      if (registers[i] != o.registers[i]) return false;
    return true;
  }
  bool operator!=(const CrcStatus_t& o) const { return !(*this == o); }
};

// A clock domain as ClockDomain::readStatus finds it.
struct ClockDomainStatus_t {
  unsigned int clockDomainType;
  bool steeringModeActive;
  PllStatus_t pllStatus;
  CrcStatus_t crcStatus;

  bool operator==(const ClockDomainStatus_t& o) const {
    return clockDomainType == o.clockDomainType && steeringModeActive == o.steeringModeActive &&
           pllStatus == o.pllStatus && crcStatus == o.crcStatus;
  }
  bool operator!=(const ClockDomainStatus_t& o) const { return !(*this == o); }
};

// The two oscillator card sets.
enum OscCardSet_t : unsigned int { OSC_CARD_SET_NONE = 0, OSC_CARD_SET_A = 0x10, OSC_CARD_SET_B = 0x20 };

// How a selected card set runs: 1 redundant (the other set stands by), 2
// alone.
enum OscSelectionMode_t : unsigned int {
  OSC_SELECTION_NONE = 0,
  OSC_SELECTION_REDUNDANT = 1,
  OSC_SELECTION_SINGLE = 2
};

// Whether a unit of an oscillator control passes a switch-over on.
enum SwitchoverPropagationMode_t : unsigned int { PROPAGATION_OFF = 0, PROPAGATION_ON = 1 };

// One unit of an oscillator control: its two oscillator-switch inputs and
// its propagation fence.
struct OscControlUnitStatus_t {
  bool input0On;
  bool input1On;
  unsigned int propagationFenceEnabled;  // 1 when the fence's control reads 1

  bool operator==(const OscControlUnitStatus_t& o) const {
    return input0On == o.input0On && input1On == o.input1On && propagationFenceEnabled == o.propagationFenceEnabled;
  }
};

// One group of an oscillator control.
struct OscControlGroupStatus_t {
  bool groupPowerGood;
  bool outputsEnabled;
  kavstl::vector<OscControlUnitStatus_t> units;  // in unit order

  bool operator==(const OscControlGroupStatus_t& o) const {
    return groupPowerGood == o.groupPowerGood && outputsEnabled == o.outputsEnabled && units == o.units;
  }
  bool operator!=(const OscControlGroupStatus_t& o) const { return !(*this == o); }
};

// An oscillator control as its card set reads it.
struct OscControlStatus_t {
  unsigned int controlSlotId;
  unsigned int oscSetMode;  // the card set's mode
  bool osc0StatusOn;        // both false without control
  bool osc1StatusOn;
  kavstl::vector<OscControlGroupStatus_t> groups;  // in group order

  bool operator==(const OscControlStatus_t& o) const {
    return controlSlotId == o.controlSlotId && oscSetMode == o.oscSetMode && osc0StatusOn == o.osc0StatusOn &&
           osc1StatusOn == o.osc1StatusOn && groups == o.groups;
  }
  bool operator!=(const OscControlStatus_t& o) const { return !(*this == o); }
};

// One card of an oscillator card set. cardState: 0 no configured card, 1
// active, 2 not active, 3 power failed.
struct OscCardStatus_t {
  unsigned int slotId;
  unsigned int oscCardSet;
  unsigned int cardState;
  bool clockDomainDefective;
  unsigned int reserved;  // 0
  kavstl::vector<ClockDomainStatus_t> clockDomains;

  bool operator==(const OscCardStatus_t& o) const {
    return slotId == o.slotId && oscCardSet == o.oscCardSet && cardState == o.cardState &&
           clockDomainDefective == o.clockDomainDefective && reserved == o.reserved && clockDomains == o.clockDomains;
  }
  bool operator!=(const OscCardStatus_t& o) const { return !(*this == o); }
};

// Both card sets as the oscillator interface reports them.
struct RedundantOscillatorStatus_t {
  unsigned int currentOscCardSet;    // selection byte AND 0x30
  unsigned int currentSelectionMode; // selection byte AND 0x0F
  unsigned int preferredOscCardSet;
  unsigned int preferredSelectionMode;
  unsigned int previousOscCardSet;   // 0 until a selection completed
  unsigned int lastSelectionSeconds;
  unsigned int lastSelectionMicroseconds;
  bool debugMode;
  kavstl::vector<OscCardStatus_t> cards;  // set A's, then set B's
  OscControlStatus_t controlA;
  OscControlStatus_t controlB;

  // The time is not compared; cards are matched by slot id.
  bool operator==(const RedundantOscillatorStatus_t& o) const {
    if (currentOscCardSet != o.currentOscCardSet || currentSelectionMode != o.currentSelectionMode ||
        preferredOscCardSet != o.preferredOscCardSet || preferredSelectionMode != o.preferredSelectionMode ||
        debugMode != o.debugMode || controlA != o.controlA || controlB != o.controlB || cards.size() != o.cards.size())
      return false;
    for (const OscCardStatus_t& card : cards) {
      bool found = false;
      for (const OscCardStatus_t& other : o.cards)
        if (other.slotId == card.slotId) found = other == card;
      if (!found) return false;
    }
    return true;
  }
  bool operator!=(const RedundantOscillatorStatus_t& o) const { return !(*this == o); }
};

}  // namespace kavosc

#endif
