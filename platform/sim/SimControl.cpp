// The control interface of the simulated machine (ravo_sim_control.h).
#include <fnmatch.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "SimMachine.h"
#include "ravo_sim_control.h"

using namespace ravosim::detail;

namespace ravosim {

namespace {

// The machine locked, its due wake-ups handled.
struct Locked {
  Locked() { m.processTimers(); }
  Machine& m = Machine::get();
  std::unique_lock<std::mutex> lock{m.mu};
};

LoadResult load(const std::string& text, const std::string& name, const std::string& path) {
  LoadResult r;
  r.file = name;
  Model model;
  std::string msg;
  if (!parseDescription(text, model, r.line, msg)) {
    r.message = name + ":" + std::to_string(r.line) + ": " + msg;
    return r;
  }
  Locked l;
  l.m.install(std::move(model));
  l.m.descText = text;
  l.m.descName = name;
  l.m.descPath = path;
  r.ok = true;
  return r;
}

Engine* engineAt(Machine& m, Family f, const std::string& path, unsigned& port, unsigned* linkOut = nullptr,
                 unsigned* cascadeOut = nullptr) {
  unsigned link, cascade, engine;
  if (!parseDevicePath(f, path, link, cascade, engine, port)) return nullptr;
  if (linkOut) *linkOut = link;
  if (cascadeOut) *cascadeOut = cascade;
  Engine* e = m.findEngine(link, cascade, engine);
  return e && e->family == f ? e : nullptr;
}

I2cDeviceSlot* deviceAt(Machine& m, const std::string& portPath, unsigned address) {
  unsigned port;
  Engine* e = engineAt(m, Family::Iic, portPath, port);
  if (!e || port == ~0u || port >= e->i2c.ports.size()) return nullptr;
  auto it = e->i2c.ports[port].devices.find(address);
  return it == e->i2c.ports[port].devices.end() ? nullptr : &it->second;
}

I2cPort* portAt(Machine& m, const std::string& portPath) {
  unsigned port;
  Engine* e = engineAt(m, Family::Iic, portPath, port);
  if (!e || port == ~0u || port >= e->i2c.ports.size()) return nullptr;
  return &e->i2c.ports[port];
}

Engine* gpioAt(Machine& m, const std::string& path) {
  unsigned port;
  Engine* e = engineAt(m, Family::Gpio, path, port);
  return port == ~0u ? e : nullptr;
}

}  // namespace

LoadResult loadMachine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LoadResult r;
    r.file = path;
    r.message = path + ":0: cannot read the machine description";
    return r;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  return load(ss.str(), path, path);
}

LoadResult loadMachineText(const std::string& xml, const std::string& name) { return load(xml, name, ""); }

std::string machinePath() {
  Locked l;
  return l.m.descPath;
}

void resetMachine() {
  Locked l;
  Model model;
  unsigned line = 0;
  std::string msg;
  if (l.m.descText.empty() || !parseDescription(l.m.descText, model, line, msg)) model = Model();
  l.m.install(std::move(model), true);
  l.m.wipePersistent();
  l.m.ffdc.clear();
  l.m.injected.clear();
}

void cutPowerAfterScratchpadWrites(unsigned writes, int tearAfterBytes, const std::string& scpPattern) {
  Locked l;
  l.m.cutAfter = writes;
  l.m.cutTear = tearAfterBytes;
  l.m.cutPattern = scpPattern;
}

bool powerIsCut() {
  Locked l;
  return l.m.powerCut;
}

uint64_t scratchpadWrites() {
  Locked l;
  return l.m.scpWrites;
}

void restartMachine() {
  Locked l;
  l.m.restart();
}

void setStateDir(const std::string& dir) {
  Locked l;
  l.m.stateDir = dir;
  l.m.loadPersistent();
}

std::string stateDir() {
  Locked l;
  return l.m.stateDir;
}

void failCalls(const std::string& op, const std::string& devicePattern, int err, unsigned count) {
  failCallsAfter(op, devicePattern, err, 0, count);
}

void failCallsAfter(const std::string& op, const std::string& devicePattern, int err, unsigned skip, unsigned count) {
  Locked l;
  Fault f;
  f.op = op.empty() ? "*" : op;
  f.pattern = devicePattern;
  f.err = err;
  f.always = count == 0;
  f.remaining = count;
  f.skip = skip;
  l.m.model.faults.push_back(f);
}

