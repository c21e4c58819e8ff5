#include "SimMachine.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

namespace ravosim {
namespace detail {

namespace {

constexpr uint32_t kScpMagic = 0x52534350u;    // "RSCP"
constexpr uint32_t kIomuxMagic = 0x52494F4Du;  // "RIOM"

std::string errnoText(int err) {
  char buf[128];
  const char* s = strerror_r(err, buf, sizeof buf);
  return s ? s : "unknown error";
}

bool makeDirs(const std::string& dir) {
  std::string cur;
  std::stringstream ss(dir);
  std::string part;
  if (!dir.empty() && dir[0] == '/') cur = "/";
  while (std::getline(ss, part, '/')) {
    if (part.empty()) continue;
    cur += part;
    if (mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return false;
    cur += "/";
  }
  return true;
}

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

uint32_t word(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

void warnOnce(const std::string& what) {
  static bool warned = false;
  if (warned) return;
  warned = true;
  std::fprintf(stderr, "ravo-sim: cannot store persistent state: %s\n", what.c_str());
}

}  // namespace

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

const char* familyPrefix(Family f) {
  switch (f) {
    case Family::Gpio: return "/dev/gpio";
    case Family::Iic: return "/dev/iic";
    case Family::Iomux: return "/dev/iomux";
    case Family::Scp: return "/dev/scp";
    case Family::Fsi: return "/dev/fsi";
    case Family::Other: break;
  }
  return "/dev/cfam";
}

std::string devicePath(Family f, unsigned link, unsigned cascade, unsigned engine, unsigned port) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s/L%02uC%1uE%02u", familyPrefix(f), link, cascade, engine);
  std::string s = buf;
  if (port != ~0u) {
    std::snprintf(buf, sizeof buf, "P%02u", port);
    s += buf;
  }
  return s;
}

bool parseDevicePath(Family f, const std::string& path, unsigned& link, unsigned& cascade, unsigned& engine,
                     unsigned& port) {
  const std::string prefix = std::string(familyPrefix(f)) + "/";
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  const char* rest = path.c_str() + prefix.size();
  int n = 0;
  unsigned l, c, e, p;
  port = ~0u;
  if (std::sscanf(rest, "L%2uC%1uE%2u%n", &l, &c, &e, &n) != 3) return false;
  if (rest[n] == 'P') {
    int m = 0;
    if (std::sscanf(rest + n, "P%2u%n", &p, &m) != 1) return false;
    n += m;
    port = p;
  }
  if (rest[n] != '\0') return false;
  if (devicePath(f, l, c, e, port) != path) return false;
  link = l;
  cascade = c;
  engine = e;
  return true;
}

void GpioState::powerOn() {
  external = initialLevels;
  for (unsigned i = 0; i < 32; ++i) wires[i] = initialWires[i];
  for (auto& m : mode) m = RAVO_GPIO_MODE_UNUSED;
  latch = 0;
  blinkMask = 0;
  blinkRate = 0;
  condition = 0;
  driveMask = 0;
  driveLevels = 0;
  for (unsigned i = 0; i < kConfigRegs; ++i) config[i] = configReset[i];
}

unsigned GpioState::lookupControl(unsigned table) const {
  const uint32_t reg = config[kConfigRegs - 1];
  const unsigned code = ((reg & (0x80000000u >> table)) != 0 ? 2u : 0u) + ((reg & (0x00800000u >> table)) != 0 ? 1u : 0u);
  return code == 3 ? 0 : code + 1;
}

Machine::Machine() {
  if (const char* dir = std::getenv("RAVO_SIM_STATE_DIR"); dir && *dir) {
    stateDir = dir;
  } else {
    stateDir = "/tmp/ravo-sim-state-" + std::to_string(getuid());
  }
  if (const char* file = std::getenv("RAVO_SIM_MACHINE"); file && *file) {
    std::string text;
    Model m;
    unsigned line = 0;
    std::string msg;
    if (!readFile(file, text)) {
      std::fprintf(stderr, "ravo-sim: %s: cannot read the machine description\n", file);
    } else if (!parseDescription(text, m, line, msg)) {
      std::fprintf(stderr, "ravo-sim: %s:%u: %s\n", file, line, msg.c_str());
    } else {
      model = std::move(m);
      descText = text;
      descName = file;
      descPath = file;
    }
  }
  powerOnDevices();
  loadPersistent();
  snapshotPins();
}

Machine& Machine::get() {
  static Machine* instance = new Machine();
  return *instance;
}

Cfam* Machine::findCfam(unsigned link, unsigned cascade) {
  auto it = model.cfams.find({link, cascade});
  return it == model.cfams.end() ? nullptr : &it->second;
}

Engine* Machine::findEngine(unsigned link, unsigned cascade, unsigned engine) {
  Cfam* c = findCfam(link, cascade);
  if (!c) return nullptr;
  auto it = c->engines.find(engine);
  return it == c->engines.end() ? nullptr : &it->second;
}

Engine* Machine::engineOf(const ravo_struct* h, int& err) {
  err = ENODEV;
  if (h->generation != generation) return nullptr;
  Cfam* c = findCfam(h->link, h->cascade);
  if (!c || !c->present || c->epoch != h->epoch) return nullptr;
  auto it = c->engines.find(h->engine);
  if (it == c->engines.end()) return nullptr;
  err = 0;
  return &it->second;
}

bool Machine::handleValid(ravo_struct* h, Family f) const {
  return h && handles.count(h) && h->family == f;
}

uint32_t Machine::gpioLevels(const Engine& e, unsigned depth) {
  const GpioState& g = e.gpio;
  uint32_t levels = 0;
  for (unsigned pin = 0; pin < 32; ++pin) {
    const uint32_t bit = 0x80000000u >> pin;
    const bool latch = (g.latch & bit) != 0;
    bool level;
    bool driven = false;
    switch (g.mode[pin]) {
      case RAVO_GPIO_MODE_OUTPUT_PUSHPULL:
      case RAVO_GPIO_MODE_OUTPUT_PUSHPULL_SLOW:
      case RAVO_GPIO_MODE_OUTPUT_BLINK:
        driven = true;
        level = latch;
        break;
      case RAVO_GPIO_MODE_OUTPUT_OPEN_DRAIN:
        driven = !latch;
        level = false;
        break;
      case RAVO_GPIO_MODE_OUTPUT_OPEN_SOURCE:
        driven = latch;
        level = true;
        break;
      default:
        level = false;
        break;
    }
    if (!driven && (g.driveMask & bit)) {
      level = (g.driveLevels & bit) != 0;
    } else if (!driven) {
      const PinWire& w = g.wires[pin];
      if (w.kind == PinWire::Level) {
        level = (g.external & bit) != 0;
      } else if (w.kind == PinWire::Table) {
        level = tableLevel(g, pin, depth) != w.invert;
      } else {
        level = wireLevel(w, depth);
      }
    }
    if (level) levels |= bit;
  }
  return levels;
}

bool Machine::tableLevel(const GpioState& g, unsigned pin, unsigned depth) {
  const unsigned control = g.lookupControl(g.wires[pin].pin);
  return control != 0 && wireLevel(g.tableInputs[pin][control - 1], depth);
}

bool Machine::wireLevel(const PinWire& w, unsigned depth) {
  bool v = false;
  Cfam* c = findCfam(w.link, w.cascade);
  switch (w.kind) {
    case PinWire::Level:
    case PinWire::Table:
      break;
    case PinWire::CfamPresence:
      v = c && c->present;
      break;
    case PinWire::Pin: {
      Engine* src = findEngine(w.link, w.cascade, w.engine);
      if (c && c->present && src && src->family == Family::Gpio && depth < 8)
        v = (gpioLevels(*src, depth + 1) & (0x80000000u >> w.pin)) != 0;
      break;
    }
    case PinWire::Device: {
      // An absent card or device leaves the line at the level of an
      // unpowered device.
      I2cDeviceSlot* s = findDevice(w.link, w.cascade, w.engine, w.port, w.address);
      if (!s) break;
      v = c->present && s->present ? s->device->output(w.output) : s->device->unpoweredOutput(w.output);
      break;
    }
  }
  return v != w.invert;
}

I2cDeviceSlot* Machine::findDevice(unsigned link, unsigned cascade, unsigned engine, unsigned port,
                                   unsigned address) {
  Engine* e = findEngine(link, cascade, engine);
  if (!e || e->family != Family::Iic || port >= e->i2c.ports.size()) return nullptr;
  auto it = e->i2c.ports[port].devices.find(address);
  return it == e->i2c.ports[port].devices.end() ? nullptr : &it->second;
}

Oscillator* Machine::findOscillator(const std::string& name, Cfam** cfam) {
  for (auto& [key, c] : model.cfams) {
    for (Oscillator& o : c.oscillators) {
      if (o.name != name) continue;
      if (cfam) *cfam = &c;
      return &o;
    }
  }
  return nullptr;
}

Supply* Machine::findSupply(const std::string& name) {
  for (Supply& s : model.supplies)
    if (s.name == name) return &s;
  return nullptr;
}

bool Machine::supplyOn(const Supply& s) { return !s.cut && (!s.wired || wireLevel(s.enable)); }

ClockSignal Machine::clockSignal(const DeviceInputWire& w) {
  ClockSignal sig;
  if (w.fromDevice) {
    // A clock output of an absent card or device is stopped.
    I2cDeviceSlot* s = findDevice(w.wire.link, w.wire.cascade, w.wire.engine, w.wire.port, w.wire.address);
    Cfam* c = findCfam(w.wire.link, w.wire.cascade);
    if (!s || !c) return sig;
    sig = c->present && s->present ? s->device->clockOutput(w.wire.output) : DeviceModel::stoppedClock();
    sig.connected = true;
    return sig;
  }
  Cfam* c = findCfam(w.oscLink, w.oscCascade);
  if (!c || w.oscIndex >= c->oscillators.size()) return sig;
  const Oscillator& o = c->oscillators[w.oscIndex];
  sig.connected = true;
  sig.nominalKHz = o.nominalKHz;
  if (c->present) {
    sig.state = o.state;
    sig.driftPpm = o.state == OscillatorState::Drifting ? o.driftPpm : 0;
  }
  return sig;
}

void Machine::propagateSignals() {
  if (propagating || wiredDevices.empty()) return;
  propagating = true;
  // Each round hands every device what its wires show now; a device that
  // reacts may change what other devices see, so go on until a round
  // changes nothing. Wiring that keeps toggling stops after the bound.
  for (unsigned round = 0; round < 16; ++round) {
    bool changed = false;
    for (const WiredDevice& d : wiredDevices) {
      DeviceModel& dev = *d.slot->device;
      for (unsigned i = 0; i < dev.inputCount(); ++i) {
        const DeviceInputWire* w = nullptr;
        for (const DeviceInputWire& x : d.slot->inputs)
          if (x.input == i) w = &x;
        if (dev.isClockInput(i))
          changed = dev.applyClock(i, w ? clockSignal(*w) : ClockSignal()) || changed;
        else
          changed = dev.applyInput(i, w ? wireLevel(w->wire) : dev.idleInput(i)) || changed;
      }
      // After the inputs: a device whose supply returns starts from its
      // reset state with its inputs as they are now.
      const bool powered = d.cfam->present && d.slot->present &&
                           (d.slot->supply < 0 || supplyOn(model.supplies[static_cast<size_t>(d.slot->supply)]));
      changed = dev.setPowered(powered) || changed;
    }
    if (!changed) break;
  }
  propagating = false;
}

void Machine::deviceChanged() {
  if (propagating) return;
  recheckRequests();
}

void Machine::complete(ravo_aio_cb* cb, int status, int second) {
  cb->state = ravo_aio_cb::Completed;
  cb->status = status;
  cb->second = second;
  cb->ctx->completed.push_back(cb);
  cb->ctx->cv.notify_all();
}

Transaction* Machine::logEntry(Transaction::Kind kind, const std::string& device) {
  if (!logOn) return nullptr;
  Transaction* t;
  if (logRing.size() < logCapacity) {
    logRing.emplace_back();
    t = &logRing.back();
  } else {
    t = &logRing[logNext];
    logNext = (logNext + 1) % logRing.size();
    ++logDropped;
  }
  t->seq = ++logSeq;
  t->time = std::max(DeviceModel::now(), logLast);
  logLast = t->time;
  t->kind = kind;
  t->device = device;
  t->address = 0;
  t->hasOffset = false;
  t->offset = 0;
  t->offsetWidth = 0;
  t->data.clear();
  t->result = 0;
  t->busNs = 0;
  t->mask = 0;
  t->levels = 0;
  t->entries.clear();
  t->value = 0;
  return t;
}

void Machine::logPinChanges() {
  if (!logOn) return;
  for (auto& [key, cfam] : model.cfams) {
    if (!cfam.present) continue;
    for (auto& [num, e] : cfam.engines) {
      if (e.family != Family::Gpio) continue;
      const uint32_t levels = gpioLevels(e);
      const uint32_t changed = levels ^ e.gpio.loggedLevels;
      if (!changed) continue;
      e.gpio.loggedLevels = levels;
      if (Transaction* t = logEntry(Transaction::PinChange, devicePath(Family::Gpio, cfam.link, cfam.cascade, num))) {
        t->mask = changed;
        t->levels = levels;
      }
    }
  }
}

void Machine::snapshotPins() {
  for (auto& [key, cfam] : model.cfams)
    for (auto& [num, e] : cfam.engines)
      if (e.family == Family::Gpio) e.gpio.loggedLevels = gpioLevels(e);
}

void Machine::recheckRequests() {
  propagateSignals();
  logPinChanges();
  for (ravo_aio_ctx* ctx : contexts) {
    for (auto it = ctx->pending.begin(); it != ctx->pending.end();) {
      ravo_aio_cb* cb = *it;
      int err = 0;
      Engine* e = handles.count(cb->dev) ? engineOf(cb->dev, err) : nullptr;
      if (!e) {
        it = ctx->pending.erase(it);
        complete(cb, ENODEV, 0);
        continue;
      }
      const uint32_t levels = gpioLevels(*e);
      const uint32_t met = (levels & cb->event.high_mask) | (~levels & cb->event.low_mask);
      // A pin whose condition is latched holds its requests back until the
      // condition is reset.
      const uint32_t hit = met & ~e->gpio.condition;
      const uint32_t watched = cb->event.high_mask | cb->event.low_mask;
      if (met && !hit && !cb->heldLogged) {
        cb->heldLogged = true;
        if (Transaction* t = logEntry(Transaction::InterruptHeld, cb->path)) {
          t->mask = met;
          t->levels = levels & watched;
        }
      }
      if (hit) {
        e->gpio.condition |= hit;
        it = ctx->pending.erase(it);
        if (Transaction* t = logEntry(Transaction::Interrupt, cb->path)) {
          t->mask = hit;
          t->levels = levels & watched;
        }
        complete(cb, RAVO_AIO_STATUS_DONE, static_cast<int>(levels & watched));
      } else {
        ++it;
      }
    }
  }
}

bool Machine::takeFault(const std::string& op, const std::string& path, int& err) {
  for (auto it = model.faults.begin(); it != model.faults.end(); ++it) {
    if (it->op != "*" && it->op != op) continue;
    if (!it->pattern.empty() && it->pattern != "*" && fnmatch(it->pattern.c_str(), path.c_str(), 0) != 0) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    if (it->pullsCfam) {
      Cfam* c = findCfam(it->link, it->cascade);
      model.faults.erase(it);
      if (c != nullptr && c->present) {
        pull(*c);
        recheckRequests();
      }
      return false;
    }
    err = it->err;
    if (!it->always && --it->remaining == 0) model.faults.erase(it);
    ++injected[op];
    return true;
  }
  return false;
}

void Machine::pull(Cfam& c) {
  if (!c.present) return;
  c.present = false;
  completeGone([&](ravo_aio_cb* cb) { return cb->dev && cb->dev->link == c.link && cb->dev->cascade == c.cascade; });
}

unsigned Machine::delayFor(const std::string& portPath) const {
  unsigned ms = 0;
  for (const Delay& d : model.delays)
    if (fnmatch(d.pattern.c_str(), portPath.c_str(), 0) == 0 && d.ms > ms) ms = d.ms;
  return ms;
}

void Machine::recordFfdc(const std::string& path, const std::string& op, int err, const std::string& detail) {
  if (path.empty()) return;
  FfdcStore& store = ffdc[path];
  if (store.records.size() >= RAVO_FFDC_MAX_RECORDS) {
    ++store.lost;
    return;
  }
  FfdcRecord r;
  r.seq = ++ffdcSeq;
  r.err = err;
  r.text = op + " on " + path + " failed: errno=" + std::to_string(err) + " (" + errnoText(err) + ")";
  if (!detail.empty()) r.text += ": " + detail;
  store.records.push_back(std::move(r));
}

void Machine::install(Model&& m, bool keepHandles) {
  if (!keepHandles) ++generation;
  completeGone([](ravo_aio_cb*) { return true; });
  model = std::move(m);
  powerOnDevices();
  loadPersistent();
  snapshotPins();
}

void Machine::powerOnDevices() {
  // Devices see their wiring once everything is at its power-on state.
  propagating = true;
  wiredDevices.clear();
  for (Supply& s : model.supplies) s.cut = false;
  for (auto& [key, cfam] : model.cfams) {
    if (cfam.initialPresent && !cfam.present) ++cfam.epoch;
    cfam.present = cfam.initialPresent;
    for (Oscillator& o : cfam.oscillators) o.powerOn();
    for (auto& [num, e] : cfam.engines) {
      if (e.family == Family::Gpio) e.gpio.powerOn();
      if (e.family == Family::Iic) {
        for (I2cPort& p : e.i2c.ports) {
          p.busNs = 0;
          p.transfers = 0;
          for (auto& [addr, slot] : p.devices) {
            slot.present = slot.initialPresent;
            slot.irqResets = 0;
            slot.device->setChangeListener([this] { deviceChanged(); });
            slot.device->setWakeListener([this](std::chrono::steady_clock::time_point t) { wakeRequested(t); });
            if (slot.device->inputCount() > 0 || slot.supply >= 0) {
              // Off until its inputs have their levels: the power-on reset
              // below (propagateSignals) then sees them.
              slot.device->setPowered(false);
              wiredDevices.push_back({&cfam, &slot});
            } else {
              slot.device->reset();
            }
          }
        }
      }
    }
  }
  orderWiredDevices();
  nextWake = std::chrono::steady_clock::time_point::max();
  propagating = false;
  propagateSignals();
}

void Machine::orderWiredDevices() {
  const size_t n = wiredDevices.size();
  std::vector<size_t> depth(n, 0);
  auto indexOf = [this](const I2cDeviceSlot* s) {
    for (size_t i = 0; i < wiredDevices.size(); ++i)
      if (wiredDevices[i].slot == s) return static_cast<long>(i);
    return -1L;
  };
  // Depth: the longest chain of clock sources in front of a device (bounded,
  // so that a loop of clocks ends).
  for (size_t pass = 0; pass < n; ++pass) {
    bool changed = false;
    for (size_t i = 0; i < n; ++i) {
      for (const DeviceInputWire& w : wiredDevices[i].slot->inputs) {
        if (!w.fromDevice) continue;
        const long j =
            indexOf(findDevice(w.wire.link, w.wire.cascade, w.wire.engine, w.wire.port, w.wire.address));
        if (j < 0) continue;
        const size_t d = std::min(depth[static_cast<size_t>(j)] + 1, n);
        if (d > depth[i]) {
          depth[i] = d;
          changed = true;
        }
      }
    }
    if (!changed) break;
  }
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&depth](size_t a, size_t b) { return depth[a] < depth[b]; });
  std::vector<WiredDevice> sorted;
  for (size_t i : order) sorted.push_back(wiredDevices[i]);
  wiredDevices.swap(sorted);
}

void Machine::wakeRequested(std::chrono::steady_clock::time_point when) {
  if (when >= nextWake) return;
  nextWake = when;
  // Waiters for requests wait no longer than the earliest wake-up.
  for (ravo_aio_ctx* ctx : contexts) ctx->cv.notify_all();
}

void Machine::processTimers() {
  using Clock = std::chrono::steady_clock;
  if (handlingTimers || nextWake > Clock::now()) return;
  handlingTimers = true;
  for (;;) {
    // The earliest due wake-up of a powered device.
    DeviceModel* due = nullptr;
    Clock::time_point next = Clock::time_point::max();
    const Clock::time_point now = Clock::now();
    for (auto& [key, cfam] : model.cfams)
      for (auto& [num, e] : cfam.engines)
        if (e.family == Family::Iic)
          for (I2cPort& p : e.i2c.ports)
            for (auto& [addr, slot] : p.devices) {
              DeviceModel& d = *slot.device;
              if (!d.powered() || !d.wakePending() || d.wakeTime() >= next) continue;
              next = d.wakeTime();
              due = next <= now ? &d : nullptr;
            }
    nextWake = next;
    if (!due) break;
    setModelTime(next);
    due->fireTimer();
    recheckRequests();
    clearModelTime();
  }
  handlingTimers = false;
}

bool validCardText(const std::string& s) {
  if (s.empty() || s.size() > 64 || s[0] == '.') return false;
  for (char ch : s)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '.' && ch != '_' && ch != '-') return false;
  return true;
}

