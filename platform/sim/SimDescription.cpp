// Reading a machine description (XML, see README.md) into a Model.
#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <set>

#include "SimMachine.h"

namespace ravosim {
namespace detail {

namespace {

struct ErrnoName {
  const char* name;
  int value;
};

const ErrnoName kErrnoNames[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EINTR", EINTR},   {"EIO", EIO},         {"ENXIO", ENXIO},
    {"EBADF", EBADF},   {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM}, {"EACCES", EACCES},   {"EBUSY", EBUSY},
    {"ENODEV", ENODEV}, {"EINVAL", EINVAL}, {"ENOSPC", ENOSPC}, {"ENOLINK", ENOLINK}, {"ETIMEDOUT", ETIMEDOUT},
    {"EREMOTEIO", EREMOTEIO},
};

class Parser {
 public:
  explicit Parser(const std::string& text) {
    m_lineStarts.push_back(0);
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') m_lineStarts.push_back(i + 1);
  }

  unsigned lineOf(ptrdiff_t offset) const {
    if (offset < 0) return 0;
    auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), static_cast<size_t>(offset));
    return static_cast<unsigned>(it - m_lineStarts.begin());
  }

  bool fail(const pugi::xml_node& n, const std::string& msg) {
    if (m_message.empty()) {
      m_line = lineOf(n.offset_debug());
      m_message = msg;
    }
    return false;
  }
  bool failed() const { return !m_message.empty(); }
  unsigned line() const { return m_line; }
  const std::string& message() const { return m_message; }
  void setError(unsigned line, const std::string& msg) {
    m_line = line;
    m_message = msg;
  }

  // Only the named attributes may appear.
  bool allowOnly(const pugi::xml_node& n, std::initializer_list<const char*> names) {
    for (pugi::xml_attribute a : n.attributes()) {
      bool known = false;
      for (const char* name : names) known = known || std::strcmp(a.name(), name) == 0;
      if (!known) return fail(n, std::string("unknown attribute '") + a.name() + "' of <" + n.name() + ">");
    }
    return true;
  }

  bool number(const pugi::xml_node& n, const char* attr, uint32_t& out, uint32_t max, bool required,
              uint32_t dflt = 0) {
    pugi::xml_attribute a = n.attribute(attr);
    if (!a) {
      if (required) return fail(n, std::string("<") + n.name() + "> needs the attribute '" + attr + "'");
      out = dflt;
      return true;
    }
    const char* s = a.value();
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s, &end, 0);
    if (*s == '\0' || *s == '-' || *end != '\0' || errno != 0)
      return fail(n, std::string("attribute '") + attr + "' of <" + n.name() + "> is not a number: '" + s + "'");
    if (v > max)
      return fail(n, std::string("attribute '") + attr + "' of <" + n.name() + "> is out of range: " + s +
                         " (at most " + std::to_string(max) + ")");
    out = static_cast<uint32_t>(v);
    return true;
  }

  bool boolean(const pugi::xml_node& n, const char* attr, bool& out, bool dflt) {
    pugi::xml_attribute a = n.attribute(attr);
    out = dflt;
    if (!a) return true;
    const std::string v = a.value();
    if (v == "yes" || v == "true" || v == "1") {
      out = true;
    } else if (v == "no" || v == "false" || v == "0") {
      out = false;
    } else {
      return fail(n, std::string("attribute '") + attr + "' of <" + n.name() + "> must be yes or no: '" + v + "'");
    }
    return true;
  }

 private:
  std::vector<size_t> m_lineStarts;
  unsigned m_line = 0;
  std::string m_message;
};

bool rawTypeFits(Family f, uint32_t raw) {
  switch (f) {
    case Family::Gpio: return raw == 8 || raw == 24;
    case Family::Iic: return raw == 7 || raw == 23;
    case Family::Scp: return raw == 6 || raw == 22;
    case Family::Iomux: return raw == 15;
    default: return true;
  }
}

