// The firmware's view of the machine (ravo_sim_control.h): role, system
// state, time of day, the targets of the hardware targeting and the CFAM
// registers of the processor chips.
#include <cerrno>
#include <cstring>

#include "SimMachine.h"
#include "ravo_sim_control.h"

using namespace ravosim::detail;

namespace ravosim {
namespace detail {

bool firmwareOperation(const std::string& op) {
  static const char* const kOperations[] = {"cfamRead",  "cfamWrite",   "subscribe",    "unsubscribe",
                                            "startTimer", "cancelTimer", "timeOfDay"};
  for (const char* name : kOperations)
    if (op == name) return true;
  return false;
}

}  // namespace detail

namespace {

// The machine locked, its due wake-ups handled.
struct Locked {
  Locked() { m.processTimers(); }
  Machine& m = Machine::get();
  std::unique_lock<std::mutex> lock{m.mu};
};

TargetState* findTarget(Machine& m, uint32_t id) {
  for (TargetState& t : m.model.firmware.targets)
    if (t.info.id == id) return &t;
  return nullptr;
}

bool present(Machine& m, const TargetState& t) {
  if (!t.onCfam) return t.info.present;
  const Cfam* c = m.findCfam(t.link, t.cascade);
  return c != nullptr && c->present;
}

FirmwareTarget report(Machine& m, const TargetState& t) {
  FirmwareTarget r = t.info;
  r.present = present(m, t);
  r.functional = r.present && t.functionalFlag;
  return r;
}

// The register of a processor chip for an access, or the errno of the
// failure.
int accessibleRegister(Machine& m, uint32_t id, uint32_t address, uint32_t*& reg) {
  TargetState* t = findTarget(m, id);
  if (t == nullptr || t->info.type != FirmwareTarget::Processor || !present(m, *t)) return ENODEV;
  auto it = t->registers.find(address);
  if (it == t->registers.end()) return ENXIO;
  reg = &it->second;
  return 0;
}

int access(const char* op, uint32_t id, uint32_t address, uint32_t* read, uint32_t written) {
  Locked l;
  TargetState* t = findTarget(l.m, id);
  const std::string device = t != nullptr ? t->info.name : hex(id);
  int err = 0;
  uint32_t* reg = nullptr;
  if (!l.m.takeFault(op, device, err)) err = accessibleRegister(l.m, id, address, reg);
  uint32_t value = written;
  if (err == 0) {
    if (read != nullptr) {
      *read = *reg;
      value = *reg;
    } else {
      *reg = written;
    }
  } else if (read != nullptr) {
    value = 0;
  }
  if (Transaction* tr = l.m.logEntry(read != nullptr ? Transaction::CfamRead : Transaction::CfamWrite, device)) {
    tr->hasOffset = true;
    tr->offset = address;
    tr->offsetWidth = 4;
    tr->value = value;
    tr->result = err;
  }
  return err;
}

}  // namespace

std::vector<FirmwareTarget> firmwareTargets() {
  Locked l;
  std::vector<FirmwareTarget> out;
  out.reserve(l.m.model.firmware.targets.size());
  for (const TargetState& t : l.m.model.firmware.targets) out.push_back(report(l.m, t));
  return out;
}

bool firmwareTarget(uint32_t id, FirmwareTarget& target) {
  Locked l;
  const TargetState* t = findTarget(l.m, id);
  if (t == nullptr) return false;
  target = report(l.m, *t);
  return true;
}

bool setTargetFunctional(uint32_t id, bool functional) {
  Locked l;
  TargetState* t = findTarget(l.m, id);
  if (t == nullptr) return false;
  t->functionalFlag = functional;
  return true;
}

bool setTargetPresent(uint32_t id, bool present) {
  unsigned link = 0, cascade = 0;
  {
    Locked l;
    TargetState* t = findTarget(l.m, id);
    if (t == nullptr) return false;
    if (!t->onCfam) {
      t->info.present = present;
      return true;
    }
    link = t->link;
    cascade = t->cascade;
  }
  return present ? insertCfam(link, cascade) : removeCfam(link, cascade);
}

bool serviceProcessorPrimary() {
  Locked l;
  return l.m.model.firmware.primary;
}

void setServiceProcessorPrimary(bool primary) {
  Locked l;
  l.m.model.firmware.primary = primary;
}

uint32_t systemState() {
  Locked l;
  return l.m.model.firmware.systemState;
}

void setSystemState(uint32_t state) {
  Locked l;
  l.m.model.firmware.systemState = state;
}

int64_t timeOfDayOffset() {
  Locked l;
  return l.m.model.firmware.timeOfDayOffset;
}

void setTimeOfDayOffset(int64_t seconds) {
  Locked l;
  l.m.model.firmware.timeOfDayOffset = seconds;
}

int cfamRead(uint32_t id, uint32_t address, uint32_t& value) { return access("cfamRead", id, address, &value, 0); }

int cfamWrite(uint32_t id, uint32_t address, uint32_t value) {
  return access("cfamWrite", id, address, nullptr, value);
}

bool peekCfamRegister(uint32_t id, uint32_t address, uint32_t& value) {
  Locked l;
  TargetState* t = findTarget(l.m, id);
  if (t == nullptr) return false;
  auto it = t->registers.find(address);
  if (it == t->registers.end()) return false;
  value = it->second;
  return true;
}

bool pokeCfamRegister(uint32_t id, uint32_t address, uint32_t value) {
  Locked l;
  TargetState* t = findTarget(l.m, id);
  if (t == nullptr) return false;
  auto it = t->registers.find(address);
  if (it == t->registers.end()) return false;
  it->second = value;
  return true;
}

bool takeInjectedFault(const std::string& op, const std::string& device, int& err) {
  Locked l;
  return l.m.takeFault(op, device, err);
}

}  // namespace ravosim