bool removeCfamBeforeCall(unsigned link, unsigned cascade, const std::string& op, const std::string& devicePattern,
                          unsigned skip) {
  Locked l;
  if (l.m.findCfam(link, cascade) == nullptr) return false;
  Fault f;
  f.op = op.empty() ? "*" : op;
  f.pattern = devicePattern;
  f.skip = skip;
  f.pullsCfam = true;
  f.link = link;
  f.cascade = cascade;
  l.m.model.faults.push_back(f);
  return true;
}

void failAlways(const std::string& op, const std::string& devicePattern, int err) {
  failCalls(op, devicePattern, err, 0);
}

void clearFaults() {
  Locked l;
  l.m.model.faults.clear();
}

unsigned injectedFailures(const std::string& op) {
  Locked l;
  if (op.empty() || op == "*") {
    unsigned n = 0;
    for (const auto& [name, count] : l.m.injected) n += count;
    return n;
  }
  auto it = l.m.injected.find(op);
  return it == l.m.injected.end() ? 0 : it->second;
}

namespace {

// Pulls the card out: calls on its engines fail, its pending requests end.

// Plugs the card in, its volatile parts at their power-on state.
void plug(Cfam& c) {
  if (c.present) return;
  c.present = true;
  ++c.epoch;
  for (auto& [num, e] : c.engines) {
    if (e.family == Family::Gpio) e.gpio.powerOn();
    if (e.family == Family::Iic)
      for (I2cPort& p : e.i2c.ports)
        for (auto& [addr, slot] : p.devices) slot.device->reset();
  }
}

bool setCfamPresent(unsigned link, unsigned cascade, bool present) {
  Locked l;
  Cfam* c = l.m.findCfam(link, cascade);
  if (!c) return false;
  if (c->present == present) return true;
  if (present) plug(*c);
  else l.m.pull(*c);
  // Pins wired to the CFAM's presence (or to its pins) change.
  l.m.recheckRequests();
  return true;
}

bool setDevicePresent(const std::string& portPath, unsigned address, bool present) {
  Locked l;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  if (!s) return false;
  if (present && !s->present) s->device->reset();
  s->present = present;
  // Lines wired to the device's outputs change.
  l.m.recheckRequests();
  return true;
}

}  // namespace

bool removeCfam(unsigned link, unsigned cascade) { return setCfamPresent(link, cascade, false); }
bool insertCfam(unsigned link, unsigned cascade) { return setCfamPresent(link, cascade, true); }

bool cfamPresent(unsigned link, unsigned cascade) {
  Locked l;
  Cfam* c = l.m.findCfam(link, cascade);
  return c && c->present;
}

bool swapCard(unsigned link, unsigned cascade, const CardIdentity& card) {
  if (!card.serial.empty() && (!validCardText(card.type) || !validCardText(card.serial))) return false;
  if (card.serial.empty() && !card.type.empty() && !validCardText(card.type)) return false;
  Locked l;
  Cfam* c = l.m.findCfam(link, cascade);
  if (!c) return false;
  l.m.pull(*c);
  if (!card.serial.empty()) {
    // A card that sits in another place is moved from there: that place is
    // left empty (pulled, no card).
    for (auto& [key, other] : l.m.model.cfams) {
      if (&other == c || other.cardType != card.type || other.serial != card.serial) continue;
      l.m.pull(other);
      other.cardType.clear();
      other.serial.clear();
      l.m.wipeCardState(other);
    }
  }
  c->cardType = card.type;
  c->serial = card.serial;
  // A blank card keeps its state by place: the one plugged now is empty.
  if (card.serial.empty()) l.m.wipeCardState(*c);
  l.m.loadCardState(*c);
  plug(*c);
  l.m.recheckRequests();
  return true;
}

bool cardIdentity(unsigned link, unsigned cascade, CardIdentity& card) {
  Locked l;
  Cfam* c = l.m.findCfam(link, cascade);
  if (!c) return false;
  card.type = c->cardType;
  card.serial = c->serial;
  return true;
}