void Machine::restart() {
  ++generation;
  completeGone([](ravo_aio_cb*) { return true; });
  powerCut = false;
  cutAfter = 0;
  cutTear = -1;
  // Devices come back at their power-on state; wired ones take it once
  // their inputs have their levels again (propagateSignals).
  propagating = true;
  for (auto& [key, cfam] : model.cfams) {
    for (auto& [num, e] : cfam.engines) {
      if (e.family == Family::Gpio) e.gpio.powerOn();
      if (e.family == Family::Iic)
        for (I2cPort& p : e.i2c.ports)
          for (auto& [addr, slot] : p.devices) {
            if (slot.device->inputCount() > 0 || slot.supply >= 0)
              slot.device->setPowered(false);
            else
              slot.device->reset();
          }
    }
  }
  propagating = false;
  propagateSignals();
  loadPersistent();
  snapshotPins();
}

std::string Machine::stateFolder(const Cfam& c) const {
  if (!c.serial.empty()) return stateDir + "/cards/" + c.cardType + "/" + c.serial;
  char buf[32];
  std::snprintf(buf, sizeof buf, "/slots/L%02uC%u", c.link, c.cascade);
  return stateDir + buf;
}

std::string Machine::stateFile(const Cfam& c, const char* kind, unsigned engine) const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "/%s-E%02u.bin", kind, engine);
  return stateFolder(c) + buf;
}

