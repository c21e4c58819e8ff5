#include "fw/Targeting.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "ravo_sim_control.h"

namespace fw {

namespace {

using Key = std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, std::string>;

// Every target seen so far. Never destroyed: threads may still hold targets
// while the process ends.
std::mutex& g_registryLock = *new std::mutex;
std::map<Key, std::unique_ptr<Target>>& g_registry = *new std::map<Key, std::unique_ptr<Target>>;

Target* objectFor(const ravosim::FirmwareTarget& t) {
  const Key key{t.targetClass, t.type, t.id, t.position, t.parent, t.name};
  std::lock_guard<std::mutex> g(g_registryLock);
  std::unique_ptr<Target>& slot = g_registry[key];
  if (!slot) slot = std::make_unique<Target>(t.targetClass, t.type, t.id, t.position, t.parent, t.name);
  return slot.get();
}

bool keeps(Targeting::Filter filter, const ravosim::FirmwareTarget& t) {
  switch (filter) {
    case Targeting::Present: return t.present;
    case Targeting::Functional: return t.functional;
    case Targeting::All: break;
  }
  return true;
}

uint32_t stateOf(const ravosim::FirmwareTarget& t) {
  if (t.functional) return kResourceFunctional;
  return t.present ? kResourceNonFunctional : kResourceAbsent;
}

// The machine's record of the target, if it still has it.
bool current(const Target& target, ravosim::FirmwareTarget& t) {
  return ravosim::firmwareTarget(target.id(), t) && t.targetClass == target.targetClass() &&
         t.type == target.type() && t.position == target.position() && t.parent == target.parentId();
}

}  // namespace

std::vector<Target*> Targeting::targets(uint32_t targetClass, uint32_t type, Filter filter) {
  std::vector<Target*> out;
  for (const ravosim::FirmwareTarget& t : ravosim::firmwareTargets())
    if (t.targetClass == targetClass && t.type == type && keeps(filter, t)) out.push_back(objectFor(t));
  return out;
}

std::vector<Target*> Targeting::chips(uint32_t type, Filter filter) { return targets(kClassChip, type, filter); }

std::vector<Target*> Targeting::nodes(uint32_t resourceState) {
  std::vector<Target*> out;
  for (const ravosim::FirmwareTarget& t : ravosim::firmwareTargets())
    if (t.targetClass == kClassEnclosure && t.type == kTypeNode && stateOf(t) == resourceState)
      out.push_back(objectFor(t));
  return out;
}

std::vector<Target*> Targeting::associated(const Target& parent, uint32_t targetClass, uint32_t type,
                                           Filter filter) {
  std::vector<Target*> out;
  for (const ravosim::FirmwareTarget& t : ravosim::firmwareTargets())
    if (t.parent == parent.id() && t.targetClass == targetClass && t.type == type && keeps(filter, t))
      out.push_back(objectFor(t));
  return out;
}

Target* Targeting::byId(uint32_t id) {
  ravosim::FirmwareTarget t;
  return id != 0 && ravosim::firmwareTarget(id, t) ? objectFor(t) : nullptr;
}

bool Targeting::isPresent(const Target& target) {
  ravosim::FirmwareTarget t;
  return current(target, t) && t.present;
}

bool Targeting::isFunctional(const Target& target) {
  ravosim::FirmwareTarget t;
  return current(target, t) && t.functional;
}

uint32_t Targeting::resourceState(const Target& target) {
  ravosim::FirmwareTarget t;
  return current(target, t) ? stateOf(t) : kResourceAbsent;
}

}  // namespace fw