std::string cardStateFolder(unsigned link, unsigned cascade) {
  Locked l;
  Cfam* c = l.m.findCfam(link, cascade);
  return c ? l.m.stateFolder(*c) : std::string();
}

bool removeI2cDevice(const std::string& portPath, unsigned address) {
  return setDevicePresent(portPath, address, false);
}
bool insertI2cDevice(const std::string& portPath, unsigned address) {
  return setDevicePresent(portPath, address, true);
}

bool setInputLevel(const std::string& gpioPath, unsigned pin, bool high) {
  if (pin >= 32) return false;
  Locked l;
  Engine* e = gpioAt(l.m, gpioPath);
  if (!e) return false;
  const uint32_t bit = 0x80000000u >> pin;
  e->gpio.wires[pin] = PinWire();
  e->gpio.external = high ? (e->gpio.external | bit) : (e->gpio.external & ~bit);
  e->gpio.driveMask &= ~bit;
  l.m.recheckRequests();
  return true;
}

bool drivePin(const std::string& gpioPath, unsigned pin, bool high) {
  if (pin >= 32) return false;
  Locked l;
  Engine* e = gpioAt(l.m, gpioPath);
  if (!e) return false;
  const uint32_t bit = 0x80000000u >> pin;
  e->gpio.driveMask |= bit;
  e->gpio.driveLevels = high ? (e->gpio.driveLevels | bit) : (e->gpio.driveLevels & ~bit);
  l.m.recheckRequests();
  return true;
}

bool releasePin(const std::string& gpioPath, unsigned pin) {
  if (pin >= 32) return false;
  Locked l;
  Engine* e = gpioAt(l.m, gpioPath);
  if (!e) return false;
  e->gpio.driveMask &= ~(0x80000000u >> pin);
  l.m.recheckRequests();
  return true;
}

bool readPinLevels(const std::string& gpioPath, uint32_t& levels) {
  Locked l;
  Engine* e = gpioAt(l.m, gpioPath);
  if (!e) return false;
  levels = l.m.gpioLevels(*e);
  return true;
}

bool readOutputLatches(const std::string& gpioPath, uint32_t& latches) {
  Locked l;
  Engine* e = gpioAt(l.m, gpioPath);
  if (!e) return false;
  latches = e->gpio.latch;
  return true;
}

unsigned pendingRequests(const std::string& gpioPath) {
  Locked l;
  unsigned n = 0;
  for (ravo_aio_ctx* ctx : l.m.contexts)
    for (ravo_aio_cb* cb : ctx->pending)
      if (cb->path == gpioPath) ++n;
  return n;
}

void setI2cDelay(const std::string& portPattern, unsigned ms) {
  Locked l;
  auto& delays = l.m.model.delays;
  for (auto it = delays.begin(); it != delays.end();) {
    if (it->pattern == portPattern) it = delays.erase(it);
    else ++it;
  }
  if (ms > 0) delays.push_back(Delay{portPattern, ms});
}

uint64_t busTimeNs(const std::string& portPath) {
  Locked l;
  I2cPort* p = portAt(l.m, portPath);
  return p ? p->busNs : 0;
}

uint64_t busTransfers(const std::string& portPath) {
  Locked l;
  I2cPort* p = portAt(l.m, portPath);
  return p ? p->transfers : 0;
}

void resetBusTime() {
  Locked l;
  for (auto& [key, cfam] : l.m.model.cfams)
    for (auto& [num, e] : cfam.engines)
      for (I2cPort& p : e.i2c.ports) {
        p.busNs = 0;
        p.transfers = 0;
      }
}

bool peekI2cRegister(const std::string& portPath, unsigned address, unsigned reg, uint8_t& value) {
  Locked l;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  return s && s->device->peek(reg, value);
}

bool pokeI2cRegister(const std::string& portPath, unsigned address, unsigned reg, uint8_t value) {
  Locked l;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  return s && s->device->poke(reg, value);
}

bool i2cIrqResets(const std::string& portPath, unsigned address, unsigned& count) {
  Locked l;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  if (!s) return false;
  count = s->irqResets;
  return true;
}

