// The firmware's hardware targeting: lists of targets by class and type, in
// the order the platform keeps them, the targets associated with a node, and
// the presence and functional predicates. Lists are taken fresh on each call
// from the machine; a target listed once keeps its object for good, so the
// pointers of a list stay valid after the machine changed.
#ifndef FW_TARGETING_H
#define FW_TARGETING_H

#include <cstdint>
#include <vector>

#include "fw/FwExport.h"
#include "fw/Target.h"

namespace fw {

class FW_API Targeting {
 public:
  // Which targets a list keeps.
  enum Filter { All, Present, Functional };

  // The targets of the class and type, in the platform's order.
  static std::vector<Target*> targets(uint32_t targetClass, uint32_t type, Filter filter = All);
  // Chips (class 3) of the type: processor chips (5), oscillator cards (26).
  static std::vector<Target*> chips(uint32_t type, Filter filter = All);
  // The enclosure nodes (class 2, type 2) in the resource state.
  static std::vector<Target*> nodes(uint32_t resourceState);
  // The targets of the class and type that belong to `parent` (a node's
  // processor chips).
  static std::vector<Target*> associated(const Target& parent, uint32_t targetClass, uint32_t type,
                                         Filter filter = All);
  // The target with the identifying attribute, or null.
  static Target* byId(uint32_t id);

  // Hardware availability: the target is plugged.
  static bool isPresent(const Target& target);
  // Present and not deconfigured.
  static bool isFunctional(const Target& target);
  // kResourceAbsent, kResourceNonFunctional or kResourceFunctional.
  static uint32_t resourceState(const Target& target);
};

}  // namespace fw

#endif