std::string Machine::oldStateFile(const Cfam& c, const char* kind, unsigned engine) const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "/%s-L%02uC%uE%02u.bin", kind, c.link, c.cascade, engine);
  return stateDir + buf;
}

void Machine::loadCardState(Cfam& cfam) {
  for (auto& [num, e] : cfam.engines) {
    if (e.family != Family::Scp && e.family != Family::Iomux) continue;
    const char* kind = e.family == Family::Scp ? "scp" : "iomux";
    const std::string file = stateFile(cfam, kind, num);
    // A file of an earlier version, kept by place, goes over once to the
    // card that is in that place now, unless the card has its own.
    const std::string old = oldStateFile(cfam, kind, num);
    if (access(file.c_str(), F_OK) != 0 && access(old.c_str(), F_OK) == 0 && makeDirs(stateFolder(cfam)))
      std::rename(old.c_str(), file.c_str());
    std::string data;
    if (e.family == Family::Scp) {
      ScpState& s = e.scp;
      s.bytes.assign(s.size, 0);
      s.cold = true;
      if (readFile(file, data) && data.size() == 12u + s.size && word(data, 0) == kScpMagic &&
          word(data, 4) == s.size) {
        s.cold = word(data, 8) != 0;
        std::memcpy(s.bytes.data(), data.data() + 12, s.size);
      }
    } else {
      IomuxState& s = e.iomux;
      s.entries.assign(s.size, 0);
      s.state = RAVO_IOMUX_STATE_WRITABLE;
      if (readFile(file, data) && data.size() == 12u + 4u * s.size && word(data, 0) == kIomuxMagic &&
          word(data, 4) == s.size) {
        s.state = static_cast<int>(word(data, 8));
        std::memcpy(s.entries.data(), data.data() + 12, 4u * s.size);
      }
    }
  }
}