// A wire: "cfam:L<link>C<cascade>" (presence), "<gpio path>:<pin>" or
// "<i2c port path>:<address>:<output>" (a device's output signal).
bool parseWire(Parser& p, const pugi::xml_node& c, const std::string& s, PinWire& w) {
  unsigned l, cc, en, port;
  if (s.compare(0, 5, "cfam:") == 0) {
    int used = 0;
    if (std::sscanf(s.c_str() + 5, "L%2uC%1u%n", &l, &cc, &used) != 2 || s.c_str()[5 + used] != '\0')
      return p.fail(c, "wire '" + s + "' does not name a CFAM (cfam:L<link>C<cascade>)");
    w.kind = PinWire::CfamPresence;
    w.link = l;
    w.cascade = cc;
    return true;
  }
  if (s.compare(0, 9, "/dev/iic/") == 0) {
    const size_t first = s.find(':');
    const size_t second = first == std::string::npos ? first : s.find(':', first + 1);
    char* end = nullptr;
    unsigned long address = 0;
    if (second != std::string::npos) address = std::strtoul(s.c_str() + first + 1, &end, 0);
    if (second == std::string::npos || end != s.c_str() + second || first + 1 == second || address > 0x3FF ||
        second + 1 == s.size() || !parseDevicePath(Family::Iic, s.substr(0, first), l, cc, en, port) ||
        port == ~0u)
      return p.fail(c, "wire '" + s + "' does not name a device output (/dev/iic/L..C.E..P..:<address>:<output>)");
    w.kind = PinWire::Device;
    w.link = l;
    w.cascade = cc;
    w.engine = en;
    w.port = port;
    w.address = static_cast<unsigned>(address);
    w.outputName = s.substr(second + 1);
    return true;
  }
  const size_t colon = s.rfind(':');
  uint32_t srcPin = 0;
  char* end = nullptr;
  if (colon != std::string::npos) srcPin = static_cast<uint32_t>(std::strtoul(s.c_str() + colon + 1, &end, 10));
  if (colon == std::string::npos || !end || *end != '\0' || srcPin > 31 ||
      !parseDevicePath(Family::Gpio, s.substr(0, colon), l, cc, en, port) || port != ~0u)
    return p.fail(c, "wire '" + s +
                         "' is neither cfam:L<link>C<cascade>, /dev/gpio/L..C.E..:<pin> nor "
                         "/dev/iic/L..C.E..P..:<address>:<output>");
  w.kind = PinWire::Pin;
  w.link = l;
  w.cascade = cc;
  w.engine = en;
  w.pin = srcPin;
  return true;
}

bool parseGpio(Parser& p, const pugi::xml_node& n, Engine& e) {
  uint32_t levels = 0;
  if (!p.number(n, "levels", levels, 0xFFFFFFFFu, false)) return false;
  GpioState& g = e.gpio;
  g.initialLevels = levels;
  uint32_t seenPins = 0;
  for (pugi::xml_node c : n.children()) {
    if (c.type() != pugi::node_element) continue;
    const std::string name = c.name();
    if (name == "pin") {
      if (!p.allowOnly(c, {"n", "level", "wire", "invert", "table", "in1", "in2", "in3"})) return false;
      uint32_t pin;
      if (!p.number(c, "n", pin, 31, true)) return false;
      const uint32_t bit = 0x80000000u >> pin;
      if (seenPins & bit) return p.fail(c, "pin " + std::to_string(pin) + " is described twice");
      seenPins |= bit;
      PinWire w;
      if (!p.boolean(c, "invert", w.invert, false)) return false;
      pugi::xml_attribute lv = c.attribute("level");
      pugi::xml_attribute wire = c.attribute("wire");
      pugi::xml_attribute table = c.attribute("table");
      if ((lv ? 1 : 0) + (wire ? 1 : 0) + (table ? 1 : 0) > 1)
        return p.fail(c, "a pin has either a level, a wire or a table");
      if (!table && (c.attribute("in1") || c.attribute("in2") || c.attribute("in3")))
        return p.fail(c, "only a pin driven by a table has inputs in1..in3");
      if (table) {
        uint32_t t;
        if (!p.number(c, "table", t, 7, true)) return false;
        w.kind = PinWire::Table;
        w.pin = t;
        const char* const inputs[] = {"in1", "in2", "in3"};
        for (unsigned i = 0; i < 3; ++i) {
          PinWire& in = g.tableInputs[pin][i];
          in = PinWire();
          const std::string v = c.attribute(inputs[i]).value();
          if (v.empty() || v == "0") continue;
          if (v == "1") {
            in.invert = true;  // a Level wire that reads high
          } else if (!parseWire(p, c, v, in)) {
            return false;
          }
        }
      } else if (lv) {
        uint32_t v;
        if (!p.number(c, "level", v, 1, true)) return false;
        if (v) g.initialLevels |= bit; else g.initialLevels &= ~bit;
      } else if (wire) {
        if (!parseWire(p, c, wire.value(), w)) return false;
      } else {
        return p.fail(c, "a pin needs a level, a wire or a table");
      }
      g.initialWires[pin] = w;
    } else if (name == "config") {
      if (!p.allowOnly(c, {"register", "value"})) return false;
      uint32_t reg, value;
      if (!p.number(c, "register", reg, 0xFFFFFFFFu, true) || !p.number(c, "value", value, 0xFFFFFFFFu, true))
        return false;
      if (reg < RAVO_GPIO_CFG_PLD_FIRST || reg > RAVO_GPIO_CFG_LOOKUP_CONTROL)
        return p.fail(c, "configuration register " + hex(reg) + " is not one of 0x40000003..0x4000000B");
      if (reg == RAVO_GPIO_CFG_LOOKUP_CONTROL && (value & 0xFFFFu) != 0)
        return p.fail(c, "the lookup-table control register keeps only its table states (bits 31..16)");
      g.configReset[reg - RAVO_GPIO_CFG_PLD_FIRST] = value;
    } else {
      return p.fail(c, "unknown element <" + name + "> in <gpio>");
    }
  }
  return true;
}

// The model's view of its <device> element.
class DeviceArgs : public ModelArgs {
 public:
  DeviceArgs(Parser& p, const pugi::xml_node& d) : m_p(p), m_d(d) {}

