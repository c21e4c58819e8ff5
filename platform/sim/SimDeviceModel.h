// Device models of the simulated machine's I2C buses.
//
// A model is a register map described as data (Register: offset, width,
// reset value, read-only, write-one-to-clear, self-clearing and reserved
// bits) plus a few behaviours, written as overrides of the hooks below: a
// write to one register changes another, a read has side effects, an input
// (a reset line, an oscillator) changes the state. Output signals (an alert,
// a lock detect) are expressions of registers and inputs; the machine wires
// them to GPIO pins and other devices' inputs (README.md, "Device models").
// Clock outputs (a PLL's output, the reference a clock switch passes on)
// are expressions as well; other devices' clock inputs follow them. A
// behaviour that takes time (a PLL settling) asks to be woken at a point of
// the machine's time (wakeAt, onTimer).
//
// One model is one source file that defines its class and registers a
// factory under the model's name:
//
//   const bool registered = ravosim::registerDeviceModel("my-chip",
//       [](ravosim::ModelArgs& args) -> std::unique_ptr<ravosim::DeviceModel> {
//         return std::make_unique<MyChip>();
//       });
//
// Models run with the machine lock held: every hook is called from one
// thread at a time and must not call the ravo or control interfaces.
#ifndef RAVO_SIM_DEVICE_MODEL_H
#define RAVO_SIM_DEVICE_MODEL_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SimI2cDevice.h"
#include "ravo_sim_control.h"

namespace ravosim {

// One register of a map. Bytes on the bus are most significant first: the
// register occupies the offsets offset .. offset + width - 1.
struct Register {
  std::string name;
  uint32_t offset = 0;
  unsigned width = 1;            // bytes, 1..4
  uint32_t reset = 0;
  uint32_t readOnly = 0;         // the master's writes leave these bits alone
  uint32_t writeOneToClear = 0;  // a written 1 clears the bit, a 0 leaves it
  uint32_t selfClearing = 0;     // a written 1 acts once (the write hook sees it), then reads 0
  uint32_t reserved = 0;         // always read 0, writes ignored
};

class DeviceModel;

// What a model is built from: the model's own attributes of its <device>
// element and, for models whose map comes from the description, the
// <register> elements below it. Every accessor records the first error
// with the file and line of the element and then returns false.
class ModelArgs {
 public:
  // An attribute absent from the element takes `dflt`.
  virtual bool number(const char* attribute, uint32_t& out, uint32_t max, uint32_t dflt) = 0;
  virtual bool boolean(const char* attribute, bool& out, bool dflt) = 0;
  // Adds every <register> element below the device to the model's map.
  virtual bool describedRegisters(DeviceModel& model) = 0;
  // An error of the device element; returns false.
  virtual bool fail(const std::string& message) = 0;

 protected:
  ~ModelArgs() = default;
};

class RAVO_SIM_API DeviceModel : public detail::I2cDevice {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // `size`: the address space in bytes; a transfer beyond it is not
  // acknowledged. Offsets inside it without a register read 0 and ignore
  // writes.
  DeviceModel(std::string model, uint32_t size);
  ~DeviceModel() override;
  DeviceModel(const DeviceModel&) = delete;
  DeviceModel& operator=(const DeviceModel&) = delete;

  // ---- Building the model (constructor or factory) ----
  // False with `error` set when the register does not fit the space, has a
  // bad width, overlaps another one or has reserved bits in its reset value.
  bool addRegister(const Register& r, std::string& error);
  // Registers of `width` bytes at every offset that has none yet.
  void fillWithRegisters(unsigned width = 1);
  // A digital input (a reset line, a load strobe), at `idleLevel` while
  // nothing is wired to it. Returns its index.
  unsigned addInput(const std::string& name, bool idleLevel = false);
  // A clock input, wired to an oscillator. Returns its index.
  unsigned addClockInput(const std::string& name);
  // An output signal following `level`, re-evaluated after every change of
  // the device; `unpoweredLevel` while the device has no supply or is
  // absent (an open-drain line pulled up reads high). Returns its index.
  unsigned addOutput(const std::string& name, std::function<bool()> level, bool unpoweredLevel = false);
  // A clock output following `signal`, re-evaluated after every change of
  // the device; stopped while the device has no supply or is absent. Clock
  // inputs of other devices take it with
  // clock="<port path>:<address>:<name>". Returns its index.
  unsigned addClockOutput(const std::string& name, std::function<ClockSignal()> signal);
  // What a clock output drives while stopped: wired, failed, 0 kHz.
  static ClockSignal stoppedClock();