void Machine::loadPersistent() {
  for (auto& [key, cfam] : model.cfams) loadCardState(cfam);
}

void Machine::wipeCardState(Cfam& cfam) {
  for (auto& [num, e] : cfam.engines) {
    if (e.family == Family::Scp) {
      unlink(stateFile(cfam, "scp", num).c_str());
      e.scp.bytes.assign(e.scp.size, 0);
      e.scp.cold = true;
    } else if (e.family == Family::Iomux) {
      unlink(stateFile(cfam, "iomux", num).c_str());
      e.iomux.entries.assign(e.iomux.size, 0);
      e.iomux.state = RAVO_IOMUX_STATE_WRITABLE;
    }
  }
}

void Machine::wipePersistent() {
  // Every card's state, also of cards that are not in the machine now, and
  // the files of earlier versions.
  std::error_code ignored;
  std::filesystem::remove_all(stateDir + "/cards", ignored);
  std::filesystem::remove_all(stateDir + "/slots", ignored);
  for (auto& [key, cfam] : model.cfams) {
    for (auto& [num, e] : cfam.engines) {
      if (e.family == Family::Scp) unlink(oldStateFile(cfam, "scp", num).c_str());
      if (e.family == Family::Iomux) unlink(oldStateFile(cfam, "iomux", num).c_str());
    }
    wipeCardState(cfam);
  }
}