  bool number(const char* attribute, uint32_t& out, uint32_t max, uint32_t dflt) override {
    m_used.insert(attribute);
    return m_p.number(m_d, attribute, out, max, false, dflt);
  }
  bool boolean(const char* attribute, bool& out, bool dflt) override {
    m_used.insert(attribute);
    return m_p.boolean(m_d, attribute, out, dflt);
  }
  bool fail(const std::string& message) override { return m_p.fail(m_d, message); }

  bool describedRegisters(DeviceModel& model) override {
    m_registers = true;
    for (pugi::xml_node r : m_d.children("register")) {
      if (!m_p.allowOnly(r, {"name", "offset", "width", "reset", "readonly", "w1c", "sc", "reserved", "count"}))
        return false;
      Register def;
      uint32_t width, count;
      def.name = r.attribute("name").value();
      if (!m_p.number(r, "offset", def.offset, 0xFFFFFFFFu, true) || !m_p.number(r, "width", width, 4, false, 1))
        return false;
      if (width == 0) return m_p.fail(r, "a register needs a width of 1 to 4 bytes");
      const uint32_t max = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
      if (!m_p.number(r, "reset", def.reset, max, false) || !m_p.number(r, "readonly", def.readOnly, max, false) ||
          !m_p.number(r, "w1c", def.writeOneToClear, max, false) ||
          !m_p.number(r, "sc", def.selfClearing, max, false) || !m_p.number(r, "reserved", def.reserved, max, false) ||
          !m_p.number(r, "count", count, 0xFFFFu, false, 1))
        return false;
      if (count == 0) return m_p.fail(r, "a register range needs a count of at least 1");
      def.width = width;
      const uint32_t first = def.offset;
      for (uint32_t i = 0; i < count; ++i) {
        def.offset = first + i * width;
        std::string error;
        if (static_cast<uint64_t>(first) + static_cast<uint64_t>(i) * width > 0xFFFFFFFFu ||
            !model.addRegister(def, error))
          return m_p.fail(r, error.empty() ? "register range beyond the address space" : error);
      }
    }
    return true;
  }

  bool used(const char* attribute) const { return m_used.count(attribute) != 0; }
  bool registersTaken() const { return m_registers; }

 private:
  Parser& m_p;
  pugi::xml_node m_d;
  std::set<std::string> m_used;
  bool m_registers = false;
};

bool parseOscillatorState(Parser& p, const pugi::xml_node& n, OscillatorState& out) {
  const std::string v = n.attribute("state") ? n.attribute("state").value() : "running";
  if (v == "running") out = OscillatorState::Running;
  else if (v == "failed") out = OscillatorState::Failed;
  else if (v == "drifting") out = OscillatorState::Drifting;
  else return p.fail(n, "state '" + v + "' of <" + n.name() + "> is not running, failed or drifting");
  return true;
}

bool parseDeviceInput(Parser& p, const pugi::xml_node& n, const DeviceModel& model, I2cDeviceSlot& slot) {
  if (!p.allowOnly(n, {"name", "wire", "invert", "oscillator", "clock"})) return false;
  const std::string name = n.attribute("name").value();
  if (name.empty()) return p.fail(n, "<input> needs the attribute 'name'");
  const int index = model.inputIndex(name);
  if (index < 0) return p.fail(n, "model '" + model.model() + "' has no input '" + name + "'");
  for (const DeviceInputWire& w : slot.inputs)
    if (static_cast<int>(w.input) == index) return p.fail(n, "input '" + name + "' is wired twice");
  DeviceInputWire w;
  w.input = static_cast<unsigned>(index);
  w.clock = model.isClockInput(w.input);
  w.line = p.lineOf(n.offset_debug());
  if (w.clock) {
    if (n.attribute("wire") || n.attribute("invert"))
      return p.fail(n, "input '" + name + "' is a clock input: it takes an oscillator, not a wire");
    if (n.attribute("oscillator") && n.attribute("clock"))
      return p.fail(n, "clock input '" + name + "' takes an oscillator or a device's clock, not both");
    if (n.attribute("clock")) {
      // Another device's clock output: /dev/iic/L..C.E..P..:<address>:<output>.
      const std::string clock = n.attribute("clock").value();
      if (clock.compare(0, 9, "/dev/iic/") != 0)
        return p.fail(n, "clock '" + clock + "' does not name a device's clock output "
                                                "(/dev/iic/L..C.E..P..:<address>:<output>)");
      if (!parseWire(p, n, clock, w.wire)) return false;
      w.fromDevice = true;
    } else {
      w.oscillator = n.attribute("oscillator").value();
      if (w.oscillator.empty())
        return p.fail(n, "clock input '" + name + "' needs the attribute 'oscillator' or 'clock'");
    }
  } else {
    if (n.attribute("oscillator") || n.attribute("clock"))
      return p.fail(n, "input '" + name + "' is a digital input: it takes a wire, not an oscillator");
    if (!n.attribute("wire")) return p.fail(n, "input '" + name + "' needs the attribute 'wire'");
    if (!p.boolean(n, "invert", w.wire.invert, false) || !parseWire(p, n, n.attribute("wire").value(), w.wire))
      return false;
  }
  slot.inputs.push_back(std::move(w));
  return true;
}

