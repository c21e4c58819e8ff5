#include "SimDeviceModel.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace ravosim {

namespace {

std::string hexText(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string describe(const Register& r) {
  return (r.name.empty() ? "register" : "register '" + r.name + "'") + " at " + hexText(r.offset);
}

uint32_t widthMask(unsigned width) { return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

struct Registry {
  std::mutex mu;
  std::map<std::string, ModelFactory> factories;
};

Registry& registry() {
  static Registry* r = new Registry();
  return *r;
}

// The time of the wake-up being handled; only touched under the machine lock.
bool g_modelTimeSet = false;
DeviceModel::TimePoint g_modelTime;

}  // namespace

bool registerDeviceModel(const std::string& name, ModelFactory factory) {
  if (name.empty() || !factory) return false;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  return r.factories.emplace(name, std::move(factory)).second;
}

namespace detail {

ModelFactory deviceModelFactory(const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.factories.find(name);
  return it == r.factories.end() ? ModelFactory() : it->second;
}

void setModelTime(DeviceModel::TimePoint t) {
  g_modelTime = t;
  g_modelTimeSet = true;
}

void clearModelTime() { g_modelTimeSet = false; }

}  // namespace detail

DeviceModel::TimePoint DeviceModel::now() {
  return g_modelTimeSet ? g_modelTime : std::chrono::steady_clock::now();
}

DeviceModel::DeviceModel(std::string model, uint32_t size) : m_model(std::move(model)), m_size(size), m_at(size, -1) {}

DeviceModel::~DeviceModel() = default;

bool DeviceModel::addRegister(const Register& r, std::string& error) {
  if (r.width < 1 || r.width > 4) {
    error = describe(r) + " has width " + std::to_string(r.width) + " (1 to 4 bytes)";
    return false;
  }
  if (static_cast<uint64_t>(r.offset) + r.width > m_size) {
    error = describe(r) + " lies outside the device's " + std::to_string(m_size) + " registers";
    return false;
  }
  const uint32_t mask = widthMask(r.width);
  if ((r.reset | r.readOnly | r.writeOneToClear | r.selfClearing | r.reserved) & ~mask) {
    error = describe(r) + " has bits beyond its " + std::to_string(r.width) + " bytes";
    return false;
  }
  if (r.reset & r.reserved) {
    error = describe(r) + " resets reserved bits to 1";
    return false;
  }
  for (uint32_t o = r.offset; o < r.offset + r.width; ++o) {
    if (m_at[o] >= 0) {
      error = describe(r) + " overlaps " + describe(m_regs[static_cast<size_t>(m_at[o])].def);
      return false;
    }
  }
  const int index = static_cast<int>(m_regs.size());
  Slot s;
  s.def = r;
  s.value = r.reset;
  m_regs.push_back(std::move(s));
  for (uint32_t o = r.offset; o < r.offset + r.width; ++o) m_at[o] = index;
  return true;
}

void DeviceModel::fillWithRegisters(unsigned width) {
  std::string ignored;
  for (uint32_t o = 0; o + width <= m_size; o += width) {
    bool free = true;
    for (uint32_t b = o; b < o + width; ++b) free = free && m_at[b] < 0;
    if (!free) continue;
    Register r;
    r.offset = o;
    r.width = width;
    addRegister(r, ignored);
  }
}

unsigned DeviceModel::addInput(const std::string& name, bool idleLevel) {
  Input in;
  in.name = name;
  in.idle = idleLevel;
  in.level = idleLevel;
  m_inputs.push_back(std::move(in));
  return static_cast<unsigned>(m_inputs.size() - 1);
}

unsigned DeviceModel::addClockInput(const std::string& name) {
  Input in;
  in.name = name;
  in.isClock = true;
  m_inputs.push_back(std::move(in));
  return static_cast<unsigned>(m_inputs.size() - 1);
}

unsigned DeviceModel::addOutput(const std::string& name, std::function<bool()> level, bool unpoweredLevel) {
  Output out;
  out.name = name;
  out.fn = std::move(level);
  out.unpowered = unpoweredLevel;
  out.level = unpoweredLevel;
  m_outputs.push_back(std::move(out));
  return static_cast<unsigned>(m_outputs.size() - 1);
}

unsigned DeviceModel::addClockOutput(const std::string& name, std::function<ClockSignal()> signal) {
  ClockOut out;
  out.name = name;
  out.fn = std::move(signal);
  out.signal = stoppedClock();
  m_clockOutputs.push_back(std::move(out));
  return static_cast<unsigned>(m_clockOutputs.size() - 1);
}

ClockSignal DeviceModel::stoppedClock() {
  ClockSignal s;
  s.connected = true;
  return s;
}

DeviceModel::Slot* DeviceModel::slotAt(uint32_t offset) {
  if (offset >= m_size || m_at[offset] < 0) return nullptr;
  return &m_regs[static_cast<size_t>(m_at[offset])];
}

const DeviceModel::Slot* DeviceModel::slotAt(uint32_t offset) const {
  if (offset >= m_size || m_at[offset] < 0) return nullptr;
  return &m_regs[static_cast<size_t>(m_at[offset])];
}

uint32_t DeviceModel::reg(uint32_t offset) const {
  const Slot* s = slotAt(offset);
  return s ? s->value : 0;
}

void DeviceModel::setReg(uint32_t offset, uint32_t value) {
  Slot* s = slotAt(offset);
  if (s) s->value = value & widthMask(s->def.width) & ~s->def.reserved;
}

bool DeviceModel::input(unsigned index) const { return index < m_inputs.size() && m_inputs[index].level; }

const ClockSignal& DeviceModel::clock(unsigned index) const {
  static const ClockSignal none;
  return index < m_inputs.size() ? m_inputs[index].signal : none;
}

void DeviceModel::reset() {
  for (Slot& s : m_regs) s.value = s.def.reset;
  m_position = 0;
  m_wakePending = false;
  onReset();
  settle();
}

void DeviceModel::touch(int index) {
  Slot& s = m_regs[static_cast<size_t>(index)];
  if (s.touched) return;
  s.touched = true;
  s.before = s.value;
  m_touched.push_back(index);
}

template <class Byte, class Done>
bool DeviceModel::transfer(bool hasOffset, uint32_t offset, size_t len, Byte byte, Done done) {
  if (!m_powered) return false;
  if (hasOffset) m_position = offset;
  m_touched.clear();
  bool ok = true;
  for (size_t i = 0; i < len; ++i, ++m_position) {
    if (m_position >= m_size) {
      ok = false;
      break;
    }
    const int index = m_at[m_position];
    if (index < 0) {
      byte(i, nullptr, 0u);
      continue;
    }
    touch(index);
    Slot& s = m_regs[static_cast<size_t>(index)];
    byte(i, &s, 8 * (s.def.width - 1 - (m_position - s.def.offset)));
  }
  // The hooks run once per register the transfer touched, after all of it.
  for (int index : m_touched) {
    Slot& s = m_regs[static_cast<size_t>(index)];
    s.touched = false;
    done(s);
  }
  m_touched.clear();
  settle();
  return ok;
}

bool DeviceModel::write(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) {
  return transfer(
      hasOffset, offset, len,
      [data](size_t i, Slot* s, unsigned shift) {
        if (!s) return;
        const uint32_t lane = 0xFFu << shift;
        const uint32_t w = static_cast<uint32_t>(data[i]) << shift;
        const uint32_t fixed = s->def.readOnly | s->def.reserved;
        const uint32_t w1c = s->def.writeOneToClear & ~fixed & lane;
        const uint32_t plain = ~(fixed | s->def.writeOneToClear) & lane;
        s->value = ((s->value & ~plain) | (w & plain)) & ~(w & w1c);
      },
      [this](Slot& s) {
        onWrite(s.def.offset, s.before);
        s.value &= ~s.def.selfClearing;
      });
}

bool DeviceModel::read(bool hasOffset, uint32_t offset, bool /*specialRead*/, uint8_t* data, size_t len) {
  return transfer(
      hasOffset, offset, len,
      [data](size_t i, Slot* s, unsigned shift) { data[i] = s ? static_cast<uint8_t>(s->value >> shift) : 0; },
      [this](Slot& s) { onRead(s.def.offset); });
}

void DeviceModel::resetIrq(bool hasOffset, uint32_t offset, const uint8_t* data, size_t len) {
  // Without an offset phase the write started at the position it moved on from.
  onResetIrq(hasOffset ? offset : m_position - static_cast<uint32_t>(len), data, len);
  settle();
}

bool DeviceModel::peek(unsigned reg, uint8_t& value) const {
  if (reg >= m_size) return false;
  const Slot* s = slotAt(reg);
  value = s ? static_cast<uint8_t>(s->value >> (8 * (s->def.width - 1 - (reg - s->def.offset)))) : 0;
  return true;
}

bool DeviceModel::poke(unsigned reg, uint8_t value) {
  Slot* s = slotAt(reg);
  if (!s) return false;
  const unsigned shift = 8 * (s->def.width - 1 - (reg - s->def.offset));
  setReg(s->def.offset, (s->value & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift));
  settle();
  return true;
}

int DeviceModel::inputIndex(const std::string& name) const {
  for (size_t i = 0; i < m_inputs.size(); ++i)
    if (m_inputs[i].name == name) return static_cast<int>(i);
  return -1;
}

bool DeviceModel::isClockInput(unsigned index) const { return index < m_inputs.size() && m_inputs[index].isClock; }

const std::string& DeviceModel::inputName(unsigned index) const { return m_inputs.at(index).name; }

int DeviceModel::outputIndex(const std::string& name) const {
  for (size_t i = 0; i < m_outputs.size(); ++i)
    if (m_outputs[i].name == name) return static_cast<int>(i);
  return -1;
}

int DeviceModel::clockOutputIndex(const std::string& name) const {
  for (size_t i = 0; i < m_clockOutputs.size(); ++i)
    if (m_clockOutputs[i].name == name) return static_cast<int>(i);
  return -1;
}

ClockSignal DeviceModel::clockOutput(unsigned index) const {
  return index < m_clockOutputs.size() ? m_clockOutputs[index].signal : stoppedClock();
}

bool DeviceModel::output(unsigned index) const { return index < m_outputs.size() && m_outputs[index].level; }

bool DeviceModel::unpoweredOutput(unsigned index) const {
  if (index >= m_outputs.size()) return false;
  return m_outputs[index].forced ? m_outputs[index].forcedLevel : m_outputs[index].unpowered;
}

bool DeviceModel::idleInput(unsigned index) const { return index < m_inputs.size() && m_inputs[index].idle; }

bool DeviceModel::setPowered(bool on) {
  if (on == m_powered) return false;
  m_powered = on;
  if (on) {
    reset();
  } else {
    m_wakePending = false;
    settle();
  }
  return true;
}

bool DeviceModel::applyInput(unsigned index, bool level) {
  if (index >= m_inputs.size() || m_inputs[index].isClock) return false;
  Input& in = m_inputs[index];
  const bool seen = in.forced ? in.forcedLevel : level;
  if (seen == in.level) return false;
  in.level = seen;
  if (m_powered) onInput(index, seen);
  settle();
  return true;
}

bool DeviceModel::applyClock(unsigned index, const ClockSignal& signal) {
  if (index >= m_inputs.size() || !m_inputs[index].isClock) return false;
  Input& in = m_inputs[index];
  if (in.signal == signal) return false;
  in.signal = signal;
  if (m_powered) onClock(index);
  settle();
  return true;
}

void DeviceModel::forceInput(unsigned index, bool level) {
  if (index >= m_inputs.size() || m_inputs[index].isClock) return;
  m_inputs[index].forced = true;
  m_inputs[index].forcedLevel = level;
}

void DeviceModel::releaseInput(unsigned index) {
  if (index < m_inputs.size()) m_inputs[index].forced = false;
}

void DeviceModel::forceOutput(unsigned index, bool level) {
  if (index >= m_outputs.size()) return;
  m_outputs[index].forced = true;
  m_outputs[index].forcedLevel = level;
  settle();
}

void DeviceModel::releaseOutput(unsigned index) {
  if (index >= m_outputs.size()) return;
  m_outputs[index].forced = false;
  settle();
}

void DeviceModel::wakeAt(TimePoint when) {
  m_wakeAt = when;
  m_wakePending = true;
  if (m_wakeListener) m_wakeListener(when);
}

bool DeviceModel::fireTimer() {
  if (!m_powered || !m_wakePending || m_wakeAt > now()) return false;
  m_wakePending = false;
  onTimer();
  settle();
  return true;
}

void DeviceModel::settle() {
  bool changed = false;
  for (Output& o : m_outputs) {
    const bool level = o.forced ? o.forcedLevel : (m_powered ? o.fn() : o.unpowered);
    if (level != o.level) {
      o.level = level;
      changed = true;
    }
  }
  for (ClockOut& o : m_clockOutputs) {
    const ClockSignal signal = m_powered ? o.fn() : stoppedClock();
    if (signal != o.signal) {
      o.signal = signal;
      changed = true;
    }
  }
  if (changed && m_listener) m_listener();
}

}  // namespace ravosim