namespace {

bool writeAll(int fd, const void* data, size_t len, off_t at) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    ssize_t n = pwrite(fd, p, len, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    len -= static_cast<size_t>(n);
    at += n;
  }
  return true;
}

}  // namespace

void Machine::persistScp(const Engine& e, unsigned link, unsigned cascade, uint32_t offset, uint32_t len) {
  const Cfam* cfam = findCfam(link, cascade);
  if (!cfam) return;
  const std::string folder = stateFolder(*cfam);
  if (!makeDirs(folder)) return warnOnce(folder + ": " + errnoText(errno));
  const std::string file = stateFile(*cfam, "scp", e.number);
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return warnOnce(file + ": " + errnoText(errno));
  const uint32_t header[3] = {kScpMagic, e.scp.size, e.scp.cold ? 1u : 0u};
  struct stat st {};
  bool ok;
  if (fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) == 12u + e.scp.size) {
    ok = writeAll(fd, header, sizeof header, 0) && writeAll(fd, e.scp.bytes.data() + offset, len, 12 + offset);
  } else {
    ok = ftruncate(fd, 0) == 0 && writeAll(fd, header, sizeof header, 0) &&
         writeAll(fd, e.scp.bytes.data(), e.scp.size, 12);
  }
  if (!ok) warnOnce(file + ": " + errnoText(errno));
  close(fd);
}