bool parseI2c(Parser& p, const pugi::xml_node& n, Engine& e) {
  uint32_t ports;
  if (!p.number(n, "ports", ports, RAVO_IIC_PORTS, false, RAVO_IIC_PORTS)) return false;
  if (ports == 0) return p.fail(n, "an I2C engine needs at least one port");
  e.i2c.ports.resize(ports);
  for (pugi::xml_node d : n.children()) {
    if (d.type() != pugi::node_element) continue;
    if (std::strcmp(d.name(), "device") != 0)
      return p.fail(d, std::string("unknown element <") + d.name() + "> in <i2c>");
    uint32_t port, addr;
    bool present;
    if (!p.number(d, "port", port, 0xFFFF, true) || !p.number(d, "address", addr, 0x3FF, true) ||
        !p.boolean(d, "present", present, true))
      return false;
    if (port >= ports)
      return p.fail(d, "port " + std::to_string(port) + " does not exist (the engine has " + std::to_string(ports) +
                           " ports)");
    const std::string model = d.attribute("model") ? d.attribute("model").value() : "registers";
    const ModelFactory factory = deviceModelFactory(model);
    if (!factory) return p.fail(d, "unknown device model '" + model + "'");
    I2cPort& bus = e.i2c.ports[port];
    if (bus.devices.count(addr))
      return p.fail(d, "address " + hex(addr) + " on port " + std::to_string(port) + " is described twice");
    DeviceArgs args(p, d);
    std::unique_ptr<DeviceModel> dev = factory(args);
    if (p.failed()) return false;
    if (!dev) return p.fail(d, "model '" + model + "' could not be built");
    for (pugi::xml_attribute a : d.attributes()) {
      const char* common[] = {"port", "address", "model", "present", "name", "supply"};
      bool known = args.used(a.name());
      for (const char* c : common) known = known || std::strcmp(a.name(), c) == 0;
      if (!known)
        return p.fail(d, std::string("unknown attribute '") + a.name() + "' of <device> (model '" + model + "')");
    }
    I2cDeviceSlot slot;
    slot.line = p.lineOf(d.offset_debug());
    slot.supplyName = d.attribute("supply").value();
    if (d.attribute("supply") && slot.supplyName.empty()) return p.fail(d, "attribute 'supply' names no supply");
    for (pugi::xml_node c : d.children()) {
      if (c.type() != pugi::node_element) continue;
      if (std::strcmp(c.name(), "input") == 0) {
        if (!parseDeviceInput(p, c, *dev, slot)) return false;
      } else if (std::strcmp(c.name(), "register") == 0 && args.registersTaken()) {
        continue;
      } else if (std::strcmp(c.name(), "register") == 0) {
        return p.fail(c, "model '" + model + "' has its register map built in; it takes no <register>");
      } else {
        return p.fail(c, std::string("unknown element <") + c.name() + "> in <device>");
      }
    }
    slot.device = std::move(dev);
    slot.initialPresent = present;
    slot.present = present;
    bus.devices.emplace(addr, std::move(slot));
  }
  return true;
}

bool noChildren(Parser& p, const pugi::xml_node& n) {
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element)
      return p.fail(c, std::string("unknown element <") + c.name() + "> in <" + n.name() + ">");
  return true;
}

