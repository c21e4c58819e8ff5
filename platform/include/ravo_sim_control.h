// Control interface of the simulated machine behind the ravo libraries.
//
// For tests, benchmarks, tools and the platform's firmware services
// (platform/fw) only; the library never includes this header. Every function is thread-safe. Device paths are those of the ravo
// calls ("/dev/gpio/L00C0E08", "/dev/iic/L01C0E05P03", ...). Operation names
// are the names of the C calls ("ravo_iic_read"); "*" names every call.
//
// The machine comes from the description file named by RAVO_SIM_MACHINE
// (loaded on first use; without it the machine is empty). Persistent state
// (scratchpad contents, cold-start states, I/O multiplexer entries and state,
// kept per card)
// lives in the directory named by RAVO_SIM_STATE_DIR, default
// /tmp/ravo-sim-state-<uid>. See platform/sim/README.md.
#ifndef RAVO_SIM_CONTROL_H
#define RAVO_SIM_CONTROL_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define RAVO_SIM_API __attribute__((visibility("default")))

namespace ravosim {

// State of a simulated oscillator: running at its nominal frequency,
// stopped, or running off its nominal frequency.
enum class OscillatorState { Running, Failed, Drifting };

// A clock as a device's clock input sees it (an oscillator or another
// device's clock output wired to it) or as a device's clock output drives
// it (readDeviceClock).
struct ClockSignal {
  bool connected = false;  // something is wired to the input (an output: always)
  // Failed as well while nothing is wired, the oscillator's card is absent
  // or the device that drives the clock is unpowered.
  OscillatorState state = OscillatorState::Failed;
  uint32_t nominalKHz = 0;
  int32_t driftPpm = 0;  // deviation from the nominal frequency while drifting
  // Spread spectrum: the frequency swings down to nominalKHz - spreadBelowKHz
  // and up to nominalKHz + spreadAboveKHz (both 0 without spreading).
  uint32_t spreadBelowKHz = 0;
  uint32_t spreadAboveKHz = 0;
  bool running() const { return state != OscillatorState::Failed; }
  bool operator==(const ClockSignal& o) const {
    return connected == o.connected && state == o.state && nominalKHz == o.nominalKHz && driftPpm == o.driftPpm &&
           spreadBelowKHz == o.spreadBelowKHz && spreadAboveKHz == o.spreadAboveKHz;
  }
  bool operator!=(const ClockSignal& o) const { return !(*this == o); }
};

// Result of loading a description. On failure `message` reads
// "<file>:<line>: <what is wrong>" and the previous machine stays.
struct LoadResult {
  bool ok = false;
  std::string file;
  unsigned line = 0;
  std::string message;
};

// Loads a description file / text and makes it the machine: every open
// handle goes stale (its calls fail with ENODEV; close still releases it),
// every pending request completes
// with ENODEV, faults and delays of the old machine are dropped and those of
// the new description apply. Persistent state is kept. `name` stands for the
// file in messages.
RAVO_SIM_API LoadResult loadMachine(const std::string& path);
RAVO_SIM_API LoadResult loadMachineText(const std::string& xml, const std::string& name = "<text>");
// Path of the loaded description ("" for none or text).
RAVO_SIM_API std::string machinePath();

// Back to the loaded description as after power-on: all CFAMs and devices
// present, pins at their initial levels, registers at reset values, faults,
// delays and bus times cleared, persistent state wiped (cold start).
// Open handles and contexts stay usable.
RAVO_SIM_API void resetMachine();

// Directory of the persistent state. Setting it reloads the persistent state
// of every device from there (as a restarted process would see it).
RAVO_SIM_API void setStateDir(const std::string& dir);
RAVO_SIM_API std::string stateDir();

// Power cuts. Arms a cut of the machine's power after the `writes`-th
// ravo_scp_write from now (1 = the next one) on a scratchpad whose path
// matches `scpPattern` (fnmatch, "" or "*" for any). With `tearAfterBytes`
// < 0 that write completes and succeeds; otherwise only its first
// `tearAfterBytes` bytes reach the memory (and the state folder) and the
// call fails with EIO. Once the power is cut, every call that would change
// persistent state (ravo_scp_write, ravo_scp_reset_coldstart_state,
// ravo_iomux_write, _validate, _invalidate) fails with EIO until
// restartMachine(). `writes` 0 disarms a cut that has not happened yet.
RAVO_SIM_API void cutPowerAfterScratchpadWrites(unsigned writes, int tearAfterBytes = -1,
                                                const std::string& scpPattern = "*");
RAVO_SIM_API bool powerIsCut();
// ravo_scp_write calls that reached a memory so far (also a torn one):
// tells a test how many cut points an operation has.
RAVO_SIM_API uint64_t scratchpadWrites();
// The machine as a new process sees it after a power cycle: the power is
// back (a pending cut is disarmed), every open handle goes stale (ENODEV;
// close still releases it), pending requests complete with ENODEV, GPIO
// and I2C devices are at power-on (driven pins released), and scratchpad
// and I/O multiplexer contents are reloaded from the state folder. Cards,
// their presence, faults and delays stay as they are.
RAVO_SIM_API void restartMachine();

// Fault injection: the next `count` calls of `op` on a device whose path
// matches `devicePattern` (fnmatch pattern, "" or "*" for any) fail with
// `err`. count 0 means every call until clearFaults. Faults are checked in
// the order they were added.
RAVO_SIM_API void failCalls(const std::string& op, const std::string& devicePattern, int err, unsigned count = 1);
RAVO_SIM_API void failAlways(const std::string& op, const std::string& devicePattern, int err);
// The same after `skip` matching calls have passed: with skip 2 and count 1
// the third matching call fails ("EIO on the third transfer").
RAVO_SIM_API void failCallsAfter(const std::string& op, const std::string& devicePattern, int err, unsigned skip,
                                 unsigned count = 1);
// A card that vanishes in the middle of an operation: the CFAM at
// (link, cascade) is pulled (as removeCfam) just before the (skip + 1)-th
// call of `op` on a device matching `devicePattern`, which then fails with
// ENODEV like every later call on the card. Removed by clearFaults while it
// has not acted; false for an unknown CFAM.
RAVO_SIM_API bool removeCfamBeforeCall(unsigned link, unsigned cascade, const std::string& op,
                                       const std::string& devicePattern, unsigned skip);
RAVO_SIM_API void clearFaults();
// Calls of `op` that were failed by injection so far.
RAVO_SIM_API unsigned injectedFailures(const std::string& op = "*");

// Presence. A removed CFAM makes every call on its engines fail with ENODEV,
// completes their pending requests with ENODEV and drops it from the FSI
// engine list; a removed I2C device NACKs (ENXIO). Insert restores it with
// its volatile state at reset values; handles opened before the removal of
// a CFAM keep failing with ENODEV. Return false for an unknown CFAM/device.
RAVO_SIM_API bool removeCfam(unsigned link, unsigned cascade);
RAVO_SIM_API bool insertCfam(unsigned link, unsigned cascade);
RAVO_SIM_API bool cfamPresent(unsigned link, unsigned cascade);
// Cards. A CFAM sits on a card with a type and a serial number (the
// description's <cfam type=".." serial="..">); its scratchpad and I/O
// multiplexer contents belong to the card and go where the card goes. A
// card without a serial (a blank card, or a CFAM soldered onto the
// machine) keeps them by place.
struct CardIdentity {
  std::string type;
  std::string serial;  // "" = a blank card
};
// Puts another card into the CFAM's place and plugs it: the old card is
// pulled (as removeCfam), the new one arrives with its own state (empty for
// a card never seen and for a blank card) and its volatile parts at
// power-on. A card that sits in another place is moved: that place is left
// empty and unplugged. False for an unknown CFAM or a type or serial that
// is not 1 to 64 letters, digits, '.', '_' or '-' (not starting with '.').
RAVO_SIM_API bool swapCard(unsigned link, unsigned cascade, const CardIdentity& card);
RAVO_SIM_API bool cardIdentity(unsigned link, unsigned cascade, CardIdentity& card);
// The folder that holds the state of the card in that place ("" for an
// unknown CFAM).
RAVO_SIM_API std::string cardStateFolder(unsigned link, unsigned cascade);
RAVO_SIM_API bool removeI2cDevice(const std::string& portPath, unsigned address);
RAVO_SIM_API bool insertI2cDevice(const std::string& portPath, unsigned address);

// GPIO. Pin numbering as in the ravo calls (pin 0 = bit 31 of masks).
// setInputLevel replaces what the pin is wired to by a fixed level, for good
// (until the next power-on), and ends a drivePin of it. drivePin drives the
// pin from outside over its wiring (an output of the engine itself still
// wins); releasePin gives it back to its wiring. Pending requests watching
// a pin that changes fire.
RAVO_SIM_API bool setInputLevel(const std::string& gpioPath, unsigned pin, bool high);
RAVO_SIM_API bool drivePin(const std::string& gpioPath, unsigned pin, bool high);
RAVO_SIM_API bool releasePin(const std::string& gpioPath, unsigned pin);
// Pin levels as ravo_gpio_read_input_pins would read them / output latches.
RAVO_SIM_API bool readPinLevels(const std::string& gpioPath, uint32_t& levels);
RAVO_SIM_API bool readOutputLatches(const std::string& gpioPath, uint32_t& latches);
// Number of requests pending on the engine.
RAVO_SIM_API unsigned pendingRequests(const std::string& gpioPath);

// I2C. A delay makes every transfer on matching ports (fnmatch pattern) take
// at least `ms` milliseconds of real time; past the port's time-out the
// transfer fails with ETIMEDOUT. 0 removes it.
RAVO_SIM_API void setI2cDelay(const std::string& portPattern, unsigned ms);
// Modelled bus time in nanoseconds of all transfers on the port since the
// last reset: (address + offset + data bytes) x 9 bits at the port's speed.
RAVO_SIM_API uint64_t busTimeNs(const std::string& portPath);
RAVO_SIM_API uint64_t busTransfers(const std::string& portPath);
RAVO_SIM_API void resetBusTime();
// Direct register access of a device model (no bus time, no faults).
RAVO_SIM_API bool peekI2cRegister(const std::string& portPath, unsigned address, unsigned reg, uint8_t& value);
RAVO_SIM_API bool pokeI2cRegister(const std::string& portPath, unsigned address, unsigned reg, uint8_t value);
// Whether the device raised its interrupt line and the number of
// ravo_siic_reset_irq calls that reached it.
RAVO_SIM_API bool i2cIrqResets(const std::string& portPath, unsigned address, unsigned& count);

// Oscillators, by their names in the description. Failing one stops it;
// restoring runs it at its nominal frequency again; drifting runs it `ppm`
// off its nominal frequency. Chips with a clock input wired to it see the
// change at once and act as their models say (switch over, raise a line).
// An oscillator on an absent card looks failed to the chips. False for an
// unknown name.
RAVO_SIM_API bool failOscillator(const std::string& name);
RAVO_SIM_API bool restoreOscillator(const std::string& name);
RAVO_SIM_API bool setOscillatorDrifting(const std::string& name, int32_t ppm);
RAVO_SIM_API bool oscillatorState(const std::string& name, OscillatorState& state, int32_t& driftPpm);

// Supplies, by their names in the description. The devices of a cut supply
// do not answer (ENXIO) and their outputs fall to their unpowered levels;
// when it is restored they start from their reset state. `on` is what the
// devices see: not cut and, for a supply with an enable wire, that wire
// high. resetMachine restores every supply.
RAVO_SIM_API bool cutSupply(const std::string& name);
RAVO_SIM_API bool restoreSupply(const std::string& name);
RAVO_SIM_API bool supplyOn(const std::string& name, bool& on);
// Whether the device has its supply (and its card is present).
RAVO_SIM_API bool devicePowered(const std::string& portPath, unsigned address, bool& powered);

// Device signals, by the names the device's model gives them. An input reads
// the level the device sees (a clock input: whether its oscillator runs); an
// output the level its wire sees. Driving an input overrides its wiring and
// forcing an output overrides the model (a stuck line) until released; what
// is wired to them follows, pending requests included.
RAVO_SIM_API bool readDeviceInput(const std::string& portPath, unsigned address, const std::string& input,
                                  bool& level);
RAVO_SIM_API bool readDeviceOutput(const std::string& portPath, unsigned address, const std::string& output,
                                   bool& level);
RAVO_SIM_API bool driveDeviceInput(const std::string& portPath, unsigned address, const std::string& input,
                                   bool level);
RAVO_SIM_API bool releaseDeviceInput(const std::string& portPath, unsigned address, const std::string& input);
RAVO_SIM_API bool forceDeviceOutput(const std::string& portPath, unsigned address, const std::string& output,
                                    bool level);
RAVO_SIM_API bool releaseDeviceOutput(const std::string& portPath, unsigned address, const std::string& output);
// A clock of a device, by name: a clock output as its wire sees it
// (stopped while the device is unpowered or absent), or a clock input as
// the device sees it. False for an unknown device or name.
RAVO_SIM_API bool readDeviceClock(const std::string& portPath, unsigned address, const std::string& clock,
                                  ClockSignal& signal);

// Scratchpad and I/O multiplexer contents, directly. writeScratchpad and
// setColdStart change the card's memory as a programmer on the bench would:
// stored in the state folder at once, no faults, no power cut, no log.
RAVO_SIM_API bool readScratchpad(const std::string& scpPath, uint32_t offset, void* data, uint32_t len);
RAVO_SIM_API bool writeScratchpad(const std::string& scpPath, uint32_t offset, const void* data, uint32_t len);
RAVO_SIM_API bool setColdStart(const std::string& scpPath, bool cold);
RAVO_SIM_API bool coldStart(const std::string& scpPath, bool& cold);
RAVO_SIM_API bool readIomux(const std::string& iomuxPath, std::vector<uint32_t>& entries, int& state);

// Number of open handles of all families (leak checks in tests).
RAVO_SIM_API unsigned openHandles();

// The firmware's view of the machine: the <firmware> element of the
// description (README.md, "The firmware's view of the machine"). The
// platform's firmware services (platform/fw) read it; tests change it.
//
// A target of the hardware targeting. Nodes are class 2 (enclosure), type 2;
// processor chips class 3, type 5; oscillator cards class 3, type 26.
struct FirmwareTarget {
  enum Class : uint32_t { Enclosure = 2, Chip = 3 };
  enum Type : uint32_t { Node = 2, Processor = 5, OscillatorCard = 26 };
  uint32_t targetClass = 0;
  uint32_t type = 0;
  uint32_t id = 0;        // identifying attribute: unique, never 0
  uint32_t position = 0;  // position attribute
  uint32_t parent = 0;    // a processor's node (its id), else 0
  std::string name;       // device name in faults and the transaction log
  bool present = false;
  bool functional = false;  // never while absent
};
// Every target, in the order of the description.
RAVO_SIM_API std::vector<FirmwareTarget> firmwareTargets();
// One target by its id; false for an unknown id.
RAVO_SIM_API bool firmwareTarget(uint32_t id, FirmwareTarget& target);
// Marks a target functional or not (a deconfigured card, a garded chip).
// An absent target reads non-functional whatever the mark; it keeps the
// mark for when it comes back.
RAVO_SIM_API bool setTargetFunctional(uint32_t id, bool functional);
// Plugs or pulls a target. An oscillator card on a CFAM is that CFAM:
// pulling it is removeCfam, plugging it insertCfam.
RAVO_SIM_API bool setTargetPresent(uint32_t id, bool present);
// Whether this service processor is the primary one.
RAVO_SIM_API bool serviceProcessorPrimary();
RAVO_SIM_API void setServiceProcessorPrimary(bool primary);
// The system state value the firmware reports.
RAVO_SIM_API uint32_t systemState();
RAVO_SIM_API void setSystemState(uint32_t state);
// The machine's time of day: the host's real time plus this many seconds.
RAVO_SIM_API int64_t timeOfDayOffset();
RAVO_SIM_API void setTimeOfDayOffset(int64_t seconds);
// CFAM register access of a processor chip, as the firmware's hardware
// access does it: 0 or an errno. Injected faults (operations "cfamRead" and
// "cfamWrite", device the chip's name) act first; an unknown id, a target
// that is no processor chip or an absent chip fail with ENODEV, an address
// the chip does not model with ENXIO. Every access is logged (CfamRead,
// CfamWrite).
RAVO_SIM_API int cfamRead(uint32_t id, uint32_t address, uint32_t& value);
RAVO_SIM_API int cfamWrite(uint32_t id, uint32_t address, uint32_t value);
// The same registers directly: no faults, no log, also while absent.
RAVO_SIM_API bool peekCfamRegister(uint32_t id, uint32_t address, uint32_t& value);
RAVO_SIM_API bool pokeCfamRegister(uint32_t id, uint32_t address, uint32_t value);
// For platform services outside the ravo libraries: whether an injected
// fault makes this call of `op` on `device` fail (true, err set). It counts
// like a failed ravo call (injectedFailures).
RAVO_SIM_API bool takeInjectedFault(const std::string& op, const std::string& device, int& err);

// Transaction log: what the buses and pins of the machine saw, in order,
// like the decoded view of a logic analyser. It is on from the start and
// keeps the last `transactionLogCapacity()` entries (a ring; older entries
// are dropped and counted).
struct Transaction {
  enum Kind : uint8_t {
    I2cWrite,        // ravo_iic_write, ravo_siic_write
    I2cRead,         // ravo_iic_read, ravo_siic_read
    I2cResetIrq,     // ravo_siic_reset_irq
    PinChange,       // pins of a GPIO engine changed level
    Interrupt,       // a pending request fired
    InterruptHeld,   // a request's level is met but the pin's condition is latched
    ConditionReset,  // ravo_gpio_reset_interrupt_condition
    IomuxWrite,      // ravo_iomux_write
    CfamRead,        // cfamRead of a processor chip
    CfamWrite,       // cfamWrite of a processor chip
  };
  uint64_t seq = 0;  // 1, 2, ... since the machine was created
  std::chrono::steady_clock::time_point time;
  Kind kind = I2cWrite;
  std::string device;  // port path (I2C) or GPIO engine path
  // I2C: device address, offset phase, the bytes written or read, the
  // result (0 or errno) and the modelled bus time of the transfer.
  unsigned address = 0;
  bool hasOffset = false;
  uint32_t offset = 0;
  unsigned offsetWidth = 0;
  std::vector<uint8_t> data;
  int result = 0;
  uint64_t busNs = 0;
  // GPIO (pin n = bit 0x80000000 >> n). PinChange: the pins that changed
  // and the levels of all pins after. Interrupt, InterruptHeld: the pins
  // whose level the request met and the levels. ConditionReset: the pins
  // reset and the latched conditions before the reset.
  uint32_t mask = 0;
  uint32_t levels = 0;
  // IomuxWrite: the first entry's index in `offset`, the entries handed
  // over (also those the device refused) and the result in `result`.
  std::vector<uint32_t> entries;
  // CfamRead, CfamWrite: `device` is the chip's name, the register address
  // in `offset`, the value read (0 when the read failed) or written in
  // `value`, the result (0 or errno) in `result`.
  uint32_t value = 0;
};
RAVO_SIM_API void setTransactionLog(bool on);
RAVO_SIM_API bool transactionLogOn();
// Changing the capacity clears the log. At least 1.
RAVO_SIM_API void setTransactionLogCapacity(size_t entries);
RAVO_SIM_API size_t transactionLogCapacity();
// The entries of devices matching `devicePattern` (fnmatch pattern over
// device paths, "" or "*" for all) and, for I2C, of the device address
// (-1 for any), oldest first.
RAVO_SIM_API std::vector<Transaction> readTransactionLog(const std::string& devicePattern = "*", int address = -1);
RAVO_SIM_API void clearTransactionLog();
// Entries dropped from the full ring since the last clear.
RAVO_SIM_API uint64_t droppedTransactions();
// One line per transaction; times in seconds after `since`.
RAVO_SIM_API std::string formatTransaction(const Transaction& t, std::chrono::steady_clock::time_point since);
// The whole list, times after its first entry, one line each.
RAVO_SIM_API std::string formatTransactionLog(const std::vector<Transaction>& log);

}  // namespace ravosim

#endif