void Machine::persistIomux(const Engine& e, unsigned link, unsigned cascade) {
  const Cfam* cfam = findCfam(link, cascade);
  if (!cfam) return;
  const std::string folder = stateFolder(*cfam);
  if (!makeDirs(folder)) return warnOnce(folder + ": " + errnoText(errno));
  const std::string file = stateFile(*cfam, "iomux", e.number);
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return warnOnce(file + ": " + errnoText(errno));
  const uint32_t header[3] = {kIomuxMagic, e.iomux.size, static_cast<uint32_t>(e.iomux.state)};
  if (!writeAll(fd, header, sizeof header, 0) || !writeAll(fd, e.iomux.entries.data(), 4u * e.iomux.size, 12))
    warnOnce(file + ": " + errnoText(errno));
  close(fd);
}

Call::Call(const char* name) : m(Machine::get()), lock(m.mu), op(name) { m.processTimers(); }

Call::~Call() {
  if (lock.owns_lock()) lock.unlock();
  if (m_err) errno = m_err;
}

bool Call::handle(ravo_struct* h, Family f) {
  if (!m.handleValid(h, f)) {
    m_err = EBADF;
    return false;
  }
  path = h->path;
  return true;
}

bool Call::injectedFault() {
  int err = 0;
  if (!m.takeFault(op, path, err)) return false;
  fail(err, "injected fault");
  return true;
}