bool parseCfam(Parser& p, const pugi::xml_node& n, Model& m) {
  if (!p.allowOnly(n, {"link", "cascade", "present", "slot", "name", "type", "serial"})) return false;
  Cfam cfam;
  uint32_t link, cascade, slot;
  if (!p.number(n, "link", link, 63, true) || !p.number(n, "cascade", cascade, 3, true) ||
      !p.boolean(n, "present", cfam.initialPresent, true) || !p.number(n, "slot", slot, 0xFFFFFFFFu, false))
    return false;
  cfam.link = link;
  cfam.cascade = cascade;
  cfam.present = cfam.initialPresent;
  for (const char* attr : {"type", "serial"}) {
    pugi::xml_attribute a = n.attribute(attr);
    if (a && !validCardText(a.value()))
      return p.fail(n, std::string("attribute '") + attr + "' of <cfam> must be 1 to 64 letters, digits, '.', '_' or '-'" +
                           " not starting with '.': '" + a.value() + "'");
  }
  cfam.cardType = n.attribute("type").value();
  cfam.serial = n.attribute("serial").value();
  if (!cfam.serial.empty() && cfam.cardType.empty())
    return p.fail(n, "a card with a serial number needs its type as well");
  if (!cfam.serial.empty()) {
    for (const auto& [key, other] : m.cfams)
      if (other.cardType == cfam.cardType && other.serial == cfam.serial) {
        char place[16];
        std::snprintf(place, sizeof place, "L%02uC%u", other.link, other.cascade);
        return p.fail(n, "card " + cfam.cardType + " " + cfam.serial + " is already in " + place + " (line " +
                             std::to_string(other.line) + ")");
      }
  }
  cfam.line = p.lineOf(n.offset_debug());
  if (m.cfams.count({link, cascade}))
    return p.fail(n, "CFAM L" + std::to_string(link) + "C" + std::to_string(cascade) + " is described twice");
  for (pugi::xml_node c : n.children()) {
    if (c.type() != pugi::node_element) continue;
    const std::string name = c.name();
    if (name == "oscillator") {
      if (!p.allowOnly(c, {"name", "khz", "state", "drift-ppm"})) return false;
      Oscillator o;
      o.name = c.attribute("name").value();
      if (o.name.empty()) return p.fail(c, "<oscillator> needs the attribute 'name'");
      uint32_t khz;
      if (!p.number(c, "khz", khz, 10000000, true) || !parseOscillatorState(p, c, o.initialState)) return false;
      o.nominalKHz = khz;
      if (pugi::xml_attribute d = c.attribute("drift-ppm")) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(d.value(), &end, 0);
        if (*d.value() == '\0' || *end != '\0' || errno != 0 || v < -1000000 || v > 1000000)
          return p.fail(c, std::string("attribute 'drift-ppm' of <oscillator> is not a number of -1000000..1000000: '") +
                               d.value() + "'");
        o.initialDriftPpm = static_cast<int32_t>(v);
      }
      o.powerOn();
      cfam.oscillators.push_back(o);
      continue;
    }
    Engine e;
    uint32_t dfltType = 0;
    if (name == "gpio") {
      e.family = Family::Gpio;
      dfltType = 8;
      if (!p.allowOnly(c, {"number", "type", "levels", "name"})) return false;
    } else if (name == "i2c") {
      e.family = Family::Iic;
      dfltType = 7;
      if (!p.allowOnly(c, {"number", "type", "ports", "name"})) return false;
    } else if (name == "scratchpad") {
      e.family = Family::Scp;
      dfltType = 6;
      if (!p.allowOnly(c, {"number", "type", "size", "name"})) return false;
    } else if (name == "iomux") {
      e.family = Family::Iomux;
      dfltType = 15;
      if (!p.allowOnly(c, {"number", "type", "size", "name"})) return false;
    } else if (name == "engine") {
      e.family = Family::Other;
      if (!p.allowOnly(c, {"number", "type", "name"})) return false;
    } else {
      return p.fail(c, "unknown element <" + name + "> in <cfam>");
    }
    uint32_t number, type;
    if (!p.number(c, "number", number, 31, true) ||
        !p.number(c, "type", type, 255, e.family == Family::Other, dfltType))
      return false;
    if (!rawTypeFits(e.family, type))
      return p.fail(c, "raw engine type " + std::to_string(type) + " is not a " + name + " engine");
    if (e.family == Family::Other && (type == 8 || type == 24 || type == 7 || type == 23 || type == 6 ||
                                      type == 22 || type == 15))
      return p.fail(c, "raw engine type " + std::to_string(type) + " needs its own element (gpio, i2c, scratchpad, iomux)");
    e.number = number;
    e.rawType = type;
    e.line = p.lineOf(c.offset_debug());
    if (cfam.engines.count(number))
      return p.fail(c, "engine " + std::to_string(number) + " is described twice");
    bool ok = true;
    switch (e.family) {
      case Family::Gpio: ok = parseGpio(p, c, e); break;
      case Family::Iic: ok = parseI2c(p, c, e); break;
      case Family::Scp: {
        uint32_t size;
        ok = p.number(c, "size", size, 16u << 20, true) && noChildren(p, c);
        if (ok && size == 0) ok = p.fail(c, "a scratchpad needs a size of at least 1 byte");
        e.scp.size = size;
        break;
      }
      case Family::Iomux: {
        uint32_t size;
        ok = p.number(c, "size", size, 4096, true) && noChildren(p, c);
        if (ok && size == 0) ok = p.fail(c, "an I/O multiplexer needs at least 1 entry");
        e.iomux.size = size;
        break;
      }
      default: ok = noChildren(p, c); break;
    }
    if (!ok) return false;
    cfam.engines.emplace(number, std::move(e));
  }
  // Engine discovery adds a pseudo engine numbered 31 (30) to a CFAM with an
  // engine of raw type 5 (13): no real engine may sit there.
  for (const auto& [num, e] : cfam.engines) {
    for (const auto& pseudo : {std::make_pair(5u, 31u), std::make_pair(13u, 30u)}) {
      auto taken = cfam.engines.find(pseudo.second);
      if (e.rawType != pseudo.first || taken == cfam.engines.end()) continue;
      p.setError(taken->second.line, "engine " + std::to_string(pseudo.second) +
                                         " is where discovery puts the pseudo engine of the raw type " +
                                         std::to_string(pseudo.first) + " engine " + std::to_string(num));
      return false;
    }
  }
  m.cfams.emplace(std::make_pair(link, cascade), std::move(cfam));
  return true;
}

