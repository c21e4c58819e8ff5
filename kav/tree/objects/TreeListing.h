// A read-only view of the object tree for diagnosis programs and tests: one
// record per node in prefix order (hidden children after the children of
// their parent), and the number of removed objects the garbage collector
// has not deleted yet.
#ifndef KAV_TREE_TREELISTING_H
#define KAV_TREE_TREELISTING_H

#include <string>
#include <vector>

#include "kav/tree/objects/KavExport.h"

namespace kav {

struct TreeNodeInfo {
  unsigned int depth;          // 0 for the root
  std::string className;
  std::string instanceName;    // empty when the node has none
  unsigned int slotId;
  bool hidden;
  // For slots: 1 not configured, 2 configured; 0 for other nodes.
  unsigned int configurationState;
};

// Clears `nodes` and fills it; empty before the tree exists.
KAV_EXPORT void listTree(std::vector<TreeNodeInfo>& nodes);

// Objects handed to the garbage collector and not deleted yet.
KAV_EXPORT unsigned int pendingDeletions();

}  // namespace kav

#endif