namespace {

bool setOscillator(const std::string& name, OscillatorState state, int32_t ppm) {
  Locked l;
  Oscillator* o = l.m.findOscillator(name);
  if (!o) return false;
  o->state = state;
  o->driftPpm = ppm;
  l.m.recheckRequests();
  return true;
}

bool setSupplyCut(const std::string& name, bool cut) {
  Locked l;
  Supply* s = l.m.findSupply(name);
  if (!s) return false;
  s->cut = cut;
  l.m.recheckRequests();
  return true;
}

// The device and the index of its signal `name`; null when either is unknown.
DeviceModel* signalOf(Machine& m, const std::string& portPath, unsigned address, const std::string& name,
                      bool output, unsigned& index, I2cDeviceSlot** slot = nullptr) {
  I2cDeviceSlot* s = deviceAt(m, portPath, address);
  if (!s) return nullptr;
  const int i = output ? s->device->outputIndex(name) : s->device->inputIndex(name);
  if (i < 0) return nullptr;
  index = static_cast<unsigned>(i);
  if (slot) *slot = s;
  return s->device.get();
}

}  // namespace

bool failOscillator(const std::string& name) { return setOscillator(name, OscillatorState::Failed, 0); }
bool restoreOscillator(const std::string& name) { return setOscillator(name, OscillatorState::Running, 0); }
bool setOscillatorDrifting(const std::string& name, int32_t ppm) {
  return setOscillator(name, OscillatorState::Drifting, ppm);
}

bool oscillatorState(const std::string& name, OscillatorState& state, int32_t& driftPpm) {
  Locked l;
  const Oscillator* o = l.m.findOscillator(name);
  if (!o) return false;
  state = o->state;
  driftPpm = o->driftPpm;
  return true;
}

bool cutSupply(const std::string& name) { return setSupplyCut(name, true); }
bool restoreSupply(const std::string& name) { return setSupplyCut(name, false); }

bool supplyOn(const std::string& name, bool& on) {
  Locked l;
  Supply* s = l.m.findSupply(name);
  if (!s) return false;
  on = l.m.supplyOn(*s);
  return true;
}

bool devicePowered(const std::string& portPath, unsigned address, bool& powered) {
  Locked l;
  unsigned link, cascade, engine, port;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  if (!s || !parseDevicePath(Family::Iic, portPath, link, cascade, engine, port)) return false;
  const Cfam* c = l.m.findCfam(link, cascade);
  powered = c && c->present && s->present && s->device->powered();
  return true;
}

bool readDeviceInput(const std::string& portPath, unsigned address, const std::string& input, bool& level) {
  Locked l;
  unsigned i;
  DeviceModel* d = signalOf(l.m, portPath, address, input, false, i);
  if (!d) return false;
  level = d->isClockInput(i) ? d->clock(i).running() : d->input(i);
  return true;
}

bool readDeviceOutput(const std::string& portPath, unsigned address, const std::string& output, bool& level) {
  Locked l;
  unsigned i, link, cascade, engine, port;
  I2cDeviceSlot* s = nullptr;
  DeviceModel* d = signalOf(l.m, portPath, address, output, true, i, &s);
  if (!d || !parseDevicePath(Family::Iic, portPath, link, cascade, engine, port)) return false;
  const Cfam* c = l.m.findCfam(link, cascade);
  level = c && c->present && s->present ? d->output(i) : d->unpoweredOutput(i);
  return true;
}

bool driveDeviceInput(const std::string& portPath, unsigned address, const std::string& input, bool level) {
  Locked l;
  unsigned i;
  DeviceModel* d = signalOf(l.m, portPath, address, input, false, i);
  if (!d || d->isClockInput(i)) return false;
  d->forceInput(i, level);
  d->applyInput(i, level);
  l.m.recheckRequests();
  return true;
}

bool releaseDeviceInput(const std::string& portPath, unsigned address, const std::string& input) {
  Locked l;
  unsigned i;
  DeviceModel* d = signalOf(l.m, portPath, address, input, false, i);
  if (!d || d->isClockInput(i)) return false;
  d->releaseInput(i);
  l.m.recheckRequests();
  return true;
}

bool forceDeviceOutput(const std::string& portPath, unsigned address, const std::string& output, bool level) {
  Locked l;
  unsigned i;
  DeviceModel* d = signalOf(l.m, portPath, address, output, true, i);
  if (!d) return false;
  d->forceOutput(i, level);
  l.m.recheckRequests();
  return true;
}