// The firmware's view (<firmware>): role, system state and the targets of
// the hardware targeting. Ids default to type << 16 | node position << 8 |
// position; names to node<n>, proc<n> and osc-card<n>, counted in
// description order.
bool parseTarget(Parser& p, const pugi::xml_node& n, FirmwareView& fw, uint32_t cls, uint32_t type,
                 const TargetState* node, unsigned index, const char* namePrefix) {
  TargetState t;
  t.line = p.lineOf(n.offset_debug());
  FirmwareTarget& info = t.info;
  info.targetClass = cls;
  info.type = type;
  uint32_t position;
  if (!p.number(n, "position", position, 255, true)) return false;
  info.position = position;
  const uint32_t nodePosition = node ? node->info.position : 0;
  uint32_t id;
  if (!p.number(n, "id", id, 0xFFFFFFFFu, false, type << 16 | nodePosition << 8 | position)) return false;
  if (id == 0) return p.fail(n, "a target's id may not be 0");
  info.id = id;
  info.parent = node ? node->info.id : 0;
  info.name = n.attribute("name") ? n.attribute("name").value() : namePrefix + std::to_string(index);
  if (info.name.empty()) return p.fail(n, std::string("<") + n.name() + "> needs a name that is not empty");
  if (!p.boolean(n, "functional", t.initialFunctional, true)) return false;
  if (pugi::xml_attribute c = n.attribute("cfam")) {
    unsigned link = 0, cascade = 0;
    int used = 0;
    const std::string v = c.value();
    if (std::sscanf(v.c_str(), "L%2uC%1u%n", &link, &cascade, &used) != 2 || v.c_str()[used] != '\0')
      return p.fail(n, "attribute 'cfam' does not name a CFAM (L<link>C<cascade>): '" + v + "'");
    if (n.attribute("present")) return p.fail(n, "a target on a CFAM is present while its CFAM is");
    t.onCfam = true;
    t.link = link;
    t.cascade = cascade;
  } else if (!p.boolean(n, "present", t.initialPresent, true)) {
    return false;
  }
  if (!t.initialPresent && n.attribute("functional") && t.initialFunctional)
    return p.fail(n, "an absent target cannot be functional");
  if (!n.attribute("functional") && !t.initialPresent) t.initialFunctional = false;
  t.functionalFlag = t.initialFunctional;
  info.present = t.initialPresent;
  for (const TargetState& o : fw.targets) {
    if (o.info.id == info.id)
      return p.fail(n, "target id " + hex(info.id) + " is already taken (line " + std::to_string(o.line) + ")");
    if (o.info.name == info.name)
      return p.fail(n, "target name '" + info.name + "' is already taken (line " + std::to_string(o.line) + ")");
    if (o.info.type == type && o.info.parent == info.parent && o.info.position == position)
      return p.fail(n, "position " + std::to_string(position) + " is already taken (line " +
                           std::to_string(o.line) + ")");
  }
  if (type == FirmwareTarget::Processor) {
    // Every processor chip has its clock-select register.
    t.registers[0x2812] = 0;
    std::set<uint32_t> described;
    for (pugi::xml_node r : n.children()) {
      if (r.type() != pugi::node_element) continue;
      if (std::strcmp(r.name(), "cfam-register") != 0)
        return p.fail(r, std::string("unknown element <") + r.name() + "> in <processor>");
      if (!p.allowOnly(r, {"address", "reset"})) return false;
      uint32_t address, reset;
      if (!p.number(r, "address", address, 0xFFFFFFFFu, true) || !p.number(r, "reset", reset, 0xFFFFFFFFu, false))
        return false;
      if (!described.insert(address).second)
        return p.fail(r, "CFAM register " + hex(address) + " is described twice");
      t.registers[address] = reset;
    }
  } else if (type != FirmwareTarget::Node && !noChildren(p, n)) {
    return false;  // a node's processor chips are read by parseFirmware
  }
  fw.targets.push_back(std::move(t));
  return true;
}

bool parseFirmware(Parser& p, const pugi::xml_node& n, Model& m, bool& seen) {
  if (seen) return p.fail(n, "the machine has one <firmware> element");
  seen = true;
  if (!p.allowOnly(n, {"primary", "system-state"})) return false;
  FirmwareView& fw = m.firmware;
  if (!p.boolean(n, "primary", fw.primary, true) || !p.number(n, "system-state", fw.systemState, 0xFFFFFFFFu, false))
    return false;
  unsigned nodes = 0, processors = 0, cards = 0;
  for (pugi::xml_node c : n.children()) {
    if (c.type() != pugi::node_element) continue;
    const std::string name = c.name();
    if (name == "node") {
      if (!p.allowOnly(c, {"position", "id", "name", "functional"}) ||
          !parseTarget(p, c, fw, FirmwareTarget::Enclosure, FirmwareTarget::Node, nullptr, nodes++, "node"))
        return false;
      const size_t nodeIndex = fw.targets.size() - 1;
      for (pugi::xml_node pc : c.children()) {
        if (pc.type() != pugi::node_element) continue;
        if (std::strcmp(pc.name(), "processor") != 0)
          return p.fail(pc, std::string("unknown element <") + pc.name() + "> in <node>");
        // A copy: the targets grow while the node's processors are read.
        const TargetState node = fw.targets[nodeIndex];
        if (!p.allowOnly(pc, {"position", "id", "name", "functional", "present"}) ||
            !parseTarget(p, pc, fw, FirmwareTarget::Chip, FirmwareTarget::Processor, &node, processors++, "proc"))
          return false;
      }
    } else if (name == "oscillator-card") {
      if (!p.allowOnly(c, {"position", "id", "name", "functional", "present", "cfam"}) ||
          !parseTarget(p, c, fw, FirmwareTarget::Chip, FirmwareTarget::OscillatorCard, nullptr, cards++,
                       "osc-card"))
        return false;
    } else {
      return p.fail(c, "unknown element <" + name + "> in <firmware>");
    }
  }
  return true;
}

