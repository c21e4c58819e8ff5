// A target of the firmware's hardware targeting: an enclosure node, a
// processor chip or an oscillator card, with its identifying and position
// attributes and its lock. Targets are made by Targeting and live as long as
// the process: a pointer to one stays valid.
#ifndef FW_TARGET_H
#define FW_TARGET_H

#include <cstdint>
#include <mutex>
#include <string>

#include "fw/FwExport.h"

namespace fw {

// Target classes and types.
constexpr uint32_t kClassEnclosure = 2;
constexpr uint32_t kClassChip = 3;
constexpr uint32_t kTypeNode = 2;             // class 2
constexpr uint32_t kTypeProcessor = 5;        // class 3
constexpr uint32_t kTypeOscillatorCard = 26;  // class 3

// Resource states: absent, present but not functional, functional.
constexpr uint32_t kResourceAbsent = 0;
constexpr uint32_t kResourceNonFunctional = 1;
constexpr uint32_t kResourceFunctional = 2;

class FW_API Target {
 public:
  Target(uint32_t targetClass, uint32_t type, uint32_t id, uint32_t position, uint32_t parentId, std::string name);
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  uint32_t targetClass() const { return m_class; }
  uint32_t type() const { return m_type; }
  // The identifying attribute: unique among the targets, never 0.
  uint32_t id() const { return m_id; }
  // The position attribute (an oscillator card's slot is position + 16).
  uint32_t position() const { return m_position; }
  // The id of the node a processor chip belongs to; 0 for none.
  uint32_t parentId() const { return m_parentId; }
  const std::string& name() const { return m_name; }

  // The per-target lock: held around a sequence of accesses to the target
  // (a read-modify-write of a register) so that no other thread's accesses
  // come in between.
  std::mutex& lock() const { return m_lock; }

 private:
  const uint32_t m_class;
  const uint32_t m_type;
  const uint32_t m_id;
  const uint32_t m_position;
  const uint32_t m_parentId;
  const std::string m_name;
  mutable std::mutex m_lock;
};

}  // namespace fw

#endif