bool releaseDeviceOutput(const std::string& portPath, unsigned address, const std::string& output) {
  Locked l;
  unsigned i;
  DeviceModel* d = signalOf(l.m, portPath, address, output, true, i);
  if (!d) return false;
  d->releaseOutput(i);
  l.m.recheckRequests();
  return true;
}

bool readDeviceClock(const std::string& portPath, unsigned address, const std::string& clock, ClockSignal& signal) {
  Locked l;
  unsigned link, cascade, engine, port;
  I2cDeviceSlot* s = deviceAt(l.m, portPath, address);
  if (!s || !parseDevicePath(Family::Iic, portPath, link, cascade, engine, port)) return false;
  DeviceModel& d = *s->device;
  const int out = d.clockOutputIndex(clock);
  if (out >= 0) {
    const Cfam* c = l.m.findCfam(link, cascade);
    signal = c && c->present && s->present ? d.clockOutput(static_cast<unsigned>(out)) : DeviceModel::stoppedClock();
    return true;
  }
  const int in = d.inputIndex(clock);
  if (in < 0 || !d.isClockInput(static_cast<unsigned>(in))) return false;
  signal = d.clock(static_cast<unsigned>(in));
  return true;
}

bool readScratchpad(const std::string& scpPath, uint32_t offset, void* data, uint32_t len) {
  Locked l;
  unsigned port;
  Engine* e = engineAt(l.m, Family::Scp, scpPath, port);
  if (!e || port != ~0u || static_cast<uint64_t>(offset) + len > e->scp.size) return false;
  std::memcpy(data, e->scp.bytes.data() + offset, len);
  return true;
}

namespace {

// The scratchpad engine of the path and its place.
Engine* scratchpadAt(Machine& m, const std::string& scpPath, unsigned& link, unsigned& cascade) {
  unsigned port;
  Engine* e = engineAt(m, Family::Scp, scpPath, port, &link, &cascade);
  return port == ~0u ? e : nullptr;
}

}  // namespace

bool writeScratchpad(const std::string& scpPath, uint32_t offset, const void* data, uint32_t len) {
  Locked l;
  unsigned link, cascade;
  Engine* e = scratchpadAt(l.m, scpPath, link, cascade);
  if (!e || static_cast<uint64_t>(offset) + len > e->scp.size || (len && !data)) return false;
  if (len) std::memcpy(e->scp.bytes.data() + offset, data, len);
  l.m.persistScp(*e, link, cascade, offset, len);
  return true;
}

bool setColdStart(const std::string& scpPath, bool cold) {
  Locked l;
  unsigned link, cascade;
  Engine* e = scratchpadAt(l.m, scpPath, link, cascade);
  if (!e) return false;
  e->scp.cold = cold;
  l.m.persistScp(*e, link, cascade, 0, 0);
  return true;
}

bool coldStart(const std::string& scpPath, bool& cold) {
  Locked l;
  unsigned link, cascade;
  Engine* e = scratchpadAt(l.m, scpPath, link, cascade);
  if (!e) return false;
  cold = e->scp.cold;
  return true;
}

bool readIomux(const std::string& iomuxPath, std::vector<uint32_t>& entries, int& state) {
  Locked l;
  unsigned port;
  Engine* e = engineAt(l.m, Family::Iomux, iomuxPath, port);
  if (!e || port != ~0u) return false;
  entries = e->iomux.entries;
  state = e->iomux.state;
  return true;
}

unsigned openHandles() {
  Locked l;
  return static_cast<unsigned>(l.m.handles.size());
}

void setTransactionLog(bool on) {
  Locked l;
  // Pin changes are logged against the levels when the log went on.
  if (on && !l.m.logOn) l.m.snapshotPins();
  l.m.logOn = on;
}

bool transactionLogOn() {
  Locked l;
  return l.m.logOn;
}

void setTransactionLogCapacity(size_t entries) {
  Locked l;
  l.m.logCapacity = entries ? entries : 1;
  l.m.clearLog();
  l.m.logRing.shrink_to_fit();
}

size_t transactionLogCapacity() {
  Locked l;
  return l.m.logCapacity;
}