bool parseErrno(Parser& p, const pugi::xml_node& n, int& err) {
  pugi::xml_attribute a = n.attribute("errno");
  if (!a) return p.fail(n, "<fault> needs the attribute 'errno'");
  for (const ErrnoName& e : kErrnoNames) {
    if (std::strcmp(a.value(), e.name) == 0) {
      err = e.value;
      return true;
    }
  }
  uint32_t v;
  if (!p.number(n, "errno", v, 4095, true)) return false;
  if (v == 0) return p.fail(n, "a fault needs a non-zero errno");
  err = static_cast<int>(v);
  return true;
}

// Whether a wire names something that exists. A device output wire gets
// the index of the output, of a digital one or, with `clock`, of a clock
// output.
bool wireExists(const Model& m, PinWire& w, bool clock = false) {
  auto it = m.cfams.find({w.link, w.cascade});
  if (it == m.cfams.end()) return false;
  if (w.kind == PinWire::CfamPresence) return !clock;
  auto en = it->second.engines.find(w.engine);
  if (en == it->second.engines.end()) return false;
  if (w.kind == PinWire::Pin) return !clock && en->second.family == Family::Gpio;
  if (en->second.family != Family::Iic || w.port >= en->second.i2c.ports.size()) return false;
  const auto& devices = en->second.i2c.ports[w.port].devices;
  auto dev = devices.find(w.address);
  if (dev == devices.end()) return false;
  const DeviceModel& d = *dev->second.device;
  const int index = clock ? d.clockOutputIndex(w.outputName) : d.outputIndex(w.outputName);
  if (index < 0) return false;
  w.output = static_cast<unsigned>(index);
  return true;
}

std::string wireText(const PinWire& w) {
  char buf[96];
  switch (w.kind) {
    case PinWire::CfamPresence: std::snprintf(buf, sizeof buf, "cfam:L%02uC%u", w.link, w.cascade); break;
    case PinWire::Pin: return devicePath(Family::Gpio, w.link, w.cascade, w.engine) + ":" + std::to_string(w.pin);
    case PinWire::Device:
      return devicePath(Family::Iic, w.link, w.cascade, w.engine, w.port) + ":" + hex(w.address) + ":" + w.outputName;
    case PinWire::Level: return "a level";
    case PinWire::Table: return "lookup table " + std::to_string(w.pin);
  }
  return buf;
}

// Wires, oscillators and supplies must name something the machine has.
void resolveWiring(Parser& p, Model& m) {
  for (TargetState& t : m.firmware.targets) {
    if (!t.onCfam) continue;
    auto it = m.cfams.find({t.link, t.cascade});
    if (it == m.cfams.end()) {
      char place[16];
      std::snprintf(place, sizeof place, "L%02uC%u", t.link, t.cascade);
      return p.setError(t.line, "target '" + t.info.name + "' sits on CFAM " + place +
                                    ", which the machine does not have");
    }
    t.initialPresent = it->second.initialPresent;
    t.info.present = t.initialPresent;
  }
  std::set<std::string> oscillators;
  for (auto& [key, cfam] : m.cfams) {
    for (const Oscillator& o : cfam.oscillators) {
      if (!oscillators.insert(o.name).second)
        return p.setError(cfam.line, "oscillator '" + o.name + "' is described twice");
    }
  }
  for (Supply& s : m.supplies) {
    if (s.wired && !wireExists(m, s.enable))
      return p.setError(s.line, "supply '" + s.name + "' is wired to " + wireText(s.enable) +
                                    ", which the machine does not have");
  }
  for (auto& [key, cfam] : m.cfams) {
    for (auto& [num, e] : cfam.engines) {
      if (e.family == Family::Gpio) {
        for (unsigned pin = 0; pin < 32; ++pin) {
          PinWire& w = e.gpio.initialWires[pin];
          PinWire* wires[] = {&w, nullptr, nullptr, nullptr};
          if (w.kind == PinWire::Table)
            for (unsigned i = 0; i < 3; ++i) wires[i + 1] = &e.gpio.tableInputs[pin][i];
          for (PinWire* x : wires) {
            if (!x || x->kind == PinWire::Level || x->kind == PinWire::Table || wireExists(m, *x)) continue;
            return p.setError(e.line, "pin " + std::to_string(pin) + " of GPIO engine " + std::to_string(num) +
                                          " is wired to something the machine does not have (" + wireText(*x) + ")");
          }
        }
      }
      if (e.family != Family::Iic) continue;
      for (I2cPort& port : e.i2c.ports) {
        for (auto& [addr, slot] : port.devices) {
          if (!slot.supplyName.empty()) {
            for (size_t i = 0; i < m.supplies.size(); ++i)
              if (m.supplies[i].name == slot.supplyName) slot.supply = static_cast<int>(i);
            if (slot.supply < 0)
              return p.setError(slot.line, "supply '" + slot.supplyName + "' is not described in the machine");
          }
          for (DeviceInputWire& w : slot.inputs) {
            const std::string& name = slot.device->inputName(w.input);
            if (!w.clock) {
              if (wireExists(m, w.wire)) continue;
              return p.setError(w.line, "input '" + name + "' is wired to " + wireText(w.wire) +
                                            ", which the machine does not have");
            }
            if (w.fromDevice) {
              if (wireExists(m, w.wire, true)) continue;
              return p.setError(w.line, "clock input '" + name + "' follows " + wireText(w.wire) +
                                            ", a clock output the machine does not have");
            }
            bool found = false;
            for (const auto& [okey, ocfam] : m.cfams) {
              for (size_t i = 0; i < ocfam.oscillators.size() && !found; ++i) {
                if (ocfam.oscillators[i].name != w.oscillator) continue;
                found = true;
                w.oscLink = ocfam.link;
                w.oscCascade = ocfam.cascade;
                w.oscIndex = static_cast<unsigned>(i);
              }
            }
            if (!found)
              return p.setError(w.line, "clock input '" + name + "' names oscillator '" + w.oscillator +
                                            "', which the machine does not have");
          }
        }
      }
    }
  }
}

}  // namespace