  // ---- State, for behaviours ----
  // Value of the register at `offset` (0 without one).
  uint32_t reg(uint32_t offset) const;
  // Sets a register's value; behaviours may set read-only bits, reserved
  // bits stay 0.
  void setReg(uint32_t offset, uint32_t value);
  void setBits(uint32_t offset, uint32_t mask) { setReg(offset, reg(offset) | mask); }
  void clearBits(uint32_t offset, uint32_t mask) { setReg(offset, reg(offset) & ~mask); }
  bool input(unsigned index) const;
  const ClockSignal& clock(unsigned index) const;
  bool powered() const { return m_powered; }
  // The machine's time: the steady clock, except while a wake-up is handled,
  // when it is the time the wake-up was asked for (so what it changes is
  // logged at that time, however late the machine got to it).
  static TimePoint now();

  // ---- The machine's side ----
  std::string model() const override { return m_model; }
  uint32_t size() const { return m_size; }
  void reset() override;
  bool acknowledges() const override { return m_powered; }
  bool write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) override;
  bool read(bool hasOffset, uint32_t offset, bool specialRead, uint8_t* data, size_t len) override;
  void resetIrq(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) override;
  bool peek(unsigned reg, uint8_t& value) const override;
  bool poke(unsigned reg, uint8_t value) override;

  // Indices by name, -1 when the model has none of that name.
  int inputIndex(const std::string& name) const;
  bool isClockInput(unsigned index) const;
  int outputIndex(const std::string& name) const;
  int clockOutputIndex(const std::string& name) const;
  // A clock output as its wire sees it (stopped while unpowered).
  ClockSignal clockOutput(unsigned index) const;
  unsigned inputCount() const { return static_cast<unsigned>(m_inputs.size()); }
  const std::string& inputName(unsigned index) const;
  bool idleInput(unsigned index) const;
  // Output level as the wire sees it, and while the device is absent.
  bool output(unsigned index) const;
  bool unpoweredOutput(unsigned index) const;
  // Supply: off makes the device ignore its address; on again brings it
  // back in its reset state. True when the state changed.
  bool setPowered(bool on);
  // Level of a digital input / signal of a clock input from its wiring.
  // True when what the device sees changed.
  bool applyInput(unsigned index, bool level);
  bool applyClock(unsigned index, const ClockSignal& signal);
  // Test overrides of an input's wiring and of an output's expression.
  void forceInput(unsigned index, bool level);
  void releaseInput(unsigned index);
  void forceOutput(unsigned index, bool level);
  void releaseOutput(unsigned index);
  // Called when an output may have changed level or a clock output its
  // signal.
  void setChangeListener(std::function<void()> listener) { m_listener = std::move(listener); }
  // Wake-ups: at most one pending per device; a reset or the loss of the
  // supply drops it. The listener hears of every new request.
  bool wakePending() const { return m_wakePending; }
  TimePoint wakeTime() const { return m_wakeAt; }
  void setWakeListener(std::function<void(TimePoint)> listener) { m_wakeListener = std::move(listener); }
  // Runs onTimer() when the device is powered and its wake-up is due at
  // now(); true when it ran.
  bool fireTimer();