bool Machine::failWithoutPower(Call& c) {
  if (!powerCut) return false;
  c.fail(EIO, "the power is cut");
  return true;
}

int Call::fail(int err, const std::string& detail) {
  m.recordFfdc(path, op, err, detail);
  m_err = err;
  return -1;
}

Engine* Call::begin(ravo_struct* h, Family f) {
  if (!handle(h, f)) return nullptr;
  if (injectedFault()) return nullptr;
  return engine(h);
}

int64_t Call::seek(ravo_struct* h, int64_t offset, int whence, uint64_t size, const char* unit) {
  int64_t base;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = h->position; break;
    case SEEK_END: base = static_cast<int64_t>(size); break;
    default: return fail(EINVAL, "bad whence");
  }
  const int64_t pos = base + offset;
  if (pos < 0 || pos > static_cast<int64_t>(size))
    return fail(EINVAL, "position " + std::to_string(pos) + " is outside the " + std::to_string(size) + " " + unit);
  h->position = pos;
  return pos;
}

Engine* Call::engine(const ravo_struct* h) {
  int err = 0;
  Engine* e = m.engineOf(h, err);
  if (!e) {
    const Cfam* cfam = m.findCfam(h->link, h->cascade);
    if (h->generation != m.generation)
      fail(err, "the machine was replaced since the device was opened");
    else if (cfam && cfam->present && cfam->epoch != h->epoch)
      fail(err, "CFAM L" + std::to_string(h->link) + "C" + std::to_string(h->cascade) +
                    " was removed since the device was opened");
    else
      fail(err, "CFAM L" + std::to_string(h->link) + "C" + std::to_string(h->cascade) + " is not present");
  }
  return e;
}

}  // namespace detail
}  // namespace ravosim

