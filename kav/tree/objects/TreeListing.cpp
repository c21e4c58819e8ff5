#include "kav/tree/objects/TreeListing.h"

#include "kav/cards/Slot.h"
#include "kav/runtime/GarbageCollector.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeRoot.h"
#include "kav/tree/objects/TreeSearch.h"

namespace {

void addNode(const KavPtr<QueryBase>& node, unsigned int depth, std::vector<kav::TreeNodeInfo>& nodes) {
  kav::TreeNodeInfo info;
  info.depth = depth;
  info.className = get_string_by_id(node->getClassId());
  info.instanceName = node->getInstanceId() == 0 ? std::string() : std::string(get_string_by_id(node->getInstanceId()));
  info.slotId = node->getSlotId();
  info.hidden = node->isHidden();
  info.configurationState = 0;
  KavPtr<Slot> slot = treesearch::asInstanceOf<Slot>(node.getRawPointer());
  if (slot != nullptr) {
    Slot::ConfigurationState_t state = Slot::NOT_CONFIGURED;
    slot->getConfigurationState(&state);
    info.configurationState = state;
  }
  nodes.push_back(info);
  for (const KavPtr<QueryBase>& child : node->getChildren()) addNode(child, depth + 1, nodes);
  for (const KavPtr<QueryBase>& child : node->getHiddenChildren()) addNode(child, depth + 1, nodes);
}

}  // namespace

namespace kav {

void listTree(std::vector<TreeNodeInfo>& nodes) {
  nodes.clear();
  KavPtr<QueryBase> root = get_tree_root();
  if (root != nullptr) addNode(root, 0, nodes);
}

unsigned int pendingDeletions() {
  GarbageCollector* collector = GarbageCollector::getInstance();
  return collector->isInitialised() ? collector->getNumberOfDeleteRequests() : 0u;
}

}  // namespace kav
