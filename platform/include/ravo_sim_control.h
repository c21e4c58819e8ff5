// Control interface of the simulated machine behind the ravo libraries.
//
// For tests, benchmarks and tools only; the library never includes this
// header. Every function is thread-safe. Device paths are those of the ravo
// calls ("/dev/gpio/L00C0E08", "/dev/iic/L01C0E05P03", ...). Operation names
// are the names of the C calls ("ravo_iic_read"); "*" names every call.
//
// The machine comes from the description file named by RAVO_SIM_MACHINE
// (loaded on first use; without it the machine is empty). Persistent state
// (scratchpad contents, cold-start states, I/O multiplexer entries and state)
// lives in the directory named by RAVO_SIM_STATE_DIR, default
// /tmp/ravo-sim-state-<uid>. See platform/sim/README.md.
#ifndef RAVO_SIM_CONTROL_H
#define RAVO_SIM_CONTROL_H

#include <cstdint>
#include <string>
#include <vector>

#define RAVO_SIM_API __attribute__((visibility("default")))

namespace ravosim {

// State of a simulated oscillator: running at its nominal frequency,
// stopped, or running off its nominal frequency.
enum class OscillatorState { Running, Failed, Drifting };

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

// Fault injection: the next `count` calls of `op` on a device whose path
// matches `devicePattern` (fnmatch pattern, "" or "*" for any) fail with
// `err`. count 0 means every call until clearFaults. Faults are checked in
// the order they were added.
RAVO_SIM_API void failCalls(const std::string& op, const std::string& devicePattern, int err, unsigned count = 1);
RAVO_SIM_API void failAlways(const std::string& op, const std::string& devicePattern, int err);
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
RAVO_SIM_API bool removeI2cDevice(const std::string& portPath, unsigned address);
RAVO_SIM_API bool insertI2cDevice(const std::string& portPath, unsigned address);

// GPIO. Drives the external level of an input (what the pin is wired to);
// pending requests watching it complete. Pin numbering as in the ravo calls
// (pin 0 = bit 31 of masks).
RAVO_SIM_API bool setInputLevel(const std::string& gpioPath, unsigned pin, bool high);
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

// Scratchpad and I/O multiplexer contents, directly.
RAVO_SIM_API bool readScratchpad(const std::string& scpPath, uint32_t offset, void* data, uint32_t len);
RAVO_SIM_API bool readIomux(const std::string& iomuxPath, std::vector<uint32_t>& entries, int& state);

// Number of open handles of all families (leak checks in tests).
RAVO_SIM_API unsigned openHandles();

}  // namespace ravosim

#endif