namespace ravosim {
namespace detail {

namespace {
constexpr uint32_t kHandleMagic = 0x5241564Fu;  // "RAVO"
}

ravo_struct* openHandle(Call& c, Family f, const char* path, int flags, bool withPort) {
  c.path = path ? path : "";
  if (!path) {
    c.fail(EINVAL, "no device path");
    return nullptr;
  }
  if (c.injectedFault()) return nullptr;
  unsigned link, cascade, engine, port;
  if (!parseDevicePath(f, c.path, link, cascade, engine, port) || (port != ~0u) != withPort) {
    c.fail(ENOENT, "not a device path of this library");
    return nullptr;
  }
  Cfam* cfam = c.m.findCfam(link, cascade);
  if (!cfam) {
    c.fail(ENOENT, "the machine has no CFAM L" + std::to_string(link) + "C" + std::to_string(cascade));
    return nullptr;
  }
  if (!cfam->present) {
    c.fail(ENODEV, "CFAM L" + std::to_string(link) + "C" + std::to_string(cascade) + " is not present");
    return nullptr;
  }
  auto it = cfam->engines.find(engine);
  if (it == cfam->engines.end() || it->second.family != f) {
    c.fail(ENOENT, "the CFAM has no such engine " + std::to_string(engine));
    return nullptr;
  }
  if (withPort && port >= it->second.i2c.ports.size()) {
    c.fail(ENOENT, "the engine has no port " + std::to_string(port));
    return nullptr;
  }
  for (ravo_struct* other : c.m.handles) {
    if (other->path == c.path && other->generation == c.m.generation && other->epoch == cfam->epoch &&
        ((flags & O_EXCL) || (other->flags & O_EXCL))) {
      c.fail(EBUSY, "the device is open exclusively or already open");
      return nullptr;
    }
  }
  auto* h = new (std::nothrow) ravo_struct;
  if (!h) {
    c.fail(ENOMEM);
    return nullptr;
  }
  h->magic = kHandleMagic;
  h->family = f;
  h->path = c.path;
  h->link = link;
  h->cascade = cascade;
  h->engine = engine;
  h->port = port;
  h->generation = c.m.generation;
  h->epoch = cfam->epoch;
  h->flags = flags;
  c.m.handles.insert(h);
  return h;
}

int closeHandle(Call& c, ravo_struct* h, Family f) {
  if (!c.handle(h, f)) return -1;
  const bool failed = c.injectedFault();
  c.m.completeGone([h](ravo_aio_cb* cb) { return cb->dev == h; });
  for (ravo_aio_cb* cb : c.m.cbs)
    if (cb->dev == h) cb->dev = nullptr;
  c.m.handles.erase(h);
  h->magic = 0;
  delete h;
  return failed ? -1 : 0;
}

}  // namespace detail
}  // namespace ravosim