std::string errnoName(int err) {
  for (const ErrnoName& e : kErrnoNames)
    if (e.value == err) return e.name;
  return "errno " + std::to_string(err);
}

bool parseDescription(const std::string& text, Model& out, unsigned& line, std::string& message) {
  Parser p(text);
  pugi::xml_document doc;
  pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!r) {
    line = p.lineOf(r.offset);
    message = std::string("not well-formed XML: ") + r.description();
    return false;
  }
  pugi::xml_node root = doc.document_element();
  Model m;
  bool firmwareSeen = false;
  if (!root || std::strcmp(root.name(), "machine") != 0) {
    p.fail(root ? root : doc, "the root element must be <machine>");
  } else if (p.allowOnly(root, {"name"})) {
    m.name = root.attribute("name").value();
    for (pugi::xml_node c : root.children()) {
      if (c.type() != pugi::node_element) continue;
      const std::string name = c.name();
      if (name == "cfam") {
        if (!parseCfam(p, c, m)) break;
      } else if (name == "fault") {
        if (!p.allowOnly(c, {"op", "device", "errno", "count"})) break;
        Fault f;
        f.op = c.attribute("op").value();
        if (f.op.empty()) {
          p.fail(c, "<fault> needs the attribute 'op'");
          break;
        }
        if (f.op != "*" && f.op.compare(0, 5, "ravo_") != 0 && f.op.compare(0, 8, "dd_ffdc_") != 0 &&
            !firmwareOperation(f.op)) {
          p.fail(c, "'" + f.op + "' is not a ravo call nor a firmware service call");
          break;
        }
        f.pattern = c.attribute("device").value();
        if (!parseErrno(p, c, f.err)) break;
        const std::string count = c.attribute("count") ? c.attribute("count").value() : "1";
        if (count == "always") {
          f.always = true;
        } else if (!p.number(c, "count", f.remaining, 0xFFFFFFFFu, false, 1)) {
          break;
        } else if (f.remaining == 0) {
          p.fail(c, "count of <fault> must be at least 1 or 'always'");
          break;
        }
        m.faults.push_back(f);
      } else if (name == "supply") {
        if (!p.allowOnly(c, {"name", "wire", "invert"})) break;
        Supply sup;
        sup.name = c.attribute("name").value();
        sup.line = p.lineOf(c.offset_debug());
        if (sup.name.empty()) {
          p.fail(c, "<supply> needs the attribute 'name'");
          break;
        }
        bool dup = false;
        for (const Supply& o : m.supplies) dup = dup || o.name == sup.name;
        if (dup) {
          p.fail(c, "supply '" + sup.name + "' is described twice");
          break;
        }
        if (!p.boolean(c, "invert", sup.enable.invert, false)) break;
        if (pugi::xml_attribute w = c.attribute("wire")) {
          if (!parseWire(p, c, w.value(), sup.enable)) break;
          sup.wired = true;
        }
        m.supplies.push_back(sup);
      } else if (name == "firmware") {
        if (!parseFirmware(p, c, m, firmwareSeen)) break;
      } else if (name == "i2c-delay") {
        if (!p.allowOnly(c, {"port", "ms"})) break;
        Delay d;
        d.pattern = c.attribute("port").value();
        if (d.pattern.empty()) {
          p.fail(c, "<i2c-delay> needs the attribute 'port'");
          break;
        }
        if (!p.number(c, "ms", d.ms, 600000, true)) break;
        m.delays.push_back(d);
      } else {
        p.fail(c, "unknown element <" + name + "> in <machine>");
        break;
      }
    }
  }
  if (!p.failed()) resolveWiring(p, m);
  if (p.failed()) {
    line = p.line();
    message = p.message();
    return false;
  }
  out = std::move(m);
  return true;
}

}  // namespace detail
}  // namespace ravosim