std::vector<Transaction> readTransactionLog(const std::string& devicePattern, int address) {
  Locked l;
  const bool anyDevice = devicePattern.empty() || devicePattern == "*";
  std::vector<Transaction> out;
  const size_t n = l.m.logRing.size();
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const Transaction& t = l.m.logRing[(l.m.logNext + i) % n];
    if (!anyDevice && fnmatch(devicePattern.c_str(), t.device.c_str(), 0) != 0) continue;
    const bool i2c = t.kind == Transaction::I2cWrite || t.kind == Transaction::I2cRead ||
                     t.kind == Transaction::I2cResetIrq;
    if (address >= 0 && (!i2c || t.address != static_cast<unsigned>(address))) continue;
    out.push_back(t);
  }
  return out;
}

void clearTransactionLog() {
  Locked l;
  l.m.clearLog();
}

uint64_t droppedTransactions() {
  Locked l;
  return l.m.logDropped;
}

namespace {

// "0:1 3:0" for the pins of the mask with their levels.
std::string pinList(uint32_t mask, uint32_t levels, bool withLevels) {
  std::string s;
  for (unsigned pin = 0; pin < 32; ++pin) {
    const uint32_t bit = 0x80000000u >> pin;
    if (!(mask & bit)) continue;
    if (!s.empty()) s += ' ';
    s += std::to_string(pin);
    if (withLevels) s += (levels & bit) ? ":1" : ":0";
  }
  return s;
}

}  // namespace

std::string formatTransaction(const Transaction& t, std::chrono::steady_clock::time_point since) {
  const double secs = std::chrono::duration<double>(t.time - since).count();
  char head[48];
  std::snprintf(head, sizeof head, "%12.6f  ", secs);
  std::string s = head;
  switch (t.kind) {
    case Transaction::I2cWrite:
    case Transaction::I2cRead:
    case Transaction::I2cResetIrq: {
      s += t.kind == Transaction::I2cWrite ? "I2C W   " : t.kind == Transaction::I2cRead ? "I2C R   " : "I2C IRQ ";
      s += t.device + " " + hex(t.address);
      if (t.hasOffset) {
        char off[24];
        std::snprintf(off, sizeof off, " @0x%0*X", static_cast<int>(2 * t.offsetWidth), t.offset);
        s += off;
      }
      s += ":";
      for (uint8_t b : t.data) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02X", b);
        s += byte;
      }
      char tail[64];
      std::snprintf(tail, sizeof tail, "  %s  bus %.1f us", t.result ? errnoName(t.result).c_str() : "ok",
                    static_cast<double>(t.busNs) / 1000.0);
      s += tail;
      break;
    }
    case Transaction::PinChange:
      s += "PIN     " + t.device + " " + pinList(t.mask, t.levels, true);
      break;
    case Transaction::Interrupt:
      s += "IRQ     " + t.device + " fired " + pinList(t.mask, t.levels, true);
      break;
    case Transaction::InterruptHeld:
      s += "IRQ     " + t.device + " held " + pinList(t.mask, t.levels, true) + " (condition latched)";
      break;
    case Transaction::ConditionReset:
      s += "IRQ     " + t.device + " reset condition " + pinList(t.mask, 0, false);
      if (t.mask & t.levels) s += " (latched " + pinList(t.mask & t.levels, 0, false) + ")";
      break;
    case Transaction::CfamRead:
    case Transaction::CfamWrite: {
      char text[64];
      std::snprintf(text, sizeof text, " @0x%04X: 0x%08X", t.offset, t.value);
      s += (t.kind == Transaction::CfamRead ? "CFAM R  " : "CFAM W  ") + t.device + text;
      s += t.result ? "  " + errnoName(t.result) : std::string("  ok");
      break;
    }
    case Transaction::IomuxWrite: {
      char at[24];
      std::snprintf(at, sizeof at, " @%u:", t.offset);
      s += "IOMUX W " + t.device + at;
      for (uint32_t entry : t.entries) s += " " + hex(entry);
      s += t.result ? "  " + errnoName(t.result) : std::string("  ok");
      break;
    }
  }
  return s;
}

std::string formatTransactionLog(const std::vector<Transaction>& log) {
  std::string s;
  if (log.empty()) return s;
  for (const Transaction& t : log) s += formatTransaction(t, log.front().time) + "\n";
  return s;
}

}  // namespace ravosim
