// Reading a machine description (XML, see README.md) into a Model.
#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <initializer_list>

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
      if (!p.allowOnly(c, {"n", "level", "wire", "invert"})) return false;
      uint32_t pin;
      if (!p.number(c, "n", pin, 31, true)) return false;
      const uint32_t bit = 0x80000000u >> pin;
      if (seenPins & bit) return p.fail(c, "pin " + std::to_string(pin) + " is described twice");
      seenPins |= bit;
      PinWire w;
      if (!p.boolean(c, "invert", w.invert, false)) return false;
      pugi::xml_attribute lv = c.attribute("level");
      pugi::xml_attribute wire = c.attribute("wire");
      if (lv && wire) return p.fail(c, "a pin has either a level or a wire");
      if (lv) {
        uint32_t v;
        if (!p.number(c, "level", v, 1, true)) return false;
        if (v) g.initialLevels |= bit; else g.initialLevels &= ~bit;
      } else if (wire) {
        const std::string s = wire.value();
        unsigned l, cc, en, port;
        if (s.compare(0, 5, "cfam:") == 0) {
          int used = 0;
          if (std::sscanf(s.c_str() + 5, "L%2uC%1u%n", &l, &cc, &used) != 2 || s.c_str()[5 + used] != '\0')
            return p.fail(c, "wire '" + s + "' does not name a CFAM (cfam:L<link>C<cascade>)");
          w.kind = PinWire::CfamPresence;
          w.link = l;
          w.cascade = cc;
        } else {
          const size_t colon = s.rfind(':');
          uint32_t srcPin = 0;
          char* end = nullptr;
          if (colon != std::string::npos) srcPin = static_cast<uint32_t>(std::strtoul(s.c_str() + colon + 1, &end, 10));
          if (colon == std::string::npos || !end || *end != '\0' || srcPin > 31 ||
              !parseDevicePath(Family::Gpio, s.substr(0, colon), l, cc, en, port) || port != ~0u)
            return p.fail(c, "wire '" + s + "' is neither cfam:L<link>C<cascade> nor /dev/gpio/L..C.E..:<pin>");
          w.kind = PinWire::Pin;
          w.link = l;
          w.cascade = cc;
          w.engine = en;
          w.pin = srcPin;
        }
      } else {
        return p.fail(c, "a pin needs a level or a wire");
      }
      g.initialWires[pin] = w;
    } else if (name == "config") {
      if (!p.allowOnly(c, {"register", "value"})) return false;
      uint32_t reg, value;
      if (!p.number(c, "register", reg, 0xFFFFFFFFu, true) || !p.number(c, "value", value, 0xFFFFFFFFu, true))
        return false;
      if (reg < RAVO_GPIO_CFG_PLD_FIRST || reg > RAVO_GPIO_CFG_LOOKUP_CONTROL)
        return p.fail(c, "configuration register " + hex(reg) + " is not one of 0x40000003..0x4000000B");
      g.configReset[reg - RAVO_GPIO_CFG_PLD_FIRST] = value;
    } else {
      return p.fail(c, "unknown element <" + name + "> in <gpio>");
    }
  }
  return true;
}

bool parseRegisters(Parser& p, const pugi::xml_node& d, RegisterFileDevice& dev) {
  for (pugi::xml_node r : d.children()) {
    if (r.type() != pugi::node_element) continue;
    if (std::strcmp(r.name(), "register") != 0)
      return p.fail(r, std::string("unknown element <") + r.name() + "> in <device>");
    if (!p.allowOnly(r, {"offset", "reset", "readonly", "w1c", "count"})) return false;
    uint32_t off, reset, ro, w1c, count;
    if (!p.number(r, "offset", off, 0xFFFFFFFFu, true) || !p.number(r, "reset", reset, 0xFF, false) ||
        !p.number(r, "readonly", ro, 0xFF, false) || !p.number(r, "w1c", w1c, 0xFF, false) ||
        !p.number(r, "count", count, 0xFFFFu, false, 1))
      return false;
    if (count == 0) return p.fail(r, "a register range needs a count of at least 1");
    if (static_cast<uint64_t>(off) + count > dev.size())
      return p.fail(r, "register " + hex(off) + " lies outside the device's " + std::to_string(dev.size()) +
                           " registers");
    for (uint32_t i = 0; i < count; ++i)
      dev.setRegister(off + i, static_cast<uint8_t>(reset), static_cast<uint8_t>(ro), static_cast<uint8_t>(w1c));
  }
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
    if (!p.allowOnly(d, {"port", "address", "model", "size", "present", "name"})) return false;
    uint32_t port, addr, size;
    bool present;
    if (!p.number(d, "port", port, 0xFFFF, true) || !p.number(d, "address", addr, 0x3FF, true) ||
        !p.number(d, "size", size, 0x10000, false, 256) || !p.boolean(d, "present", present, true))
      return false;
    if (port >= ports)
      return p.fail(d, "port " + std::to_string(port) + " does not exist (the engine has " + std::to_string(ports) +
                           " ports)");
    const std::string model = d.attribute("model") ? d.attribute("model").value() : "registers";
    if (model != "registers") return p.fail(d, "unknown device model '" + model + "'");
    if (size == 0) return p.fail(d, "a register file needs at least one register");
    I2cPort& bus = e.i2c.ports[port];
    if (bus.devices.count(addr))
      return p.fail(d, "address " + hex(addr) + " on port " + std::to_string(port) + " is described twice");
    auto dev = std::make_unique<RegisterFileDevice>(size);
    if (!parseRegisters(p, d, *dev)) return false;
    I2cDeviceSlot slot;
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
  m.cfams.emplace(std::make_pair(link, cascade), std::move(cfam));
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
        if (f.op != "*" && f.op.compare(0, 5, "ravo_") != 0 && f.op.compare(0, 8, "dd_ffdc_") != 0) {
          p.fail(c, "'" + f.op + "' is not a ravo call");
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
  if (!p.failed()) {
    // Wires must name something that exists.
    for (auto& [key, cfam] : m.cfams) {
      for (auto& [num, e] : cfam.engines) {
        if (e.family != Family::Gpio) continue;
        for (unsigned pin = 0; pin < 32 && !p.failed(); ++pin) {
          const PinWire& w = e.gpio.initialWires[pin];
          if (w.kind == PinWire::Level) continue;
          auto it = m.cfams.find({w.link, w.cascade});
          bool ok = it != m.cfams.end();
          if (ok && w.kind == PinWire::Pin) {
            auto en = it->second.engines.find(w.engine);
            ok = en != it->second.engines.end() && en->second.family == Family::Gpio;
          }
          if (!ok)
            p.setError(e.line, "pin " + std::to_string(pin) + " of GPIO engine " + std::to_string(num) +
                                   " is wired to something the machine does not have");
        }
      }
    }
  }
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