 protected:
  // ---- Behaviours ----
  // After a reset (power-on, supply back, re-insertion); registers are at
  // their reset values.
  virtual void onReset() {}
  // After the master wrote (part of) the register at `offset`; `before` is
  // its value before the transfer. Self-clearing bits are still set here.
  virtual void onWrite(uint32_t offset, uint32_t before) {
    (void)offset;
    (void)before;
  }
  // After the master read the register at `offset`.
  virtual void onRead(uint32_t offset) { (void)offset; }
  // The master released the interrupt line (ravo_siic_reset_irq), after
  // the write that came with it: `len` bytes, the first at `offset` (which
  // chips tell which flags to release this way).
  virtual void onResetIrq(uint32_t offset, const uint8_t* data, size_t len) {
    (void)offset;
    (void)data;
    (void)len;
  }
  // A digital input / clock input changed while the device is powered.
  virtual void onInput(unsigned index, bool level) {
    (void)index;
    (void)level;
  }
  virtual void onClock(unsigned index) { (void)index; }
  // A wake-up asked for with wakeAt() is due; now() is its time.
  virtual void onTimer() {}

  // The byte that a transfer of `len` bytes, the first at `offset`, carried
  // to the register at `reg` (0 when it did not reach it): with a reset-irq
  // transfer, the flags it releases there.
  static uint8_t byteFor(uint32_t reg, uint32_t offset, const uint8_t* data, size_t len) {
    return reg >= offset && reg - offset < len ? data[reg - offset] : 0;
  }

  // Asks for onTimer() at `when` (of the machine's time, see now()); it
  // replaces a pending request. cancelWake() drops it.
  void wakeAt(TimePoint when);
  void cancelWake() { m_wakePending = false; }

  // Re-evaluates the outputs; the hooks above are followed by it, so a
  // behaviour calls it only for changes it makes on its own.
  void settle();

 private:
  struct Slot {
    Register def;
    uint32_t value = 0;
    uint32_t before = 0;
    bool touched = false;
  };
  struct Input {
    std::string name;
    bool isClock = false;
    bool idle = false;
    bool level = false;
    bool forced = false;
    bool forcedLevel = false;
    ClockSignal signal;
  };
  struct Output {
    std::string name;
    std::function<bool()> fn;
    bool unpowered = false;
    bool level = false;
    bool forced = false;
    bool forcedLevel = false;
  };
  struct ClockOut {
    std::string name;
    std::function<ClockSignal()> fn;
    ClockSignal signal;
  };
  Slot* slotAt(uint32_t offset);
  const Slot* slotAt(uint32_t offset) const;
  void touch(int index);
  // One transfer: `byte(i, register or null, shift)` per byte, then
  // `done(register)` once per register touched.
  template <class Byte, class Done>
  bool transfer(bool hasOffset, uint32_t offset, size_t len, Byte byte, Done done);

  std::string m_model;
  uint32_t m_size;
  std::vector<Slot> m_regs;
  std::vector<int32_t> m_at;  // register index by offset, -1 for none
  std::vector<int> m_touched;
  std::vector<Input> m_inputs;
  std::vector<Output> m_outputs;
  std::vector<ClockOut> m_clockOutputs;
  std::function<void()> m_listener;
  std::function<void(TimePoint)> m_wakeListener;
  TimePoint m_wakeAt;
  bool m_wakePending = false;
  uint32_t m_position = 0;
  bool m_powered = true;
};

using ModelFactory = std::function<std::unique_ptr<DeviceModel>(ModelArgs&)>;

// Makes a model known under `name` for <device model="name">. False when the
// name is taken. Thread-safe; models may be registered at any time before a
// description that uses them is loaded.
RAVO_SIM_API bool registerDeviceModel(const std::string& name, ModelFactory factory);

namespace detail {
// The factory of a model, empty for an unknown name.
ModelFactory deviceModelFactory(const std::string& name);
// While the machine handles a wake-up, DeviceModel::now() is the time it
// was due (machine lock held).
void setModelTime(DeviceModel::TimePoint t);
void clearModelTime();
}  // namespace detail

}  // namespace ravosim

#endif
